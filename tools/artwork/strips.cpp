// The eighteen strips the editor loads: file name, frame size, frame count
// and how to draw a frame.
#include "geometry.h"
#include "palette.h"
#include "pictures.h"

namespace art {

std::vector<StripSpec> AllStrips() {
    constexpr int kMeterFrames = kNeedleFrames;
    constexpr int kLampFrames = 60;
    const auto single = [](void (*draw)(cairo_t*)) { return [draw](cairo_t* cr, int) { draw(cr); }; };
    const auto mode = [](char letter) {
        return [letter](cairo_t* cr, int frame) { DrawModeButton(cr, frame, letter); };
    };
    return {
        {"Orvane-Background.png", kBackgroundWidth, kEditorHeight, 1, single(DrawBackground)},
        {"Velmor_Knob.png", kKnobSize, kKnobSize, kKnobFrames,
         [](cairo_t* cr, int frame) { DrawKnob(cr, frame, kKnobSize); }},
        {"Velmor_Knob_Small.png", kSmallKnobSize, kSmallKnobSize, kKnobFrames,
         [](cairo_t* cr, int frame) { DrawKnob(cr, frame, kSmallKnobSize); }},
        {"Lim.png", kSmallSwitchSize, kSmallSwitchSize, 2, DrawSmallSwitch},
        {"Velmor_Switch.png", kPowerSize, kPowerSize, 2, DrawPowerSwitch},
        {"PresComp_Background.png", kMeterWidth, kMeterHeight, 1,
         [](cairo_t* cr, int) { DrawMeterFace(cr, MeterLegend::Drive); }},
        {"FinalComp_Background.png", kMeterWidth, kMeterHeight, 1,
         [](cairo_t* cr, int) { DrawMeterFace(cr, MeterLegend::Output); }},
        {"Red_Needle.png", kMeterWidth, kMeterHeight, kMeterFrames, DrawNeedle},
        {"Frame.png", kMeterWidth, kMeterHeight, 1, single(DrawMeterFrame)},
        {"Cap.png", kMeterWidth, kMeterHeight, 1, single(DrawCap)},
        {"Off_State.png", kMeterWidth, kMeterHeight, kLampFrames,
         [](cairo_t* cr, int frame) { DrawLampOverlay(cr, OffStateWarmth(frame)); }},
        {"On_State.png", kMeterWidth, kMeterHeight, kLampFrames,
         [](cairo_t* cr, int frame) { DrawLampOverlay(cr, OnStateWarmth(frame)); }},
        {"Green_Led.png", kLedSize, kLedSize, 2,
         [](cairo_t* cr, int frame) { DrawLed(cr, frame, kLedGreenOff, kLedGreenOn); }},
        {"Red_Led.png", kLedSize, kLedSize, 2,
         [](cairo_t* cr, int frame) { DrawLed(cr, frame, kLedRedOff, kLedRedOn); }},
        {"ModeA.png", kModeSize, kModeSize, 2, mode('A')},
        {"ModeB.png", kModeSize, kModeSize, 2, mode('B')},
        {"ModeC.png", kModeSize, kModeSize, 2, mode('C')},
        {"ModeD.png", kModeSize, kModeSize, 2, mode('D')},
    };
}

}  // namespace art
