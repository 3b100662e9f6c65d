// The render loop: a file's frames through a loaded plug-in into a writer,
// block by block, the way a host runs an offline bounce.
#pragma once

#include <cstdint>
#include <string>

#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/plugin_instance.h"
#include "tools/velmor-host/progress_bar.h"

struct RenderSettings {
    int blockSize = 512;
    bool doublePrecision = false;
    // Drop the plug-in's announced delay from the start of the output and
    // flush it with silence at the end, so the output lines up with the
    // input and is as long.
    bool latencyCompensation = true;
    // A mono file through a plug-in with two or more outputs: the mean of
    // the first two outputs rather than the first.
    bool mixToMono = false;
    // The writer's encoding: integer output is rounded (dithered when
    // `dither` and 16 bits or fewer) and clipped before it is written.
    AudioEncoding outputEncoding = AudioEncoding::kFloat64;
    bool dither = true;
    // Polled between blocks: a non-zero answer (the signal) stops the render.
    int (*interrupted)() = nullptr;
};

// What happened on the way, for the messages after the render.
struct RenderReport {
    bool monoToBothInputs = false;      // a mono file fed to the first two inputs
    int latency = 0;                    // frames compensated at the end
    bool latencyAnnouncedLate = false;  // only after the first block
    // The latency changed after output had been written: the output before
    // `latencyChangeFrame` is out of line by the difference.
    std::int64_t latencyChangeFrame = -1;
    int previousLatency = 0;
    std::int64_t framesRead = 0;
    std::int64_t framesWritten = 0;
    int pluginInputs = 0, pluginOutputs = 0;
    int silentInputs = 0;    // plug-in inputs beyond the file's channels (fed silence)
    int droppedOutputs = 0;  // plug-in outputs beyond the file's channels (not written)
    double inputPeak = 0.0;  // largest input magnitude
    std::int64_t clipped = 0;
    std::int64_t nonFinite = 0;
    double peak = 0.0;
};

// Whether the effect can take a file of `channels` channels: file channel c
// goes to input c and comes back from output c; a mono file also feeds
// input 2 of a plug-in with two or more; other inputs get silence and
// other outputs are dropped.
bool CheckChannels(const PluginInstance& plugin, int channels, std::string& error);

// Resumes the plug-in, renders every frame of `reader` into `writer` and
// suspends it again. The latency is read after resuming and again whenever
// the plug-in sends audioMasterIOChanged (some announce it only after their
// first block); the block in which it arrives is not written before it is
// known.
bool RenderAudio(PluginInstance& plugin, AudioReader& reader, AudioWriter& writer, const RenderSettings& settings,
                 ProgressBar* progress, std::string& error, RenderReport* report = nullptr);
