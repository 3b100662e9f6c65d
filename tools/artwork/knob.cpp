// The knobs: a black knurled body on a spun aluminium skirt with a pointer
// line. Body, knurling and pointer turn with the frame; the light (sheen,
// highlights, drop shadow) stays put, as it would on a real panel.
#include <cmath>

#include "geometry.h"
#include "palette.h"
#include "pictures.h"

namespace art {

namespace {

// Radii for the 128-pixel knob; the small knob scales them.
constexpr double kShadowOuter = 58.0;
constexpr double kSkirt = 44.0;
constexpr double kBody = 35.0;
constexpr double kTop = 29.0;
constexpr int kKnurlGrooves = 40;

void Shadow(cairo_t* cr, Point c, double k) {
    // Offset downward: the light comes from above.
    SoftShadow(cr, c.x, c.y + 4.0 * k, kSkirt * k - 4.0 * k, kShadowOuter * k - 4.0 * k, 0.75);
}

// Spun aluminium: lit from above, with the two bright sectors a spun
// surface shows across from each other; both stay where the light is.
void Skirt(cairo_t* cr, Point c, double k, double angle) {
    const double r = kSkirt * k;
    cairo_pattern_t* base = cairo_pattern_create_linear(0, c.y - r, 0, c.y + r);
    AddStop(base, 0.0, {0.82, 0.82, 0.82});
    AddStop(base, 0.55, {0.52, 0.53, 0.54});
    AddStop(base, 1.0, {0.28, 0.285, 0.29});
    cairo_set_source(cr, base);
    CirclePath(cr, c.x, c.y, r);
    cairo_fill(cr);
    cairo_pattern_destroy(base);

    for (double sheen : {-40.0, 140.0}) {
        for (int i = -6; i <= 6; ++i) {
            const double a = Radians(sheen + i * 3.0 - 90.0);
            const double alpha = 0.05 * (1.0 - std::abs(i) / 7.0);
            cairo_move_to(cr, c.x, c.y);
            cairo_arc(cr, c.x, c.y, r, a - Radians(1.5), a + Radians(1.5));
            cairo_close_path(cr);
            SetColour(cr, {1, 1, 1}, sheen < 0 ? alpha * 2.0 : alpha);
            cairo_fill(cr);
        }
    }
    // Turned rings of the spun surface.
    cairo_set_line_width(cr, 0.6 * k);
    for (double ring = kBody + 2.5; ring < kSkirt; ring += 2.0) {
        SetColour(cr, {0, 0, 0}, 0.06);
        CirclePath(cr, c.x, c.y, ring * k);
        cairo_stroke(cr);
    }
    // Bevelled rim: bright on top, dark underneath.
    cairo_set_line_width(cr, 1.0 * k);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, c.y - r, 0, c.y + r);
    cairo_pattern_add_color_stop_rgba(rim, 0.0, 1, 1, 1, 0.7);
    cairo_pattern_add_color_stop_rgba(rim, 1.0, 0, 0, 0, 0.6);
    cairo_set_source(cr, rim);
    CirclePath(cr, c.x, c.y, r - 0.5 * k);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);

    // The skirt's engraved index turns with the knob.
    const Point a = Polar(c, (kBody + 1.5) * k, angle);
    const Point b = Polar(c, (kSkirt - 1.5) * k, angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.2 * k);
    SetColour(cr, {0.05, 0.05, 0.05}, 0.95);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_stroke(cr);
}

// The knurled cylinder wall: each groove is shaded by where it faces, so
// the grooves travel round while the light stays on top.
void Body(cairo_t* cr, Point c, double k, double angle) {
    SoftShadow(cr, c.x, c.y + 2.0 * k, kBody * k - 2.0 * k, kBody * k + 4.0 * k, 0.6);
    SetColour(cr, kKnobBlack);
    CirclePath(cr, c.x, c.y, kBody * k);
    cairo_fill(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, 1.3 * k);
    for (int i = 0; i < kKnurlGrooves; ++i) {
        const double a = angle + i * 360.0 / kKnurlGrooves;
        const double facing = std::cos(Radians(a));  // 1 facing the light above
        const Point p = Polar(c, (kTop + 0.8) * k, a);
        const Point q = Polar(c, (kBody - 0.3) * k, a);
        SetColour(cr, {1, 1, 1}, 0.07 + 0.16 * (facing + 1.0) / 2.0);
        cairo_move_to(cr, p.x, p.y);
        cairo_line_to(cr, q.x, q.y);
        cairo_stroke(cr);
    }
    cairo_set_line_width(cr, 1.0 * k);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, c.y - kBody * k, 0, c.y + kBody * k);
    cairo_pattern_add_color_stop_rgba(rim, 0.0, 1, 1, 1, 0.35);
    cairo_pattern_add_color_stop_rgba(rim, 0.5, 1, 1, 1, 0.0);
    cairo_set_source(cr, rim);
    CirclePath(cr, c.x, c.y, kBody * k - 0.5 * k);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);
}

// The top face: a slightly domed black cap with a soft highlight from
// above and the pointer line.
void Top(cairo_t* cr, Point c, double k, double angle) {
    const double r = kTop * k;
    cairo_pattern_t* dome = cairo_pattern_create_radial(c.x, c.y - r * 0.55, r * 0.1, c.x, c.y, r);
    AddStop(dome, 0.0, {0.20, 0.20, 0.21});
    AddStop(dome, 0.6, {0.09, 0.09, 0.10});
    AddStop(dome, 1.0, {0.03, 0.03, 0.035});
    cairo_set_source(cr, dome);
    CirclePath(cr, c.x, c.y, r);
    cairo_fill(cr);
    cairo_pattern_destroy(dome);
    cairo_set_line_width(cr, 1.0 * k);
    SetColour(cr, {0, 0, 0}, 0.8);
    CirclePath(cr, c.x, c.y, r + 0.3 * k);
    cairo_stroke(cr);

    // Pointer: a cream inlay, flush with the top (so it throws no shadow),
    // from near the centre to the edge of the cap.
    const Point a = Polar(c, 10.0 * k, angle);
    const Point b = Polar(c, (kTop - 3.0) * k, angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 3.0 * k);
    SetColour(cr, kPointer);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_stroke(cr);

    // Specular highlight of the light above; drawn last, over the pointer.
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y - r * 0.52);
    cairo_scale(cr, 1.0, 0.45);
    cairo_pattern_t* shine = cairo_pattern_create_radial(0, 0, 0, 0, 0, r * 0.62);
    cairo_pattern_add_color_stop_rgba(shine, 0.0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(shine, 1.0, 1, 1, 1, 0.0);
    cairo_set_source(cr, shine);
    CirclePath(cr, 0, 0, r * 0.62);
    cairo_fill(cr);
    cairo_pattern_destroy(shine);
    cairo_restore(cr);
}

}  // namespace

void DrawKnob(cairo_t* cr, int frame, double size) {
    const double k = size / kKnobSize;
    const Point c = {size / 2.0, size / 2.0};
    const double angle = KnobAngleForFrame(frame);
    Shadow(cr, c, k);
    Skirt(cr, c, k, angle);
    Body(cr, c, k, angle);
    Top(cr, c, k, angle);
}

}  // namespace art
