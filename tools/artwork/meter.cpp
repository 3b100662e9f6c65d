// The needle meter: a backlit cream card with a printed scale behind glass,
// a thin red needle, the cap over its pivot, the bezel and the lamp's
// warm-up and die-away overlays. Everything shares the meter's rectangle.
#include <cmath>
#include <cstdio>

#include "geometry.h"
#include "palette.h"
#include "pictures.h"

namespace art {

namespace {

// Scale radii from the needle's pivot.
constexpr double kArc = 128.0;       // the scale line
constexpr double kRedBand = 6.0;     // red zone, outside the line
constexpr double kMajorTick = 10.0;  // tick lengths outside the line
constexpr double kMinorTick = 5.5;
constexpr double kNumbers = 146.0;    // centre of the numbers
constexpr double kNeedleFrom = 60.0;  // hidden under the cap from here in
constexpr double kNeedleTip = 138.0;
constexpr double kCapRadius = 68.0;

// The window the bezel leaves open, inside the meter's rectangle.
constexpr double kWindowX = 9.0, kWindowY = 8.0;
constexpr double kWindowW = kMeterWidth - 18.0, kWindowH = kMeterHeight - 17.0;
constexpr double kWindowRadius = 6.0;
constexpr double kBezelRadius = 10.0;

// The labelled levels in dB; the 0 mark is where the LED lights and the red
// zone begins. Full deflection (+6 dB) ends the scale with a tick.
constexpr int kLabelledDb[] = {-10, -7, -5, -3, -2, -1, 0, 1, 2, 3};
constexpr double kMinorDb[] = {-9, -8, -6, -4, -0.5, 0.5, 1.5, 2.5, 4, 5};
constexpr double kScaleStartDb = -10.0;
constexpr double kFullScaleDb = 6.0;

// cairo measures angles from the x axis, clockwise with y down; ours are
// clockwise from straight up.
double CairoAngle(double degrees) { return Radians(degrees - 90.0); }

void Ray(cairo_t* cr, double degrees, double from, double to) {
    const Point a = Polar(kNeedlePivot, from, degrees);
    const Point b = Polar(kNeedlePivot, to, degrees);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
}

void Card(cairo_t* cr) {
    // Outside the bezel's rounded corners the face shows the pocket it sits
    // in, not the card.
    SetColour(cr, kPlateRecess);
    cairo_paint(cr);
    cairo_save(cr);
    RoundedRectPath(cr, kWindowX - 4.0, kWindowY - 4.0, kWindowW + 8.0, kWindowH + 8.0, kWindowRadius + 3.0);
    cairo_clip(cr);
    // Lamps behind the card light it from below the scale's middle; the
    // edges fall off warmer and darker.
    cairo_pattern_t* light =
        cairo_pattern_create_radial(kMeterWidth / 2.0, 78.0, 10.0, kMeterWidth / 2.0, 78.0, kMeterWidth * 0.62);
    AddStop(light, 0.0, kFaceWarm);
    AddStop(light, 0.65, Mix(kFaceWarm, kFaceEdge, 0.45));
    AddStop(light, 1.0, kFaceEdge);
    cairo_set_source(cr, light);
    cairo_paint(cr);
    cairo_pattern_destroy(light);
    cairo_restore(cr);
}

void Scale(cairo_t* cr) {
    const double start = NeedleAngleForDb(kScaleStartDb);
    const double zero = NeedleAngleForDb(0.0);
    const double end = NeedleAngleForDb(kFullScaleDb);

    // red zone band from the 0 mark to full deflection
    cairo_new_path(cr);
    cairo_arc(cr, kNeedlePivot.x, kNeedlePivot.y, kArc + kRedBand, CairoAngle(zero), CairoAngle(end));
    cairo_arc_negative(cr, kNeedlePivot.x, kNeedlePivot.y, kArc, CairoAngle(end), CairoAngle(zero));
    cairo_close_path(cr);
    SetColour(cr, kRedZone);
    cairo_fill(cr);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, 1.3);
    SetColour(cr, kInk);
    cairo_new_path(cr);
    cairo_arc(cr, kNeedlePivot.x, kNeedlePivot.y, kArc, CairoAngle(start), CairoAngle(end));
    cairo_stroke(cr);

    cairo_set_line_width(cr, 1.0);
    for (double db : kMinorDb) Ray(cr, NeedleAngleForDb(db), kArc - 0.5, kArc + kMinorTick);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.4);
    for (int db : kLabelledDb) Ray(cr, NeedleAngleForDb(db), kArc - 3.0, kArc + kMajorTick);
    Ray(cr, end, kArc - 3.0, kArc + kMajorTick);
    cairo_stroke(cr);

    for (int db : kLabelledDb) {
        char label[8];
        std::snprintf(label, sizeof label, db > 0 ? "+%d" : "%d", db);
        const Point at = Polar(kNeedlePivot, kNumbers, NeedleAngleForDb(db));
        SetColour(cr, db > 0 ? kRedZone : kInk);
        // Baseline about a third of the digits' height below the point, so
        // the number's middle sits on the tick's ray.
        Text(cr, label, 10.5, at.x, at.y + 3.8, Align::Centre);
    }
}

// The unit and what the meter reads, centred between the scale and the cap
// where the needle only passes.
void Legends(cairo_t* cr, MeterLegend legend) {
    SetColour(cr, kInk);
    Text(cr, "dB", 15.0, kMeterWidth / 2.0, 93.0, Align::Centre, 0.5);
    SetColour(cr, kInk, 0.75);
    const char* name = legend == MeterLegend::Drive ? "PRES COMP" : "OUTPUT";
    Text(cr, name, 7.5, kMeterWidth / 2.0, 106.0, Align::Centre, 1.2);
}

