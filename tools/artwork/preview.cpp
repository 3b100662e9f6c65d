// The whole editor as it will look at default settings, composited from the
// same drawing functions, for looking at the artwork as a user will.
#include "preview.h"

#include "geometry.h"
#include "palette.h"
#include "pictures.h"
#include "raster/png_encode.h"

namespace art {

namespace {

// Draws one frame of a picture at the picture's place in the editor.
void Place(cairo_t* cr, double x, double y, const FrameDrawer& draw, int frame) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    draw(cr, frame);
    cairo_restore(cr);
}

}  // namespace

bool WritePreview(const char* path) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kEditorWidth, kEditorHeight);
    cairo_t* cr = cairo_create(surface);

    // The background paints its texture straight into the target surface, so
    // it gets a surface of its own and is copied in.
    cairo_surface_t* plate = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kBackgroundWidth, kEditorHeight);
    cairo_t* plateCr = cairo_create(plate);
    DrawBackground(plateCr);
    cairo_destroy(plateCr);
    cairo_set_source_surface(cr, plate, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(plate);

    // Defaults: Pres Comp 12.5 dB of -5..25, Db Output 0 dB of -30..20.
    const auto knob = [](cairo_t* c, int frame) { DrawKnob(c, frame, kKnobSize); };
    Place(cr, kPresCompKnob.x, kPresCompKnob.y, knob, FrameForValue(17.5 / 30.0, kKnobFrames));
    Place(cr, kLowCutSwitch.x, kLowCutSwitch.y, DrawSmallSwitch, 2);
    Place(cr, kPresenceSwitch.x, kPresenceSwitch.y, DrawSmallSwitch, 2);
    Place(cr, kOutputKnob.x, kOutputKnob.y, knob, FrameForValue(30.0 / 50.0, kKnobFrames));
    Place(cr, kPowerSwitch.x, kPowerSwitch.y, DrawPowerSwitch, 2);

    // The meter's layers in the editor's order, needle at level 1.0.
    cairo_save(cr);
    cairo_translate(cr, kMeterLeft, kMeterTop);
    cairo_rectangle(cr, 0, 0, kMeterWidth, kMeterHeight);
    cairo_clip(cr);
    DrawMeterFace(cr, MeterLegend::Drive);
    DrawNeedle(cr, NeedleFrame(1.0));
    Place(
        cr, kLedLeft, kLedTop, [](cairo_t* c, int f) { DrawLed(c, f, kLedGreenOff, kLedGreenOn); }, 1);
    DrawCap(cr);
    DrawLampOverlay(cr, OnStateWarmth(60));
    DrawMeterFrame(cr);
    cairo_restore(cr);
    cairo_destroy(cr);

    MemBitmap bitmap(kEditorWidth, kEditorHeight);
    bool written = false;
    if (bitmap.PixelPointer()) {
        CopyToStraight(surface, &bitmap, 0);
        written = WritePngFile(bitmap, path);
    }
    cairo_surface_destroy(surface);
    return written;
}

}  // namespace art
