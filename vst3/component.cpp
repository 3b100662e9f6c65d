// IComponent: the buses, activation and the state. UI thread (a state may
// also arrive while the audio thread processes: the exporter's lock keeps
// them apart).
#include "vst3/effect_vst3.h"
#include "vst3/vst3_stream.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

bool IsMainAudioBus(std::int32_t type, std::int32_t dir, std::int32_t index) {
    return type == kAudio && (dir == kInput || dir == kOutput) && index == 0;
}

}  // namespace

// Processor and controller are this one object, found by hosts through
// queryInterface: there is no second class to name.
tresult VST3Component::getControllerClassId(char* /*classId*/) { return kNotImplemented; }

tresult VST3Component::setIoMode(std::int32_t /*mode*/) { return kResultOk; }

std::int32_t VST3Component::getBusCount(std::int32_t type, std::int32_t dir) {
    return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult VST3Component::getBusInfo(std::int32_t type, std::int32_t dir, std::int32_t index, BusInfo* bus) {
    if (!bus || !IsMainAudioBus(type, dir, index)) return kInvalidArgument;
    *bus = BusInfo{};
    bus->mediaType = kAudio;
    bus->direction = dir;
    bus->channelCount = mOwner.Channels();
    CopyToUtf16(bus->name, dir == kInput ? "Input" : "Output");
    bus->busType = kMain;
    bus->flags = kDefaultActive;
    return kResultOk;
}

tresult VST3Component::getRoutingInfo(RoutingInfo* /*inInfo*/, RoutingInfo* /*outInfo*/) { return kNotImplemented; }

// The buses are always there: process reads whatever buffers the host hands
// it, so hosts that never activate them (or do so while active) lose nothing.
tresult VST3Component::activateBus(std::int32_t type, std::int32_t dir, std::int32_t index, TBool /*state*/) {
    return IsMainAudioBus(type, dir, index) ? kResultOk : kInvalidArgument;
}

tresult VST3Component::setActive(TBool state) {
    mOwner.Exporter().SetActive(state != 0);
    mOwner.ReportLatencyChange();
    return kResultOk;
}

tresult VST3Component::setState(IBStream* state) {
    IStateChunk chunk;
    if (!mOwner.ReadState(state, chunk) || !mOwner.Exporter().LoadChunk(chunk, false)) return kResultFalse;
    // Hosts that restore the controller from its own stream instead of the
    // component's still find its values right.
    mOwner.ControllerFollowsPlugin();
    mOwner.ReportLatencyChange();
    return kResultOk;
}

tresult VST3Component::getState(IBStream* state) {
    if (!state) return kInvalidArgument;
    IStateChunk chunk;
    if (!mOwner.Exporter().SaveProgram(chunk)) return kInternalError;
    return WriteStream(state, chunk.Data(), chunk.Length()) ? kResultOk : kResultFalse;
}
