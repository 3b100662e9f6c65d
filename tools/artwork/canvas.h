// Drawing helpers over cairo: colours, shapes, the one typeface, and turning
// cairo's premultiplied frames into the straight-alpha strips the editor
// loads.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>

#include "raster/mem_bitmap.h"

namespace art {

struct Rgb {
    double r;
    double g;
    double b;
};

// c mixed toward d by t (0 = c, 1 = d).
inline Rgb Mix(Rgb c, Rgb d, double t) { return {c.r + (d.r - c.r) * t, c.g + (d.g - c.g) * t, c.b + (d.b - c.b) * t}; }
inline Rgb Scale(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0);
void AddStop(cairo_pattern_t* pattern, double offset, Rgb c, double alpha = 1.0);
void CirclePath(cairo_t* cr, double x, double y, double radius);
void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double radius);

// A soft round shadow: a radial fade from `alpha` at `inner` to nothing at
// `outer`, centred on (x, y).
void SoftShadow(cairo_t* cr, double x, double y, double inner, double outer, double alpha);

// The labels' typeface, loaded once from a font file by path (no font-name
// lookup) with fixed rendering options, so text comes out the same on every
// machine. False when the file cannot be loaded.
bool LoadTypeface(const char* path);
void ReleaseTypeface();

enum class Align { Left, Centre, Right };

// Sets `text` (ASCII) at `size` pixels with its baseline at y, aligned on x.
// `tracking` adds that many pixels between letters, as engraved legends have.
void Text(cairo_t* cr, const std::string& text, double size, double x, double y, Align align, double tracking = 0.0);
// Width of the text as Text would set it.
double TextWidth(cairo_t* cr, const std::string& text, double size, double tracking = 0.0);

// Draws one frame (1-based) into a cleared frame-sized cairo context.
using FrameDrawer = std::function<void(cairo_t* cr, int frame)>;

struct StripSpec {
    const char* fileName;
    int width;
    int frameHeight;
    int frames;
    FrameDrawer draw;
};

// Renders every frame of the strip into one bitmap (width x frameHeight *
// frames, frame n from row (n - 1) * frameHeight), converted to straight
// alpha with rounding. With scale (a whole number) every side is that many
// times longer and the same drawing is made at that resolution: the picture
// for screens of that pixel density. Null when memory runs out.
std::unique_ptr<MemBitmap> RenderStrip(const StripSpec& strip, int scale = 1);

// The file name of a strip's picture at 2x: "Name.png" becomes
// "Name@2x.png".
std::string DoubleScaleName(const std::string& fileName);

// Copies a cairo ARGB32 image surface into `out` at row `top`, undoing the
// premultiplication with rounding.
void CopyToStraight(cairo_surface_t* surface, MemBitmap* out, int top);

}  // namespace art
