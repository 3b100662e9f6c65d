// The editor's pictures: resource id, the file name the resource was built
// from, and the number of frames stacked in it. The ids are the library's
// resource ids (Windows resources of type "PNG", or the embedded table).
#pragma once

struct VelmorPicture {
    int id;
    const char* fileName;
    int frames;
};

namespace pictures {

constexpr VelmorPicture kKnob{101, "resources/img/Velmor_Knob.png", 240};
constexpr VelmorPicture kBackground{103, "resources/img/Orvane-Background.png", 1};
constexpr VelmorPicture kKnobSmall{104, "resources/img/Velmor_Knob_Small.png", 240};
constexpr VelmorPicture kPowerSwitch{105, "resources/img/Velmor_Switch.png", 2};
constexpr VelmorPicture kDriveMeterFace{106, "resources/img/PresComp_Background.png", 1};
constexpr VelmorPicture kOutputMeterFace{107, "resources/img/FinalComp_Background.png", 1};
constexpr VelmorPicture kMeterFrame{108, "resources/img/Frame.png", 1};
constexpr VelmorPicture kNeedle{109, "resources/img/Red_Needle.png", 240};
constexpr VelmorPicture kOffState{111, "resources/img/Off_State.png", 60};
constexpr VelmorPicture kOnState{112, "resources/img/On_State.png", 60};
constexpr VelmorPicture kCap{117, "resources/img/Cap.png", 1};
constexpr VelmorPicture kModeA{118, "resources/img/ModeA.png", 2};
constexpr VelmorPicture kModeB{119, "resources/img/ModeB.png", 2};
constexpr VelmorPicture kModeC{120, "resources/img/ModeC.png", 2};
constexpr VelmorPicture kModeD{121, "resources/img/ModeD.png", 2};
constexpr VelmorPicture kSmallSwitch{122, "resources/img/Lim.png", 2};
constexpr VelmorPicture kRedLed{123, "resources/img/Red_Led.png", 2};
constexpr VelmorPicture kGreenLed{124, "resources/img/Green_Led.png", 2};

constexpr VelmorPicture kAll[] = {
    kKnob,   kBackground,  kKnobSmall, kPowerSwitch, kDriveMeterFace, kOutputMeterFace, kMeterFrame,
    kNeedle, kOffState,    kOnState,   kCap,         kModeA,          kModeB,           kModeC,
    kModeD,  kSmallSwitch, kRedLed,    kGreenLed};

}  // namespace pictures

// The embedded pictures (velmor.so and the tests): the bytes stored under
// id, false when there are none. Defined by the generated resource table.
struct IResourceBytes;
bool FindVelmorResource(int id, IResourceBytes* out);
