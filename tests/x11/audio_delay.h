// How long the audio thread's calls take while a host opens, idles and
// closes the editor: a host's audio thread calls processReplacing with 256
// frames every 2 ms (a block lasts 5.3 ms at 48 kHz) while its GUI thread
// opens the editor for the first time in the process, idles it, and closes
// and opens it again. Shared by the test that bounds the delays and the
// benchmark that reports them.
#pragma once

#include <string>

struct AudioDelays {
    double usualMs = 0;      // the median audio call with no editor work going on
    double firstOpenMs = 0;  // the longest call while the process's first editor opened and drew its first frames
    double reopenMs = 0;     // the longest call while the editor closed and opened again
    double tickMs = 0;       // the longest call while the open editor was idled 50 times a second
};

// Loads the VST 2.4 library at pluginPath into this process (the first open
// is only the first if no editor of it opened here before) and plays the
// scene on the display DISPLAY names. False with a one-line error when the
// library or the display is missing.
bool MeasureAudioDelays(const std::string& pluginPath, AudioDelays* delays, std::string& error);
