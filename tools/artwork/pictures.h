// One drawing function per picture. Each draws a single frame into a cleared
// context of the picture's frame size; frame numbers are 1-based as in the
// editor.
#pragma once

#include <cairo.h>

#include <vector>

#include "canvas.h"

namespace art {

void DrawBackground(cairo_t* cr);
void DrawKnob(cairo_t* cr, int frame, double size);
void DrawPowerSwitch(cairo_t* cr, int frame);
void DrawSmallSwitch(cairo_t* cr, int frame);
void DrawModeButton(cairo_t* cr, int frame, char letter);
void DrawLed(cairo_t* cr, int frame, Rgb off, Rgb on);

enum class MeterLegend { Drive, Output };
void DrawMeterFace(cairo_t* cr, MeterLegend legend);
void DrawNeedle(cairo_t* cr, int frame);
void DrawCap(cairo_t* cr);
void DrawMeterFrame(cairo_t* cr);
// Lamp brightness 0 (cold) .. 1 (fully lit) as an overlay over the face.
void DrawLampOverlay(cairo_t* cr, double warmth);
double OnStateWarmth(int frame);
double OffStateWarmth(int frame);

// The eighteen strips, in the order of the editor's bitmap table.
std::vector<StripSpec> AllStrips();

}  // namespace art
