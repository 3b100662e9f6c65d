// Illuminated push buttons (Power, the small switches, the Mode buttons) and
// the meter's LEDs. Frame 1 is unlit (off), frame 2 lit (on).
#include <cmath>
#include <string>

#include "geometry.h"
#include "palette.h"
#include "pictures.h"

namespace art {

namespace {

// Light spilling out round a lit lens onto the panel.
void Halo(cairo_t* cr, Point c, double inner, double outer, Rgb colour, double alpha) {
    cairo_pattern_t* glow = cairo_pattern_create_radial(c.x, c.y, inner, c.x, c.y, outer);
    AddStop(glow, 0.0, colour, alpha);
    AddStop(glow, 0.4, colour, alpha * 0.3);
    AddStop(glow, 1.0, colour, 0.0);
    cairo_set_source(cr, glow);
    CirclePath(cr, c.x, c.y, outer);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

// A polished chrome ring from `inner` to `outer`, lit from above.
void Bezel(cairo_t* cr, Point c, double inner, double outer) {
    cairo_pattern_t* metal = cairo_pattern_create_linear(0, c.y - outer, 0, c.y + outer);
    AddStop(metal, 0.0, kSteelLight);
    AddStop(metal, 0.45, kSteel);
    AddStop(metal, 0.55, kSteelDark);
    AddStop(metal, 1.0, {0.75, 0.75, 0.76});
    cairo_set_source(cr, metal);
    CirclePath(cr, c.x, c.y, outer);
    CirclePath(cr, c.x, c.y, inner);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_pattern_destroy(metal);
    cairo_set_line_width(cr, 0.8);
    SetColour(cr, {0, 0, 0}, 0.7);
    CirclePath(cr, c.x, c.y, outer - 0.4);
    cairo_stroke(cr);
    // the gap between ring and lens
    SetColour(cr, {0, 0, 0}, 0.9);
    cairo_set_line_width(cr, 1.4);
    CirclePath(cr, c.x, c.y, inner - 0.2);
    cairo_stroke(cr);
}

// A domed glass lens; lit, it glows from within and brightest in the middle.
void Lens(cairo_t* cr, Point c, double r, Rgb off, Rgb on, bool lit) {
    cairo_pattern_t* glass;
    if (lit) {
        glass = cairo_pattern_create_radial(c.x, c.y, 0, c.x, c.y, r);
        AddStop(glass, 0.0, Mix(on, {1, 1, 0.9}, 0.65));
        AddStop(glass, 0.55, on);
        AddStop(glass, 1.0, Scale(on, 0.62));
    } else {
        glass = cairo_pattern_create_radial(c.x - r * 0.3, c.y - r * 0.35, 0, c.x, c.y, r);
        AddStop(glass, 0.0, Mix(off, {1, 1, 1}, 0.10));
        AddStop(glass, 0.7, off);
        AddStop(glass, 1.0, Scale(off, 0.45));
    }
    cairo_set_source(cr, glass);
    CirclePath(cr, c.x, c.y, r);
    cairo_fill(cr);
    cairo_pattern_destroy(glass);
}

// Reflection of the light above on the glass, the same lit or unlit.
void Glint(cairo_t* cr, Point c, double r) {
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y - r * 0.45);
    cairo_scale(cr, 1.0, 0.55);
    cairo_pattern_t* shine = cairo_pattern_create_linear(0, -r * 0.5, 0, r * 0.5);
    cairo_pattern_add_color_stop_rgba(shine, 0.0, 1, 1, 1, 0.45);
    cairo_pattern_add_color_stop_rgba(shine, 1.0, 1, 1, 1, 0.0);
    cairo_set_source(cr, shine);
    CirclePath(cr, 0, 0, r * 0.62);
    cairo_fill(cr);
    cairo_pattern_destroy(shine);
    cairo_restore(cr);
}

// The power symbol etched into the lens: a broken ring and a bar.
void PowerSymbol(cairo_t* cr, Point c, double r, Rgb colour, double alpha) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, r * 0.16);
    SetColour(cr, colour, alpha);
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y + r * 0.05, r * 0.5, Radians(-50.0), Radians(230.0));
    cairo_stroke(cr);
    cairo_move_to(cr, c.x, c.y - r * 0.6);
    cairo_line_to(cr, c.x, c.y - r * 0.05);
    cairo_stroke(cr);
}

