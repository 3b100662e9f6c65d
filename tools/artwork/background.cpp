// The faceplate: brushed anodised graphite lit from above, a recess for the
// meter, screws in the corners, the wordmark, the legends and the knob
// scales, all baked in so that the editor draws no text.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry.h"
#include "palette.h"
#include "pictures.h"

namespace art {

namespace {

// A small fixed-seed generator: the grain must be the same on every run and
// every machine, which std:: distributions do not promise.
class Grain {
public:
    explicit Grain(std::uint32_t seed) : mState(seed) {}
    // Uniform in [-0.5, 0.5).
    double Next() {
        mState = mState * 1664525u + 1013904223u;
        return static_cast<double>(mState >> 8) / 16777216.0 - 0.5;
    }

private:
    std::uint32_t mState;
};

// Horizontal brushing: each row gets white noise smeared along x (the
// brush strokes), a slight row-to-row shift and a fine grain on top. The
// pixels are the surface's own: at a higher resolution (scale) the grain is
// finer and the strokes keep their length on the panel.
void PaintBrushedPlate(cairo_surface_t* surface, int scale) {
    const int kStroke = 41 * scale;  // length of the smear, in pixels
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    Grain grain(0x5eed1234u);
    std::vector<double> noise(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (double& n : noise) n = grain.Next();
        const double rowShift = grain.Next() * 0.010;
        double window = 0.0;
        for (int i = 0; i < kStroke; ++i) window += noise[static_cast<std::size_t>(i % width)];
        for (int x = 0; x < width; ++x) {
            const double stroke = window / kStroke;  // about +-0.05
            window += noise[static_cast<std::size_t>((x + kStroke) % width)] - noise[static_cast<std::size_t>(x)];
            const double shade = rowShift + stroke * 0.22 + grain.Next() * 0.012;
            const auto channel = [shade](double c) {
                const double v = (c + shade) * 255.0 + 0.5;
                return static_cast<std::uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            };
            const std::uint32_t word =
                0xff000000u | channel(kPlate.r) << 16 | channel(kPlate.g) << 8 | channel(kPlate.b);
            StorePixelWord(data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x, word);
        }
    }
    cairo_surface_mark_dirty(surface);
}

// Soft light from above: brighter toward the top edge, falling off toward
// the bottom, with a bevel catching the light along the plate's edges.
void LightPlate(cairo_t* cr) {
    cairo_pattern_t* light = cairo_pattern_create_linear(0, 0, 0, kEditorHeight);
    cairo_pattern_add_color_stop_rgba(light, 0.0, 1, 1, 1, 0.10);
    cairo_pattern_add_color_stop_rgba(light, 0.35, 1, 1, 1, 0.02);
    cairo_pattern_add_color_stop_rgba(light, 1.0, 0, 0, 0, 0.28);
    cairo_set_source(cr, light);
    cairo_paint(cr);
    cairo_pattern_destroy(light);

    cairo_set_line_width(cr, 1.0);
    SetColour(cr, {1, 1, 1}, 0.16);
    cairo_move_to(cr, 0, 0.5);
    cairo_line_to(cr, kBackgroundWidth, 0.5);
    cairo_stroke(cr);
    SetColour(cr, {1, 1, 1}, 0.06);
    cairo_move_to(cr, 0.5, 0);
    cairo_line_to(cr, 0.5, kEditorHeight);
    cairo_stroke(cr);
    SetColour(cr, {0, 0, 0}, 0.5);
    cairo_move_to(cr, 0, kEditorHeight - 0.5);
    cairo_line_to(cr, kBackgroundWidth, kEditorHeight - 0.5);
    cairo_stroke(cr);
    cairo_move_to(cr, kEditorWidth - 0.5, 0);
    cairo_line_to(cr, kEditorWidth - 0.5, kEditorHeight);
    cairo_stroke(cr);
}

// The meter sits in a milled pocket: darker inside, a shadow along the top
// edge where the light is cut off, a highlight along the bottom lip.
void MeterPocket(cairo_t* cr) {
    const double x = kMeterLeft - 5.5, y = kMeterTop - 5.5;
    const double w = kMeterWidth + 11.0, h = kMeterHeight + 11.0;
    RoundedRectPath(cr, x, y, w, h, 9);
    SetColour(cr, kPlateRecess, 0.85);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.0);
    RoundedRectPath(cr, x - 0.5, y - 0.5, w + 1, h + 1, 9.5);
    cairo_pattern_t* lip = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(lip, 0.0, 0, 0, 0, 0.7);
    cairo_pattern_add_color_stop_rgba(lip, 1.0, 1, 1, 1, 0.22);
    cairo_set_source(cr, lip);
    cairo_stroke(cr);
    cairo_pattern_destroy(lip);
}

// One fine engraved line across the plate parts the meter bay from the
// controls: a dark cut with the light catching its lower edge.
void Groove(cairo_t* cr) {
    constexpr double kY = 205.5;
    constexpr double kInset = 34.0;
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, {0, 0, 0}, 0.40);
    cairo_move_to(cr, kInset, kY);
    cairo_line_to(cr, kEditorWidth - kInset, kY);
    cairo_stroke(cr);
    SetColour(cr, {1, 1, 1}, 0.07);
    cairo_move_to(cr, kInset, kY + 1.0);
    cairo_line_to(cr, kEditorWidth - kInset, kY + 1.0);
    cairo_stroke(cr);
}

