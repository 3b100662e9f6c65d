#include "lv2/velmor_lv2_ids.h"

const char kVelmorLv2StereoUri[] = "urn:trelowen:orvane:stereo";
const char kVelmorLv2MonoUri[] = "urn:trelowen:orvane:mono";
const char kVelmorLv2UiUri[] = "urn:trelowen:orvane:ui";
const char kVelmorLv2ChunkUri[] = "urn:trelowen:orvane:chunk";
const char* const kVelmorLv2MeterSymbols[kVelmorLv2MeterCount] = {"drive_meter", "output_meter"};
const char* const kVelmorLv2MeterNames[kVelmorLv2MeterCount] = {"Drive meter", "Output meter"};
const char kVelmorLv2Classes[] = "lv2:CompressorPlugin, lv2:LimiterPlugin";
