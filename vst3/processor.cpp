// IAudioProcessor: bus arrangements, set-up and process. process and
// setProcessing may come on the audio thread; the rest on the UI thread.
#include <algorithm>
#include <climits>

#include "vst3/effect_vst3.h"

using namespace vst3;

namespace {

// The most parameters one block's points are followed for; each id comes
// at most once per block, and the plug-in has eleven.
constexpr int kMaxQueues = 64;

int ChannelsOf(SpeakerArrangement arrangement) {
    if (arrangement == kSpeakerArrMono) return 1;
    if (arrangement == kSpeakerArrStereo) return 2;
    return 0;
}

// One parameter's points in this block, and the next one to apply.
struct QueueCursor {
    IParamValueQueue* queue;
    int index;
    int points;
    int next;  // offset of the next point, or INT_MAX when none is left
};

// Applies every point of c at or before position; answers the offset of
// the next one still to come.
int ApplyUpTo(PluginExporter& exporter, QueueCursor& c, int position) {
    for (;;) {
        std::int32_t offset = 0;
        ParamValue value = 0.0;
        if (c.next >= c.points || c.queue->getPoint(c.next, &offset, &value) != kResultOk) return INT_MAX;
        if (offset > position) return offset;
        exporter.SetParameterNormalized(c.index, value);
        ++c.next;
    }
}

// The cursors of the points the host sent for parameters of the plug-in.
int CollectQueues(IParameterChanges* changes, int paramCount, QueueCursor* cursors) {
    if (!changes) return 0;
    int n = 0;
    const std::int32_t count = changes->getParameterCount();
    for (std::int32_t i = 0; i < count && n < kMaxQueues; ++i) {
        IParamValueQueue* queue = changes->getParameterData(i);
        if (!queue) continue;
        const ParamID id = queue->getParameterId();
        if (id >= static_cast<ParamID>(paramCount)) continue;
        const std::int32_t points = queue->getPointCount();
        if (points <= 0) continue;
        cursors[n++] = QueueCursor{queue, static_cast<int>(id), points, 0};
    }
    return n;
}

// A bus's channel pointers, as many as the plug-in reads of them.
template <typename T>
T** BusChannels(const AudioBusBuffers* buses, std::int32_t count, int& channels, int wanted);

template <>
float** BusChannels<float>(const AudioBusBuffers* buses, std::int32_t count, int& channels, int wanted) {
    channels = 0;
    if (!buses || count <= 0 || !buses[0].channelBuffers32) return nullptr;
    channels = std::min(std::max(buses[0].numChannels, 0), wanted);
    return buses[0].channelBuffers32;
}

template <>
double** BusChannels<double>(const AudioBusBuffers* buses, std::int32_t count, int& channels, int wanted) {
    channels = 0;
    if (!buses || count <= 0 || !buses[0].channelBuffers64) return nullptr;
    channels = std::min(std::max(buses[0].numChannels, 0), wanted);
    return buses[0].channelBuffers64;
}

template <typename T>
void RunPiece(PluginExporter& exporter, ProcessData& data, int wanted, int offset, int frames) {
    if (frames <= 0) return;
    int nIn = 0;
    int nOut = 0;
    T** inputs = BusChannels<T>(data.inputs, data.numInputs, nIn, wanted);
    T** outputs = BusChannels<T>(data.outputs, data.numOutputs, nOut, wanted);
    exporter.Process(inputs, nIn, outputs, nOut, offset, frames);
}

}  // namespace

tresult VST3Processor::setBusArrangements(SpeakerArrangement* inputs, std::int32_t numIns, SpeakerArrangement* outputs,
                                          std::int32_t numOuts) {
    if (numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == outputs[0] && ChannelsOf(inputs[0]) > 0) {
        mOwner.SetChannels(ChannelsOf(inputs[0]));
        return kResultTrue;
    }
    // Refused: the nearest layout of ours is what getBusArrangement then
    // answers, so a host can ask again for it (the output's channels where
    // they are ours, else stereo).
    const int nearest = numOuts >= 1 && outputs && ChannelsOf(outputs[0]) > 0 ? ChannelsOf(outputs[0]) : 2;
    mOwner.SetChannels(nearest);
    return kResultFalse;
}

tresult VST3Processor::getBusArrangement(std::int32_t dir, std::int32_t index, SpeakerArrangement* arr) {
    if (!arr || index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
    *arr = mOwner.Channels() == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
    return kResultOk;
}

tresult VST3Processor::canProcessSampleSize(std::int32_t symbolicSampleSize) {
    return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

std::uint32_t VST3Processor::getLatencySamples() {
    const int latency = mOwner.Exporter().Latency();
    return latency > 0 ? static_cast<std::uint32_t>(latency) : 0u;
}

tresult VST3Processor::setupProcessing(ProcessSetup* setup) {
    if (!setup) return kInvalidArgument;
    mOwner.SetProcessMode(setup->processMode);
    mOwner.Exporter().SetSampleRate(setup->sampleRate);
    mOwner.Exporter().SetBlockSize(setup->maxSamplesPerBlock);
    mOwner.ReportLatencyChange();
    return kResultOk;
}

tresult VST3Processor::setProcessing(TBool state) {
    mOwner.SetProcessing(state != 0);
    return kResultOk;
}

tresult VST3Processor::process(ProcessData* data) {
    if (!data) return kInvalidArgument;
    PluginExporter& exporter = mOwner.Exporter();
    IEffectBase& p = mOwner.Plugin();
    // One lock for the whole call: the block's pieces and its points are
    // one piece of work to every other thread.
    LockGuard guard(p.Lock());
    QueueCursor cursors[kMaxQueues];
    const int queues = CollectQueues(data->inputParameterChanges, p.ParamCount(), cursors);
    const int frames = data->numSamples > 0 ? data->numSamples : 0;
    const bool doubles = data->symbolicSampleSize == kSample64;
    const int wanted = mOwner.Channels();
    int position = 0;
    for (;;) {
        // Points at this position apply before its sample; the piece runs up
        // to the next point of any parameter.
        int next = frames;
        for (int q = 0; q < queues; ++q) next = std::min(next, ApplyUpTo(exporter, cursors[q], position));
        if (doubles) {
            RunPiece<double>(exporter, *data, wanted, position, std::min(next, frames) - position);
        } else {
            RunPiece<float>(exporter, *data, wanted, position, std::min(next, frames) - position);
        }
        if (next >= frames) break;
        position = next;
    }
    // Points past the block's end (a host that miscounts) still count.
    for (int q = 0; q < queues; ++q) ApplyUpTo(exporter, cursors[q], INT_MAX);
    if (data->outputs && data->numOutputs > 0) data->outputs[0].silenceFlags = 0;
    return kResultOk;
}

std::uint32_t VST3Processor::getTailSamples() {
    const int tail = mOwner.Plugin().TailSize();
    return tail > 0 ? static_cast<std::uint32_t>(tail) : 0u;
}
