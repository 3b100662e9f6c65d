// The editor's layout: a 456 x 416 surface redrawn 25 times a second with
// the background, two large knobs, three switches and the drive meter in
// view, and the controls of the other parameters placed right of the edge
// (x = 474 or 1000), where they are never seen or clicked but still follow
// their parameters. Order matters: it is the paint order, and the hit test
// searches from the end, so "Power" (added after the two small switches it
// overlaps by seven rows) takes the clicks in the overlap.
#include <memory>

#include "editor/bitmap_widgets.h"
#include "editor/platform_editor.h"
#include "plugin/mode_switch.h"
#include "plugin/velmor.h"
#include "plugin/velmor_knob.h"
#include "plugin/velmor_pictures.h"
#include "plugin/vu_control.h"

namespace {

constexpr int kEditorWidth = 456;
constexpr int kEditorHeight = 416;
constexpr int kFrameRate = 25;

IBitmapRef Load(IEditor& editor, const VelmorPicture& picture) {
    return editor.LoadBitmap(picture.id, picture.fileName, picture.frames);
}

}  // namespace

void Velmor::BuildEditor() {
    std::unique_ptr<IEditor> editor =
        CreatePlatformEditor(this, kEditorWidth, kEditorHeight, kFrameRate, FindVelmorResource);
    IEditor& e = *editor;
    const IBlend normal{IBlend::kAlphaCopy, 1.0f};

    IBitmapRef background = Load(e, pictures::kBackground);
    e.AddBackground(std::make_unique<IBitmapWidget>(this, IRectangle{0, 0, background.width, background.height}, -1,
                                                    background, IBlend{IBlend::kOpaqueCopy, 1.0f}));

    IBitmapRef knob = Load(e, pictures::kKnob);
    e.AddControl(std::make_unique<VelmorKnob>(this, 64, 232, kPresComp, knob));

    IBitmapRef smallSwitch = Load(e, pictures::kSmallSwitch);
    e.AddControl(
        std::make_unique<ISwitchWidget>(this, FrameRectAt(228, 341, smallSwitch), kLowCut, smallSwitch, normal));
    e.AddControl(
        std::make_unique<ISwitchWidget>(this, FrameRectAt(174, 341, smallSwitch), kPresence, smallSwitch, normal));

    IBitmapRef smallKnob = Load(e, pictures::kKnobSmall);
    e.AddControl(std::make_unique<VelmorKnob>(this, 1000, 274, kBass, smallKnob));
    e.AddControl(std::make_unique<VelmorKnob>(this, 1000, 274, kCrispy, smallKnob));
    knob = Load(e, pictures::kKnob);
    e.AddControl(std::make_unique<VelmorKnob>(this, 1000, 232, kFinalComp, knob));
    e.AddControl(std::make_unique<VelmorKnob>(this, 264, 232, kDbOutput, knob));

    IBitmapRef powerSwitch = Load(e, pictures::kPowerSwitch);
    e.AddControl(
        std::make_unique<ISwitchWidget>(this, FrameRectAt(178, 248, powerSwitch), kPower, powerSwitch, normal));

    smallSwitch = Load(e, pictures::kSmallSwitch);
    e.AddControl(
        std::make_unique<ISwitchWidget>(this, FrameRectAt(474, 126, smallSwitch), kPLimit, smallSwitch, normal));
    e.AddControl(
        std::make_unique<ISwitchWidget>(this, FrameRectAt(474, 126, smallSwitch), kFLimit, smallSwitch, normal));

    // Both meters share the needle, frame, cap, lamp and LED pictures.
    const IBitmapRef needle = Load(e, pictures::kNeedle);
    const IBitmapRef frame = Load(e, pictures::kMeterFrame);
    const IBitmapRef cap = Load(e, pictures::kCap);
    const IBitmapRef offState = Load(e, pictures::kOffState);
    const IBitmapRef onState = Load(e, pictures::kOnState);
    const IBitmapRef greenLed = Load(e, pictures::kGreenLed);
    const IBitmapRef redLed = Load(e, pictures::kRedLed);
    auto driveMeter = std::make_unique<VuControl>(this, 96, 33, Load(e, pictures::kDriveMeterFace), needle, frame, cap,
                                                  offState, onState, greenLed, redLed, kDriveMeter);
    auto outputMeter = std::make_unique<VuControl>(this, 1000, 32, Load(e, pictures::kOutputMeterFace), needle, frame,
                                                   cap, offState, onState, greenLed, redLed, kOutputMeter);
    mDriveMeterControl = driveMeter.get();
    mOutputMeterControl = outputMeter.get();
    e.AddControl(std::move(driveMeter));
    e.AddControl(std::move(outputMeter));

    const VelmorPicture modeButtons[] = {pictures::kModeA, pictures::kModeB, pictures::kModeC, pictures::kModeD};
    const int modeButtonY[] = {48, 120, 48, 120};
    for (int i = 0; i < 4; ++i) {
        e.AddControl(std::make_unique<ModeSwitch>(this, modeButtonY[i], i + 1, Load(e, modeButtons[i]), kDriveMeter));
    }

    AttachEditor(std::move(editor));
}