void RoundButton(cairo_t* cr, Point c, double lens, double ring, Rgb off, Rgb on, bool lit) {
    SoftShadow(cr, c.x, c.y + 3.0, ring - 3.0, ring + 5.0, 0.7);
    if (lit) Halo(cr, c, ring - 2.0, ring + 7.0, on, 0.45);
    Bezel(cr, c, lens, ring);
    Lens(cr, c, lens, off, on, lit);
}

}  // namespace

void DrawPowerSwitch(cairo_t* cr, int frame) {
    const bool lit = frame == 2;
    const Point c = {kPowerSize / 2.0, kPowerSize / 2.0 + 2.0};
    constexpr double kLens = 18.5;
    RoundButton(cr, c, kLens, 25.0, kLensRedOff, kLensRedOn, lit);
    PowerSymbol(cr, c, kLens, lit ? Rgb{0.45, 0.05, 0.02} : Rgb{0.05, 0.0, 0.0}, lit ? 0.55 : 0.6);
    Glint(cr, c, kLens);
}

void DrawSmallSwitch(cairo_t* cr, int frame) {
    const bool lit = frame == 2;
    const Point c = {kSmallSwitchSize / 2.0, kSmallSwitchSize / 2.0 - 2.0};
    constexpr double kLens = 12.5;
    RoundButton(cr, c, kLens, 17.0, kLensAmberOff, kLensAmberOn, lit);
    Glint(cr, c, kLens);
}

void DrawModeButton(cairo_t* cr, int frame, char letter) {
    const bool lit = frame == 2;
    const double side = 36.0;
    const double x = (kModeSize - side) / 2.0, y = (kModeSize - side) / 2.0 - 1.0;
    cairo_save(cr);
    cairo_translate(cr, 0, 3.0);
    RoundedRectPath(cr, x - 1, y - 1, side + 2, side + 2, 6);
    SetColour(cr, {0, 0, 0}, 0.45);
    cairo_fill(cr);
    cairo_restore(cr);
    if (lit) {
        RoundedRectPath(cr, x - 4, y - 4, side + 8, side + 8, 9);
        SetColour(cr, kLensAmberOn, 0.22);
        cairo_fill(cr);
    }
    // a square chrome frame round a black cap
    RoundedRectPath(cr, x, y, side, side, 5);
    cairo_pattern_t* metal = cairo_pattern_create_linear(0, y, 0, y + side);
    AddStop(metal, 0.0, kSteelLight);
    AddStop(metal, 1.0, kSteelDark);
    cairo_set_source(cr, metal);
    cairo_fill(cr);
    cairo_pattern_destroy(metal);
    RoundedRectPath(cr, x + 3, y + 3, side - 6, side - 6, 3);
    cairo_pattern_t* cap = cairo_pattern_create_linear(0, y, 0, y + side);
    if (lit) {
        AddStop(cap, 0.0, Mix(kLensAmberOn, {1, 1, 1}, 0.3));
        AddStop(cap, 1.0, Scale(kLensAmberOn, 0.75));
    } else {
        AddStop(cap, 0.0, {0.16, 0.16, 0.17});
        AddStop(cap, 1.0, {0.05, 0.05, 0.055});
    }
    cairo_set_source(cr, cap);
    cairo_fill(cr);
    cairo_pattern_destroy(cap);
    const std::string text(1, letter);
    SetColour(cr, lit ? Rgb{0.25, 0.10, 0.0} : kLegendDim);
    Text(cr, text, 17, kModeSize / 2.0, y + side / 2.0 + 6.0, Align::Centre);
}

void DrawLed(cairo_t* cr, int frame, Rgb off, Rgb on) {
    const bool lit = frame == 2;
    const Point c = {kLedSize / 2.0, kLedSize / 2.0};
    // a black holder ring, then the lens; lit, the light fills the ring
    SetColour(cr, {0.02, 0.02, 0.02});
    CirclePath(cr, c.x, c.y, kLedHolder);
    cairo_fill(cr);
    Lens(cr, c, 5.5, off, on, lit);
    if (lit) Halo(cr, c, 4.5, kLedHolder, on, 0.5);
    Glint(cr, c, 5.5);
}

}  // namespace art
