#include "clap/velmor_clap_ids.h"

const char kVelmorClapId[] = "com.trelowen.orvane";
const char kVelmorClapDescription[] = "Vocal chain: drive, low cut, two-band look-ahead limiting, output limiter";
const char* const kVelmorClapFeatures[] = {"audio-effect", "compressor", "limiter", "mono", "stereo", nullptr};
