// process(): the host's block in slices between its events' sample times,
// through the exporter (which widens single precision into the channels'
// scratch buffers and reads a missing buffer as silence). Nothing here
// allocates, waits or calls the host but to hand it events.
#include <algorithm>
#include <cstring>

#include "clap/effect_clap.h"

namespace {

// The first port of a direction, or null when the host gave none.
template <typename Buffer>
Buffer* MainPort(Buffer* ports, std::uint32_t count) {
    return ports && count > 0 ? &ports[0] : nullptr;
}

// A host that hands double buffers does so on every port (the ports require
// one sample size); single precision is the rest.
bool UsesDoubles(const clap_process& process) {
    const clap_audio_buffer* out = MainPort(process.audio_outputs, process.audio_outputs_count);
    return out && !out->data32 && out->data64;
}

// Output channels beyond the plug-in's: written silent rather than left as
// the host's garbage.
template <typename T>
void SilenceExtraOutputs(T* const* channels, std::uint32_t count, int from, std::uint32_t start, std::uint32_t end) {
    if (!channels) return;
    for (std::uint32_t c = static_cast<std::uint32_t>(from); c < count; ++c) {
        if (channels[c]) std::fill(channels[c] + start, channels[c] + end, T(0));
    }
}

}  // namespace

int IEffectCLAP::Channels() const { return mConfig == 1 ? 1 : 2; }

template <typename T>
void IEffectCLAP::RunSlice(const clap_process& process, std::uint32_t from, std::uint32_t to) {
    const clap_audio_buffer* in = MainPort(process.audio_inputs, process.audio_inputs_count);
    clap_audio_buffer* out = MainPort(process.audio_outputs, process.audio_outputs_count);
    const T* const* ins = nullptr;
    T* const* outs = nullptr;
    int nIn = 0;
    int nOut = 0;
    if constexpr (sizeof(T) == sizeof(float)) {
        if (in && in->data32) ins = in->data32;
        if (out && out->data32) outs = out->data32;
    } else {
        if (in && in->data64) ins = in->data64;
        if (out && out->data64) outs = out->data64;
    }
    if (ins) nIn = static_cast<int>(std::min<std::uint32_t>(in->channel_count, static_cast<std::uint32_t>(Channels())));
    if (outs) {
        nOut = static_cast<int>(std::min<std::uint32_t>(out->channel_count, static_cast<std::uint32_t>(Channels())));
    }
    const int frames = static_cast<int>(to - from);
    mExporter.Process(ins, nIn, outs, nOut, static_cast<int>(from), frames);
    if (outs) SilenceExtraOutputs(outs, out->channel_count, nOut, from, to);
}

std::int32_t IEffectCLAP::Process(const clap_process& process) {
    if (!mActive) return kClapProcessError;
    {
        LockGuard guard(Plugin().Lock());
        const std::uint32_t frames = process.frames_count;
        const bool doubles = UsesDoubles(process);
        const clap_input_events* in = process.in_events;
        const std::uint32_t count = in && in->size && in->get ? in->size(in) : 0;
        std::uint32_t done = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const clap_event_header* event = in->get(in, i);
            if (!event) continue;
            // Events are sorted; one out of order, or past the block, is
            // applied where the block has got to.
            const std::uint32_t at = std::min(std::max(event->time, done), frames);
            if (at > done) {
                doubles ? RunSlice<double>(process, done, at) : RunSlice<float>(process, done, at);
                done = at;
            }
            ApplyEvent(*event);
        }
        if (done < frames) doubles ? RunSlice<double>(process, done, frames) : RunSlice<float>(process, done, frames);
        if (clap_audio_buffer* out = MainPort(process.audio_outputs, process.audio_outputs_count)) {
            out->constant_mask = 0;
        }
        SendEdits(process.out_events);
    }
    SendHostRequests(false);
    return kClapProcessContinue;
}
