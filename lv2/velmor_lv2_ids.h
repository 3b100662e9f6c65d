// What LV2 hosts know Velmor by. Chosen once and kept forever: hosts store
// the plug-in URIs and port symbols in their sessions, so changing one
// orphans every saved session. Defined in plugin/velmor_lv2_ids.cpp, beside
// the plug-in.
#pragma once

// The two plug-ins (two channels in and out; one) and their shared editor.
extern const char kVelmorLv2StereoUri[];
extern const char kVelmorLv2MonoUri[];
extern const char kVelmorLv2UiUri[];
// The state property holding the program chunk's bytes.
extern const char kVelmorLv2ChunkUri[];
// The meters ReadMeter answers for, in its order: symbols and names of the
// output ports that carry their needles to the editor.
constexpr int kVelmorLv2MeterCount = 2;
extern const char* const kVelmorLv2MeterSymbols[kVelmorLv2MeterCount];
extern const char* const kVelmorLv2MeterNames[kVelmorLv2MeterCount];
// The LV2 classes the plug-ins belong to, as Turtle names (lv2:...).
extern const char kVelmorLv2Classes[];