// A countersunk slotted screw; the slot angles are fixed so the four screws
// do not look stamped from one picture.
void Screw(cairo_t* cr, double x, double y, double slotDegrees) {
    constexpr double kHead = 6.5;
    SoftShadow(cr, x + 0.6, y + 1.4, kHead - 1.5, kHead + 2.5, 0.55);
    cairo_pattern_t* head = cairo_pattern_create_radial(x - 2.0, y - 2.5, 0.5, x, y, kHead);
    AddStop(head, 0.0, kSteelLight);
    AddStop(head, 0.6, kSteel);
    AddStop(head, 1.0, kSteelDark);
    cairo_set_source(cr, head);
    CirclePath(cr, x, y, kHead);
    cairo_fill(cr);
    cairo_pattern_destroy(head);
    cairo_set_line_width(cr, 0.8);
    SetColour(cr, {0, 0, 0}, 0.55);
    CirclePath(cr, x, y, kHead - 0.4);
    cairo_stroke(cr);

    const Point a = Polar({x, y}, kHead - 1.0, slotDegrees);
    const Point b = Polar({x, y}, kHead - 1.0, slotDegrees + 180.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, 1.8);
    SetColour(cr, {0.05, 0.05, 0.05}, 0.9);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_stroke(cr);
    // the slot's lower wall catches the light
    cairo_set_line_width(cr, 0.6);
    SetColour(cr, kSteelLight, 0.6);
    cairo_move_to(cr, a.x + 0.3, a.y + 1.1);
    cairo_line_to(cr, b.x + 0.3, b.y + 1.1);
    cairo_stroke(cr);
}

// Silk-screened text with a hair of shadow below, as paint on metal shows.
void Legend(cairo_t* cr, const std::string& text, double size, double x, double y, Rgb colour, double tracking) {
    SetColour(cr, {0, 0, 0}, 0.55);
    Text(cr, text, size, x, y + 0.8, Align::Centre, tracking);
    SetColour(cr, colour);
    Text(cr, text, size, x, y, Align::Centre, tracking);
}

void Wordmark(cairo_t* cr) {
    const double left = kMeterLeft / 2.0;
    const double right = kMeterLeft + kMeterWidth + (kEditorWidth - kMeterLeft - kMeterWidth) / 2.0;
    const double middle = kMeterTop + kMeterHeight / 2.0;

    // Maker on the left, model on the right, both centred on the meter.
    Legend(cr, "TRELOWEN", 10.5, left, middle + 4, kLegend, 1.6);
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, kGold, 0.8);
    cairo_move_to(cr, left - 26, middle + 11.5);
    cairo_line_to(cr, left + 26, middle + 11.5);
    cairo_stroke(cr);

    Legend(cr, "Orvane", 19, right, middle + 6, kGold, 0.4);
    SetColour(cr, kGold, 0.8);
    cairo_move_to(cr, right - 26, middle + 11.5);
    cairo_line_to(cr, right + 26, middle + 11.5);
    cairo_stroke(cr);
}

struct ScaleMark {
    double value;
    const char* label;  // null: a tick only
};

