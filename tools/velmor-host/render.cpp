#include "tools/velmor-host/render.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "tools/velmor-host/output_samples.h"

namespace {

// Narrowing that saturates instead of leaving the float range (undefined).
float ToFloat(double x) {
    if (x > FLT_MAX) return HUGE_VALF;
    if (x < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(x);
}

// Planar buffers of one precision with the pointer arrays the audio
// callbacks take.
template <typename Sample>
struct Planar {
    std::vector<std::vector<Sample>> channels;
    std::vector<Sample*> pointers;

    void Resize(int count, int frames) {
        channels.assign(static_cast<std::size_t>(std::max(count, 1)),
                        std::vector<Sample>(static_cast<std::size_t>(frames), Sample(0)));
        pointers.clear();
        for (auto& channel : channels) pointers.push_back(channel.data());
    }
};

// Moves one block between the file's interleaved frames and the plug-in's
// planar buffers, with the channel mapping of CheckChannels.
class BlockRunner {
public:
    BlockRunner(PluginInstance& plugin, int fileChannels, int blockSize, bool doublePrecision, bool mixToMono)
        : mPlugin(plugin), mFileChannels(fileChannels), mDouble(doublePrecision) {
        const int inputs = plugin.InputCount();
        const int outputs = plugin.OutputCount();
        mMonoToBoth = fileChannels == 1 && inputs >= 2;
        mMixOutputs = fileChannels == 1 && mixToMono && outputs >= 2;
        if (mDouble) {
            mInDouble.Resize(inputs, blockSize);
            mOutDouble.Resize(outputs, blockSize);
        } else {
            mInFloat.Resize(inputs, blockSize);
            mOutFloat.Resize(outputs, blockSize);
        }
    }

    bool MonoToBoth() const { return mMonoToBoth; }

    // Processes `frames` interleaved file frames (null: silence) and writes
    // the whole block's output interleaved into `out`.
    void Run(const double* in, int frames, double* out) {
        if (mDouble) {
            Run(in, frames, out, mInDouble, mOutDouble);
        } else {
            Run(in, frames, out, mInFloat, mOutFloat);
        }
    }

private:
    template <typename Sample>
    void Run(const double* in, int frames, double* out, Planar<Sample>& input, Planar<Sample>& output) {
        const auto c = static_cast<std::size_t>(mFileChannels);
        const auto n = static_cast<std::size_t>(frames);
        for (std::size_t ch = 0; ch < c; ++ch)
            for (std::size_t i = 0; i < n; ++i) input.channels[ch][i] = in ? Narrow<Sample>(in[i * c + ch]) : Sample(0);
        // A stereo plug-in hears a mono file on both inputs, as a mono
        // track in a mixer feeds a stereo insert.
        if (mMonoToBoth)
            std::copy(input.channels[0].begin(), input.channels[0].begin() + frames, input.channels[1].begin());
        if constexpr (std::is_same_v<Sample, double>) {
            mPlugin.ProcessDouble(input.pointers.data(), output.pointers.data(), frames);
        } else {
            mPlugin.ProcessFloat(input.pointers.data(), output.pointers.data(), frames);
        }
        if (mMixOutputs) {
            for (std::size_t i = 0; i < n; ++i)
                out[i] =
                    0.5 * (static_cast<double>(output.channels[0][i]) + static_cast<double>(output.channels[1][i]));
            return;
        }
        for (std::size_t ch = 0; ch < c; ++ch)
            for (std::size_t i = 0; i < n; ++i) out[i * c + ch] = output.channels[ch][i];
    }

    template <typename Sample>
    static Sample Narrow(double x) {
        if constexpr (std::is_same_v<Sample, float>) {
            return ToFloat(x);
        } else {
            return x;
        }
    }

    PluginInstance& mPlugin;
    int mFileChannels;
    bool mDouble;
    bool mMonoToBoth = false;
    bool mMixOutputs = false;
    // Inputs beyond the file's channels stay silent: they are zeroed once
    // and never written.
    Planar<float> mInFloat, mOutFloat;
    Planar<double> mInDouble, mOutDouble;
};

std::string Plural(int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

bool CheckChannels(const PluginInstance& plugin, int channels, std::string& error) {
    if (plugin.InputCount() < channels) {
        error =
            "the plug-in has " + Plural(plugin.InputCount(), "input") + "; the file has " + Plural(channels, "channel");
        return false;
    }
    if (plugin.OutputCount() < channels) {
        error = "the plug-in has " + Plural(plugin.OutputCount(), "output") + "; the file has " +
                Plural(channels, "channel");
        return false;
    }
    return true;
}

bool RenderAudio(PluginInstance& plugin, AudioReader& reader, AudioWriter& writer, const RenderSettings& settings,
                 ProgressBar* progress, std::string& error, RenderReport* report) {
    RenderReport local;
    RenderReport& r = report ? *report : local;
    const int channels = reader.Format().channels;
    const int block = settings.blockSize;
    plugin.Resume(settings.doublePrecision);
    plugin.TakeIoChanged();
    // Counts and latency are read after resuming: a plug-in may settle them
    // then (and say so with audioMasterIOChanged).
    const int inputs = plugin.InputCount();
    const int outputs = plugin.OutputCount();
    if (inputs > kMaxPluginChannels || outputs > kMaxPluginChannels || !CheckChannels(plugin, channels, error)) {
        if (error.empty()) error = "the plug-in announced an implausible channel count";
        plugin.Suspend();
        return false;
    }
    std::int64_t latency = settings.latencyCompensation ? plugin.Latency() : 0;

    BlockRunner runner(plugin, channels, block, settings.doublePrecision, settings.mixToMono);
    r.monoToBothInputs = runner.MonoToBoth();
    r.pluginInputs = inputs;
    r.pluginOutputs = outputs;
    r.silentInputs = inputs - channels - (r.monoToBothInputs ? 1 : 0);
    r.droppedOutputs = outputs - (channels == 1 && settings.mixToMono && outputs >= 2 ? 2 : channels);
    const int outChannels = channels;
    OutputQuantiser quantiser(settings.outputEncoding, settings.dither);
    std::vector<double> in(static_cast<std::size_t>(block) * static_cast<std::size_t>(channels));
    std::vector<double> out(static_cast<std::size_t>(block) * static_cast<std::size_t>(outChannels));
    const std::int64_t expected = reader.Format().frames;
    std::int64_t read = 0;       // input frames taken from the file
    std::int64_t processed = 0;  // frames sent through the plug-in
    std::int64_t written = 0;    // output frames in the file
    bool atEnd = false;
    bool ok = true;
    while (ok) {
        std::int64_t frames = 0;
        if (!atEnd) {
            frames = reader.Read(in.data(), block, error);
            if (frames < 0) {
                ok = false;
                break;
            }
            atEnd = frames == 0;
            read += frames;
            for (std::int64_t i = 0; i < frames * channels; ++i)
                r.inputPeak = std::fmax(r.inputPeak, std::fabs(in[static_cast<std::size_t>(i)]));
        }
        const bool silence = frames == 0;
        if (silence) {
            // Flush the delay; should the latency have dropped mid-render,
            // still make the output as long as the input.
            if (written >= read) break;
            frames = std::min<std::int64_t>(std::max(read + latency - processed, read - written), block);
        }

        runner.Run(silence ? nullptr : in.data(), static_cast<int>(frames), out.data());
        const std::int64_t first = processed;  // output frame index of out[0]
        processed += frames;

        if (plugin.TakeIoChanged()) {
            if (plugin.InputCount() != inputs || plugin.OutputCount() != outputs) {
                error = "the plug-in changed its channel counts during the render";
                ok = false;
                break;
            }
            const std::int64_t now = settings.latencyCompensation ? plugin.Latency() : 0;
            if (now != latency) {
                if (written > 0) {
                    r.latencyChangeFrame = written;
                    r.previousLatency = static_cast<int>(latency);
                } else {
                    r.latencyAnnouncedLate = true;
                }
                latency = now;
            }
        }

        // Output frame p carries input frame p - latency: keep those that
        // map onto the file's frames, never more than the input holds.
        const std::int64_t start = std::max(first, latency);
        const std::int64_t keep = std::min(processed - start, std::max<std::int64_t>(0, read - written));
        if (keep > 0) {
            double* slice = out.data() + (start - first) * outChannels;
            quantiser.Process(slice, static_cast<std::size_t>(keep * outChannels));
            ok = writer.Write(slice, keep, error);
            written += keep;
        }
        if (progress) progress->Update(processed, std::max(expected, read) + latency);
        if (ok && settings.interrupted && settings.interrupted() != 0) {
            error = "interrupted";
            ok = false;
        }
    }
    if (progress) progress->Finish();
    plugin.Suspend();
    r.latency = static_cast<int>(latency);
    r.framesRead = read;
    r.framesWritten = written;
    r.clipped = quantiser.Clipped();
    r.nonFinite = quantiser.NonFinite();
    r.peak = quantiser.Peak();
    return ok;
}
