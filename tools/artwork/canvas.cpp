#include "canvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>

namespace art {

namespace {

FT_Library gLibrary = nullptr;
cairo_font_face_t* gFontFace = nullptr;
const cairo_user_data_key_t kFaceKey = {};

// cairo may keep the font face in its caches after we drop it; the FreeType
// face goes with cairo's last reference.
void DoneFace(void* face) { FT_Done_Face(static_cast<FT_Face>(face)); }
cairo_font_options_t* gFontOptions = nullptr;

// Grey anti-aliasing with hinting off: hinting would snap outlines to the
// pixel grid differently with each FreeType configuration.
void UseTypeface(cairo_t* cr, double size) {
    cairo_set_font_face(cr, gFontFace);
    cairo_set_font_options(cr, gFontOptions);
    cairo_set_font_size(cr, size);
}

}  // namespace

void SetColour(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void AddStop(cairo_pattern_t* pattern, double offset, Rgb c, double alpha) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, alpha);
}

void CirclePath(cairo_t* cr, double x, double y, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, radius, 0.0, 2.0 * 3.14159265358979323846);
    cairo_close_path(cr);
}

void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double radius) {
    const double halfPi = 3.14159265358979323846 / 2.0;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -halfPi, 0.0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0.0, halfPi);
    cairo_arc(cr, x + radius, y + h - radius, radius, halfPi, 2.0 * halfPi);
    cairo_arc(cr, x + radius, y + radius, radius, 2.0 * halfPi, 3.0 * halfPi);
    cairo_close_path(cr);
}

void SoftShadow(cairo_t* cr, double x, double y, double inner, double outer, double alpha) {
    cairo_pattern_t* fade = cairo_pattern_create_radial(x, y, inner, x, y, outer);
    cairo_pattern_add_color_stop_rgba(fade, 0.0, 0.0, 0.0, 0.0, alpha);
    cairo_pattern_add_color_stop_rgba(fade, 0.5, 0.0, 0.0, 0.0, alpha * 0.35);
    cairo_pattern_add_color_stop_rgba(fade, 1.0, 0.0, 0.0, 0.0, 0.0);
    cairo_set_source(cr, fade);
    CirclePath(cr, x, y, outer);
    cairo_fill(cr);
    cairo_pattern_destroy(fade);
}

bool LoadTypeface(const char* path) {
    if (!gLibrary && FT_Init_FreeType(&gLibrary) != 0) return false;
    FT_Face face = nullptr;
    if (FT_New_Face(gLibrary, path, 0, &face) != 0) return false;
    gFontFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_set_user_data(gFontFace, &kFaceKey, face, DoneFace) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(gFontFace);
        gFontFace = nullptr;
        FT_Done_Face(face);
        return false;
    }
    gFontOptions = cairo_font_options_create();
    cairo_font_options_set_antialias(gFontOptions, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(gFontOptions, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(gFontOptions, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_subpixel_order(gFontOptions, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    return cairo_font_face_status(gFontFace) == CAIRO_STATUS_SUCCESS;
}

// The FreeType library stays until exit: cairo may release the face (and
// with it call FT_Done_Face) as late as its own teardown.
void ReleaseTypeface() {
    if (gFontOptions) cairo_font_options_destroy(gFontOptions);
    if (gFontFace) cairo_font_face_destroy(gFontFace);
    gFontOptions = nullptr;
    gFontFace = nullptr;
}

double TextWidth(cairo_t* cr, const std::string& text, double size, double tracking) {
    UseTypeface(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance + tracking * (text.empty() ? 0.0 : static_cast<double>(text.size() - 1));
}

void Text(cairo_t* cr, const std::string& text, double size, double x, double y, Align align, double tracking) {
    const double width = TextWidth(cr, text, size, tracking);
    double pen = x;
    if (align == Align::Centre) pen -= width / 2.0;
    if (align == Align::Right) pen -= width;
    UseTypeface(cr, size);
    if (tracking == 0.0) {
        cairo_move_to(cr, pen, y);
        cairo_show_text(cr, text.c_str());
        return;
    }
    char letter[2] = {0, 0};
    for (char c : text) {
        letter[0] = c;
        cairo_text_extents_t extents;
        cairo_text_extents(cr, letter, &extents);
        cairo_move_to(cr, pen, y);
        cairo_show_text(cr, letter);
        pen += extents.x_advance + tracking;
    }
}

void CopyToStraight(cairo_surface_t* surface, MemBitmap* out, int top) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    PackedPixel* pixels = out->PixelPointer();
    for (int y = 0; y < height && top + y < out->Height(); ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        PackedPixel* dst = pixels + static_cast<std::ptrdiff_t>(top + y) * out->RowStride();
        for (int x = 0; x < width && x < out->Width(); ++x) {
            // ARGB32 is a native-endian word with alpha on top, colour
            // premultiplied by alpha.
            const std::uint32_t word = LoadPixelWord(row + 4 * x);
            const std::uint32_t a = word >> 24;
            const auto straight = [a](std::uint32_t c) -> std::uint8_t {
                if (a == 0) return 0;
                const std::uint32_t v = (c * 255 + a / 2) / a;
                return static_cast<std::uint8_t>(v > 255 ? 255 : v);
            };
            dst[x] = PackedPixel{straight(word & 0xff), straight((word >> 8) & 0xff), straight((word >> 16) & 0xff),
                                 static_cast<std::uint8_t>(a)};
        }
    }
}

std::unique_ptr<MemBitmap> RenderStrip(const StripSpec& strip, int scale) {
    const int width = strip.width * scale;
    const int frameHeight = strip.frameHeight * scale;
    auto out = std::make_unique<MemBitmap>(width, frameHeight * strip.frames);
    if (!out->PixelPointer()) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, frameHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    for (int frame = 1; frame <= strip.frames; ++frame) {
        cairo_t* cr = cairo_create(surface);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        // At 1 the transformation stays the identity, so those pictures
        // keep every byte they had.
        if (scale != 1) cairo_scale(cr, scale, scale);
        strip.draw(cr, frame);
        cairo_destroy(cr);
        CopyToStraight(surface, out.get(), (frame - 1) * frameHeight);
    }
    cairo_surface_destroy(surface);
    return out;
}

std::string DoubleScaleName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return fileName + "@2x";
    return fileName.substr(0, dot) + "@2x" + fileName.substr(dot);
}

}  // namespace art