// A knob's scale printed round its centre: a tick for every mark at the
// angle the knob's pointer shows for that value, numbers on the major ones.
void KnobScale(cairo_t* cr, Point corner, double min, double max, const std::vector<ScaleMark>& marks) {
    constexpr double kTickInner = 47.5;
    constexpr double kTickOuter = 51.0;
    constexpr double kMajorOuter = 53.0;
    const Point centre = {corner.x + kKnobSize / 2.0, corner.y + kKnobSize / 2.0};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (const ScaleMark& mark : marks) {
        const double angle = KnobAngleForValue(mark.value, min, max);
        const Point a = Polar(centre, kTickInner, angle);
        const Point b = Polar(centre, mark.label ? kMajorOuter : kTickOuter, angle);
        cairo_set_line_width(cr, mark.label ? 1.6 : 1.1);
        SetColour(cr, mark.label ? kLegend : kLegendDim);
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_stroke(cr);
        if (!mark.label) continue;
        // Numbers are centred on their tick's ray, with the same gap between
        // the tick's end and the near edge of the number's box whatever the
        // angle: a wide number beside the knob sits farther out than one
        // above it.
        constexpr double kSize = 9.0;
        constexpr double kCapHeight = 0.73 * kSize;
        constexpr double kGap = 2.5;
        const double ray = Radians(angle);
        const double halfExtent = std::abs(std::sin(ray)) * TextWidth(cr, mark.label, kSize) / 2.0 +
                                  std::abs(std::cos(ray)) * kCapHeight / 2.0;
        const Point at = Polar(centre, kMajorOuter + kGap + halfExtent, angle);
        Legend(cr, mark.label, kSize, at.x, at.y + kCapHeight / 2.0, kLegendDim, 0.0);
    }
}

void KnobScales(cairo_t* cr) {
    std::vector<ScaleMark> drive;
    for (int i = 0; i <= 12; ++i) {
        static const char* const kLabels[] = {"-5", "0", "5", "10", "15", "20", "25"};
        drive.push_back({-5.0 + 2.5 * i, i % 2 == 0 ? kLabels[i / 2] : nullptr});
    }
    KnobScale(cr, kPresCompKnob, -5.0, 25.0, drive);

    std::vector<ScaleMark> output;
    for (int i = 0; i <= 10; ++i) {
        static const char* const kLabels[] = {"-30", "-20", "-10", "0", "+10", "+20"};
        output.push_back({-30.0 + 5.0 * i, i % 2 == 0 ? kLabels[i / 2] : nullptr});
    }
    KnobScale(cr, kOutputKnob, -30.0, 20.0, output);
}

void ControlLegends(cairo_t* cr) {
    const double knobLabelY = kPresCompKnob.y + kKnobSize + 24;
    Legend(cr, "PRES COMP", 11, kPresCompKnob.x + kKnobSize / 2.0, knobLabelY, kLegend, 1.4);
    Legend(cr, "OUTPUT", 11, kOutputKnob.x + kKnobSize / 2.0, knobLabelY, kLegend, 1.4);
    Legend(cr, "POWER", 9, kPowerSwitch.x + kPowerSize / 2.0, kPowerSwitch.y + 12, kLegend, 1.2);
    const double smallLabelY = kPresenceSwitch.y + kSmallSwitchSize + 11;
    Legend(cr, "PRESENCE", 8, kPresenceSwitch.x + kSmallSwitchSize / 2.0, smallLabelY, kLegend, 0.6);
    Legend(cr, "LOW CUT", 8, kLowCutSwitch.x + kSmallSwitchSize / 2.0, smallLabelY, kLegend, 0.6);
}

}  // namespace

void DrawBackground(cairo_t* cr) {
    cairo_matrix_t toDevice;
    cairo_get_matrix(cr, &toDevice);
    PaintBrushedPlate(cairo_get_target(cr), static_cast<int>(toDevice.xx + 0.5));
    LightPlate(cr);
    MeterPocket(cr);
    Groove(cr);
    Screw(cr, 13, 13, 28);
    Screw(cr, kEditorWidth - 14, 13, -41);
    Screw(cr, 13, kEditorHeight - 14, 67);
    Screw(cr, kEditorWidth - 14, kEditorHeight - 14, 12);
    Wordmark(cr);
    KnobScales(cr);
    ControlLegends(cr);
}

}  // namespace art