double Warmth(double t) { return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t); }
// 0 below 0, 1 above 1, an S-curve between.
double SmoothStep(double t) {
    t = Warmth(t);
    return t * t * (3.0 - 2.0 * t);
}

}  // namespace

void DrawMeterFace(cairo_t* cr, MeterLegend legend) {
    Card(cr);
    Scale(cr);
    Legends(cr, legend);
}

void DrawNeedle(cairo_t* cr, int frame) {
    const double angle = NeedleAngleForFrame(frame);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    // The face is lit from behind, so the needle throws only a faint shadow.
    cairo_save(cr);
    cairo_translate(cr, 1.2, 2.2);
    cairo_set_line_width(cr, 1.6);
    SetColour(cr, {0, 0, 0}, 0.16);
    Ray(cr, angle, kNeedleFrom, kNeedleTip);
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_set_line_width(cr, 1.6);
    SetColour(cr, kNeedleRed);
    Ray(cr, angle, kNeedleFrom, kNeedleTip);
    cairo_stroke(cr);
}

void DrawCap(cairo_t* cr) {
    const Point p = kNeedlePivot;
    SoftShadow(cr, p.x, p.y - 2.0, kCapRadius - 2.0, kCapRadius + 5.0, 0.5);
    cairo_pattern_t* dome = cairo_pattern_create_linear(0, p.y - kCapRadius, 0, p.y - kCapRadius + 20.0);
    AddStop(dome, 0.0, {0.22, 0.21, 0.20});
    AddStop(dome, 1.0, {0.06, 0.06, 0.06});
    cairo_set_source(cr, dome);
    CirclePath(cr, p.x, p.y, kCapRadius);
    cairo_fill(cr);
    cairo_pattern_destroy(dome);
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, {1, 1, 1}, 0.25);
    CirclePath(cr, p.x, p.y, kCapRadius - 1.0);
    cairo_stroke(cr);
}

void DrawMeterFrame(cairo_t* cr) {
    // bezel: the outer rounded rectangle less the window
    RoundedRectPath(cr, 0.5, 0.5, kMeterWidth - 1.0, kMeterHeight - 1.0, kBezelRadius);
    RoundedRectPath(cr, kWindowX, kWindowY, kWindowW, kWindowH, kWindowRadius);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_pattern_t* metal = cairo_pattern_create_linear(0, 0, 0, kMeterHeight);
    AddStop(metal, 0.0, {0.30, 0.30, 0.32});
    AddStop(metal, 0.1, {0.16, 0.16, 0.17});
    AddStop(metal, 0.9, {0.10, 0.10, 0.11});
    AddStop(metal, 1.0, {0.06, 0.06, 0.065});
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(metal);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_new_path(cr);
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, {1, 1, 1}, 0.18);
    RoundedRectPath(cr, 1.5, 1.5, kMeterWidth - 3.0, kMeterHeight - 3.0, kBezelRadius - 1.0);
    cairo_stroke(cr);
    SetColour(cr, {0, 0, 0}, 0.8);
    RoundedRectPath(cr, kWindowX - 0.5, kWindowY - 0.5, kWindowW + 1.0, kWindowH + 1.0, kWindowRadius);
    cairo_stroke(cr);

    // inside the window: the bezel's shadow along the top, then the glass
    cairo_save(cr);
    RoundedRectPath(cr, kWindowX, kWindowY, kWindowW, kWindowH, kWindowRadius);
    cairo_clip(cr);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, kWindowY, 0, kWindowY + 9.0);
    cairo_pattern_add_color_stop_rgba(shade, 0.0, 0, 0, 0, 0.45);
    cairo_pattern_add_color_stop_rgba(shade, 1.0, 0, 0, 0, 0.0);
    cairo_set_source(cr, shade);
    cairo_paint(cr);
    cairo_pattern_destroy(shade);
    // a broad soft reflection across the upper left of the glass
    cairo_pattern_t* glare = cairo_pattern_create_linear(0, 0, kMeterWidth * 0.7, kMeterHeight);
    cairo_pattern_add_color_stop_rgba(glare, 0.0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(glare, 0.42, 1, 1, 1, 0.05);
    cairo_pattern_add_color_stop_rgba(glare, 0.43, 1, 1, 1, 0.0);
    cairo_set_source(cr, glare);
    cairo_paint(cr);
    cairo_pattern_destroy(glare);
    cairo_restore(cr);
}

// The lamp heats quickly once current flows and cools with a lingering
// glow, so the die-away spends longer in the dim orange than the warm-up.
double OnStateWarmth(int frame) { return Warmth((frame - 1) / 59.0); }
double OffStateWarmth(int frame) { return std::pow(Warmth(1.0 - (frame - 1) / 59.0), 1.4); }

void DrawLampOverlay(cairo_t* cr, double warmth) {
    // A filament's light: the glass goes from black through a dim orange
    // glow to the full cream of the card. The tint reaches the ember's
    // orange early; the overlay then thins out until nothing is left.
    const double glow = SmoothStep(warmth / 0.4);
    const double alpha = 0.93 * (1.0 - SmoothStep((warmth - 0.15) / 0.85));
    if (alpha <= 0.0) return;
    const Rgb tint = Mix(kLampCold, kLampEmber, glow);
    RoundedRectPath(cr, kWindowX - 3.0, kWindowY - 3.0, kWindowW + 6.0, kWindowH + 6.0, kWindowRadius + 2.0);
    // The LED has its own light: the overlay leaves its spot alone.
    CirclePath(cr, kLedLeft + kLedSize / 2.0, kLedTop + kLedSize / 2.0, kLedHolder);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    SetColour(cr, tint, alpha);
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

}  // namespace art
