#include "tools/velmor-host/render.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

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

class BlockRunner {
public:
    BlockRunner(HostedPlugin& plugin, int fileChannels, int blockSize, bool doublePrecision)
        : mPlugin(plugin), mFileChannels(fileChannels), mDouble(doublePrecision) {
        const AEffect& effect = *plugin.Effect();
        if (mDouble) {
            mInDouble.Resize(effect.numInputs, blockSize);
            mOutDouble.Resize(effect.numOutputs, blockSize);
        } else {
            mInFloat.Resize(effect.numInputs, blockSize);
            mOutFloat.Resize(effect.numOutputs, blockSize);
        }
    }

    // Processes `frames` interleaved file frames (null: silence) and
    // writes output frames [skip, frames) interleaved into `out`.
    void Run(const double* in, int frames, double* out, int skip) {
        const auto c = static_cast<std::size_t>(mFileChannels);
        const auto n = static_cast<std::size_t>(frames);
        if (mDouble) {
            for (std::size_t ch = 0; ch < c; ++ch)
                for (std::size_t i = 0; i < n; ++i) mInDouble.channels[ch][i] = in ? in[i * c + ch] : 0.0;
            mPlugin.ProcessDouble(mInDouble.pointers.data(), mOutDouble.pointers.data(), frames);
            for (std::size_t ch = 0; ch < c; ++ch)
                for (std::size_t i = static_cast<std::size_t>(skip); i < n; ++i)
                    out[(i - static_cast<std::size_t>(skip)) * c + ch] = mOutDouble.channels[ch][i];
        } else {
            for (std::size_t ch = 0; ch < c; ++ch)
                for (std::size_t i = 0; i < n; ++i) mInFloat.channels[ch][i] = in ? ToFloat(in[i * c + ch]) : 0.0f;
            mPlugin.ProcessFloat(mInFloat.pointers.data(), mOutFloat.pointers.data(), frames);
            for (std::size_t ch = 0; ch < c; ++ch)
                for (std::size_t i = static_cast<std::size_t>(skip); i < n; ++i)
                    out[(i - static_cast<std::size_t>(skip)) * c + ch] = mOutFloat.channels[ch][i];
        }
    }

private:
    HostedPlugin& mPlugin;
    int mFileChannels;
    bool mDouble;
    // Inputs beyond the file's channels stay silent: they are zeroed once
    // and never written.
    Planar<float> mInFloat, mOutFloat;
    Planar<double> mInDouble, mOutDouble;
};

std::string Plural(int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

bool CheckChannels(const AEffect& effect, int channels, std::string& error) {
    if (effect.numInputs < channels) {
        error =
            "the plug-in has " + Plural(effect.numInputs, "input") + "; the file has " + Plural(channels, "channel");
        return false;
    }
    if (effect.numOutputs < channels) {
        error =
            "the plug-in has " + Plural(effect.numOutputs, "output") + "; the file has " + Plural(channels, "channel");
        return false;
    }
    return true;
}

bool RenderAudio(HostedPlugin& plugin, AudioReader& reader, AudioWriter& writer, const RenderSettings& settings,
                 ProgressBar* progress, std::string& error) {
    const int channels = reader.Format().channels;
    const int block = settings.blockSize;
    plugin.Resume(settings.doublePrecision);
    plugin.TakeIoChanged();
    // Counts and latency are read after resuming: a plug-in may settle them
    // then (and say so with audioMasterIOChanged).
    const AEffect& effect = *plugin.Effect();
    const int inputs = effect.numInputs;
    const int outputs = effect.numOutputs;
    if (inputs > kMaxPluginChannels || outputs > kMaxPluginChannels || !CheckChannels(effect, channels, error)) {
        if (error.empty()) error = "the plug-in announced an implausible channel count";
        plugin.Suspend();
        return false;
    }
    const std::int64_t latency = plugin.Latency();

    BlockRunner runner(plugin, channels, block, settings.doublePrecision);
    std::vector<double> in(static_cast<std::size_t>(block) * static_cast<std::size_t>(channels));
    std::vector<double> out(in.size());
    const std::int64_t expected = reader.Format().frames;
    std::int64_t read = 0;       // input frames taken from the file
    std::int64_t processed = 0;  // frames sent through the plug-in
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
        }
        const bool silence = frames == 0;
        if (silence) frames = std::min<std::int64_t>(block, read + latency - processed);
        if (frames <= 0) break;

        // Output frame p carries input frame p - latency; keep those that
        // map onto the file's frames.
        const std::int64_t skip = std::clamp<std::int64_t>(latency - processed, 0, frames);
        runner.Run(silence ? nullptr : in.data(), static_cast<int>(frames), out.data(), static_cast<int>(skip));
        const std::int64_t keep = std::min(frames - skip, read + latency - processed - skip);
        processed += frames;
        if (keep > 0) ok = writer.Write(out.data(), keep, error);

        if (plugin.TakeIoChanged() && (effect.numInputs != inputs || effect.numOutputs != outputs)) {
            error = "the plug-in changed its channel counts during the render";
            ok = false;
        }
        if (progress) progress->Update(processed, std::max(expected, read) + latency);
        if (ok && settings.interrupted && settings.interrupted() != 0) {
            error = "interrupted";
            ok = false;
        }
    }
    if (progress) progress->Finish();
    plugin.Suspend();
    return ok;
}
