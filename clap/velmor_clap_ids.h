// What CLAP hosts know Velmor by. Chosen once and kept forever: hosts store
// the descriptor id in their projects, so changing it orphans every saved
// session. Defined in plugin/velmor_clap_ids.cpp, beside the plug-in.
#pragma once

// The descriptor id, in reverse-domain form.
extern const char kVelmorClapId[];
// The one-line description hosts show in their plug-in lists.
extern const char kVelmorClapDescription[];
// The main category first, then the sub-categories and the channel layouts;
// null-terminated.
extern const char* const kVelmorClapFeatures[];
