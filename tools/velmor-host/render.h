// The render loop: a file's frames through a loaded plug-in into a writer,
// block by block, the way a host runs an offline bounce.
#pragma once

#include <string>

#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/hosted_plugin.h"
#include "tools/velmor-host/progress_bar.h"

struct RenderSettings {
    int blockSize = 512;
    bool doublePrecision = false;
    // Polled between blocks: a non-zero answer (the signal) stops the render.
    int (*interrupted)() = nullptr;
};

// Whether the effect can take a file of `channels` channels: file channel c
// goes to input c and comes back from output c; inputs beyond the file's
// channels get silence, outputs beyond them are dropped.
bool CheckChannels(const AEffect& effect, int channels, std::string& error);

// Resumes the plug-in, renders every frame of `reader` into `writer` and
// suspends it again. The plug-in's announced latency is compensated: the
// first initialDelay output frames are dropped and as many frames of
// silence are fed after the input, so the output lines up with the input
// and has its length.
bool RenderAudio(HostedPlugin& plugin, AudioReader& reader, AudioWriter& writer, const RenderSettings& settings,
                 ProgressBar* progress, std::string& error);
