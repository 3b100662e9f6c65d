// Where things stand in the pictures. Every position that encodes a number
// (meter ticks, knob scales) is computed here from the same rules the editor
// uses to pick frames, so a printed mark is where the needle or pointer will
// stand.
#pragma once

#include <cmath>

#include "editor/frame_for_value.h"
#include "plugin/needle_math.h"

namespace art {

constexpr double kPi = 3.14159265358979323846;
inline double Radians(double degrees) { return degrees * kPi / 180.0; }

// Editor window and the visible controls, in editor pixels.
constexpr int kEditorWidth = 456;
constexpr int kEditorHeight = 416;
constexpr int kBackgroundWidth = 457;  // one column more than the editor; never seen

struct Point {
    double x;
    double y;
};

// Meter rectangle (face, needle, cap, frame and overlays all share it).
constexpr int kMeterLeft = 96;
constexpr int kMeterTop = 33;
constexpr int kMeterWidth = 264;
constexpr int kMeterHeight = 136;
// The LED's top-left corner inside the meter rectangle, and its size.
constexpr int kLedLeft = 234;
constexpr int kLedTop = 109;
constexpr int kLedSize = 16;
// Radius of the LED's black holder; the lamp overlays leave this spot alone.
constexpr double kLedHolder = 7.0;

// Knobs: the rectangle's top-left corners and sizes.
constexpr int kKnobSize = 128;
constexpr int kSmallKnobSize = 80;
constexpr Point kPresCompKnob = {64, 232};
constexpr Point kOutputKnob = {264, 232};

// Switches.
constexpr int kPowerSize = 100;
constexpr Point kPowerSwitch = {178, 248};
constexpr int kSmallSwitchSize = 56;
constexpr Point kPresenceSwitch = {174, 341};
constexpr Point kLowCutSwitch = {228, 341};
constexpr int kModeSize = 50;

// Angles are in degrees clockwise from straight up; a point at angle a and
// radius r from a centre c lies at (c.x + r sin a, c.y - r cos a).
inline Point Polar(Point centre, double radius, double degrees) {
    const double a = Radians(degrees);
    return {centre.x + radius * std::sin(a), centre.y - radius * std::cos(a)};
}

// The needle pivots below the face, hidden behind the cap; it rests at
// kNeedleRest and sweeps kNeedleSweep to full deflection.
constexpr Point kNeedlePivot = {132.0, 182.0};
constexpr double kNeedleRest = -47.0;
constexpr double kNeedleSweep = 94.0;

inline double NeedleAngleForFrame(int frame) { return kNeedleRest + (frame - 1) * kNeedleSweep / (kNeedleFrames - 1); }

// The angle the needle shows for a level in dB, through the needle's own
// frame rounding: a tick printed here is exactly under the drawn needle.
inline double NeedleAngleForDb(double db) { return NeedleAngleForFrame(NeedleFrame(std::pow(10.0, db / 20.0))); }

// Knob strips turn their pointer over kKnobSweep degrees in kKnobFrames steps.
constexpr int kKnobFrames = 240;
constexpr double kKnobRest = -150.0;
constexpr double kKnobSweep = 300.0;

inline double KnobAngleForFrame(int frame) { return kKnobRest + (frame - 1) * kKnobSweep / (kKnobFrames - 1); }

// The angle of a knob set to x on a linear min..max parameter, through the
// knob's frame rounding.
inline double KnobAngleForValue(double x, double min, double max) {
    return KnobAngleForFrame(FrameForValue((x - min) / (max - min), kKnobFrames));
}

}  // namespace art
