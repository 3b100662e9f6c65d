// A small VST 2.4 effect that is not ours, for testing velmor-host against
// the published interface alone. Three parameters:
//   0 "Gain"  linear gain 2x (display "0.500"), typed text accepted
//   1 "Mode"  "Thru" / "Invert" / "Swap" (display texts only; typed text refused)
//   2 "Trim"  -12..12 dB, linear in x (display "-6.00", label "dB"; typed text refused)
// The stereo build (2 in, 2 out) also has program chunks, 64-bit processing
// and a latency of kGainStereoLatency samples which it really applies; the
// mono build (HOST_TEST_MONO: 1 in, 1 out) has none of these; HOST_TEST_SLOW
// makes each block take 2 ms, so that a test can interrupt a render midway
// (HOST_TEST_SLOW=2: the first block takes 30 s, a plug-in stuck in it).
// HOST_TEST_LATE_LATENCY: stereo, delays by kLateLatency but announces it
// only in its first block; HOST_TEST_FALLING_LATENCY: stereo, announces
// kFallingLatencyFrom at first and kFallingLatencyTo (with
// audioMasterIOChanged) during its second block; HOST_TEST_WIDE:
// kWideChannels in and out; HOST_TEST_TWIN_NAMES: mono, with "Trim" named
// "Gain" too, as plug-ins with repeated names have it, and its unit "°C".
// Two more mono-output builds stand for older plug-ins: HOST_TEST_DOWNMIX
// (2 in, 1 out: the inputs are summed) and HOST_TEST_ACCUMULATING (1 in,
// 1 out, only the pre-2.4 `process` callback, which adds to the outputs).
// It checks what a host owes it (open before use, resumed while processing,
// blocks no longer than announced, a transport position that follows the
// processed samples) and counts violations for the tests to read.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(HOST_TEST_SLOW)
#include <chrono>
#include <thread>
#endif

#include "tests/host/plugins/gain_plugin.h"
#include "tests/host/plugins/test_plugin_export.h"
#include "vst/vst2_abi.h"

namespace {

#if defined(HOST_TEST_DOWNMIX)
constexpr int kInputs = 2;
constexpr int kChannels = 1;  // outputs
constexpr int kLatency = 0;
#elif defined(HOST_TEST_MONO) || defined(HOST_TEST_ACCUMULATING)
constexpr int kInputs = 1;
constexpr int kChannels = 1;
constexpr int kLatency = 0;
#elif defined(HOST_TEST_LATE_LATENCY)
constexpr int kInputs = 2;
constexpr int kChannels = 2;
constexpr int kLatency = kLateLatency;
#elif defined(HOST_TEST_FALLING_LATENCY)
constexpr int kInputs = 2;
constexpr int kChannels = 2;
constexpr int kLatency = kFallingLatencyTo;
#elif defined(HOST_TEST_WIDE)
constexpr int kInputs = kWideChannels;
constexpr int kChannels = kWideChannels;
constexpr int kLatency = 0;
#else
constexpr int kInputs = 2;
constexpr int kChannels = 2;
constexpr int kLatency = kGainStereoLatency;
#endif
#if defined(HOST_TEST_TWIN_NAMES)
const char* const kTrimName = "Gain";
const char* const kTrimLabel =
    "\xC2\xB0"
    "C";  // "°C": a unit of more bytes than columns
#else
const char* const kTrimName = "Trim";
const char* const kTrimLabel = "dB";
#endif
#if defined(HOST_TEST_ACCUMULATING)
constexpr bool kAccumulating = true;
#else
constexpr bool kAccumulating = false;
#endif
constexpr int kParams = 3;
constexpr char kChunkMagic[4] = {'H', 'G', 'S', 'T'};

struct GainPlugin {
    AEffect effect;
    audioMasterCallback host;
    float values[kParams] = {0.5f, 0.0f, 0.5f};
    bool open = false;
    bool resumed = false;
    double sampleRate = 0;
    int blockSize = 0;
    double position = 0;
    int contractErrors = 0;
    int precision = -1;
    int floatBlocks = 0;
    int doubleBlocks = 0;
    double delay[kChannels][kLatency + 1] = {};
    int delayPos = 0;
    unsigned char chunk[16];
};

GainPlugin* Self(AEffect* e) { return static_cast<GainPlugin*>(e->object); }

int ModeOf(float x) {
    const int m = static_cast<int>(x * 3.0f);
    return m < 0 ? 0 : m > 2 ? 2 : m;
}
double GainOf(float x) { return 2.0 * x; }
double TrimDbOf(float x) { return -12.0 + 24.0 * x; }

void CheckProcessCall(GainPlugin* p, int frames) {
    if (!p->open || !p->resumed || frames > p->blockSize || p->sampleRate <= 0) ++p->contractErrors;
    auto* time = reinterpret_cast<VstTimeInfo*>(p->host(&p->effect, audioMasterGetTime, 0, kVstTempoValid, nullptr, 0));
    if (!time || time->samplePos != p->position || time->sampleRate != p->sampleRate) ++p->contractErrors;
    p->position += frames;
}

// The late variant delays from the first sample but says so only during its
// first block, as some plug-ins settle their latency once they run.
void AnnounceLateLatency(GainPlugin* p) {
#if defined(HOST_TEST_LATE_LATENCY) || defined(HOST_TEST_FALLING_LATENCY)
#if defined(HOST_TEST_FALLING_LATENCY)
    // In its second block, once output has been written.
    if (p->floatBlocks + p->doubleBlocks < 1) return;
#endif
    if (p->effect.initialDelay != kLatency) {
        p->effect.initialDelay = kLatency;
        p->host(&p->effect, audioMasterIOChanged, 0, 0, nullptr, 0);
    }
#else
    (void)p;
#endif
}

template <typename Sample>
void Process(GainPlugin* p, Sample** in, Sample** out, int frames) {
    const double gain = GainOf(p->values[0]) * std::pow(10.0, TrimDbOf(p->values[2]) / 20.0);
    const int mode = ModeOf(p->values[1]);
    for (int i = 0; i < frames; ++i) {
        double x[kChannels];
        for (int c = 0; c < kChannels; ++c) {
            const int source = (mode == 2 && kChannels >= 2 && c < 2) ? 1 - c : c;
            x[c] = (mode == 1 ? -gain : gain) * static_cast<double>(in[source][i]);
        }
        // Inputs without an output of their own are added to the last one.
        for (int c = kChannels; c < kInputs; ++c)
            x[kChannels - 1] += (mode == 1 ? -gain : gain) * static_cast<double>(in[c][i]);
        for (int c = 0; c < kChannels; ++c) {
            // A delay line of kLatency samples (none when kLatency is 0).
            p->delay[c][p->delayPos] = x[c];
            const auto y = static_cast<Sample>(p->delay[c][(p->delayPos + 1) % (kLatency + 1)]);
            out[c][i] = kAccumulating ? out[c][i] + y : y;
        }
        p->delayPos = (p->delayPos + 1) % (kLatency + 1);
    }
}

void VSTCALLBACK ProcessReplacing(AEffect* e, float** in, float** out, VstInt32 frames) {
    GainPlugin* p = Self(e);
    CheckProcessCall(p, frames);
    AnnounceLateLatency(p);
    ++p->floatBlocks;
#if defined(HOST_TEST_SLOW)
    // Long enough per block that a test can interrupt a render midway; the
    // stuck variant hangs in its first block as a broken plug-in might.
    std::this_thread::sleep_for(std::chrono::milliseconds(p->floatBlocks == 1 && HOST_TEST_SLOW > 1 ? 30000 : 2));
#endif
    Process(p, in, out, frames);
}

void VSTCALLBACK ProcessAccumulating(AEffect* e, float** in, float** out, VstInt32 frames) {
    ProcessReplacing(e, in, out, frames);  // adds, in this build
}

void VSTCALLBACK ProcessDouble(AEffect* e, double** in, double** out, VstInt32 frames) {
    GainPlugin* p = Self(e);
    CheckProcessCall(p, frames);
    AnnounceLateLatency(p);
    ++p->doubleBlocks;
    Process(p, in, out, frames);
}

void VSTCALLBACK SetParameter(AEffect* e, VstInt32 index, float value) {
    if (index >= 0 && index < kParams) Self(e)->values[index] = value < 0 ? 0 : value > 1 ? 1 : value;
}

float VSTCALLBACK GetParameter(AEffect* e, VstInt32 index) {
    return index >= 0 && index < kParams ? Self(e)->values[index] : 0.0f;
}

void Copy(void* ptr, const char* text) {
    if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxParamStrLen * 8, "%s", text);
}

VstIntPtr Dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    GainPlugin* p = Self(e);
    const bool validIndex = index >= 0 && index < kParams;
    char text[64];
    switch (opcode) {
        case effOpen:
            p->open = true;
            return 0;
        case effClose:
            delete p;
            return 1;
        case effSetSampleRate:
            p->sampleRate = opt;
            return 0;
        case effSetBlockSize:
            p->blockSize = static_cast<int>(value);
            return 0;
        case effMainsChanged:
            p->resumed = value != 0;
            if (p->resumed) {
                std::memset(p->delay, 0, sizeof p->delay);
                p->position = 0;
            }
            return 0;
        case effSetProcessPrecision:
            p->precision = static_cast<int>(value);
            return 1;
        case effGetParamName:
            if (validIndex) Copy(ptr, index == 0 ? "Gain" : index == 1 ? "Mode" : kTrimName);
            return 0;
        case effGetParamLabel:
            if (validIndex) Copy(ptr, index == 2 ? kTrimLabel : "");
            return 0;
        case effGetParamDisplay:
            if (!validIndex) return 0;
            if (index == 0) std::snprintf(text, sizeof text, "%.3f", GainOf(p->values[0]));
            if (index == 1)
                std::snprintf(text, sizeof text, "%s",
                              ModeOf(p->values[1]) == 0   ? "Thru"
                              : ModeOf(p->values[1]) == 1 ? "Invert"
                                                          : "Swap");
            if (index == 2) std::snprintf(text, sizeof text, "%.2f", TrimDbOf(p->values[2]));
            Copy(ptr, text);
            return 0;
        case effString2Parameter: {
            if (index != 0 || !ptr) return 0;
            double gain = std::atof(static_cast<const char*>(ptr));
            gain = gain < 0 ? 0 : gain > 2 ? 2 : gain;
            p->values[0] = static_cast<float>(gain / 2.0);
            return 1;
        }
        case effGetChunk: {
            if (kChannels == 1 || !ptr) return 0;
            std::memcpy(p->chunk, kChunkMagic, 4);
            std::memcpy(p->chunk + 4, p->values, sizeof p->values);
            *static_cast<void**>(ptr) = p->chunk;
            return sizeof p->chunk;
        }
        case effSetChunk: {
            if (kChannels == 1 || !ptr || value != static_cast<VstIntPtr>(sizeof p->chunk) ||
                std::memcmp(ptr, kChunkMagic, 4) != 0)
                return 0;
            std::memcpy(p->values, static_cast<const unsigned char*>(ptr) + 4, sizeof p->values);
            return 1;
        }
        case effGetEffectName:
            Copy(ptr, "Test Gain");
            return 1;
        case effGetVendorString:
            Copy(ptr, "Host Tests");
            return 1;
        case effGetVstVersion:
            return kVstVersion;
        case effVendorSpecific:
            switch (index) {
                case kGainQueryHost:
                    return p->host(e, static_cast<VstInt32>(value), 0, 0, ptr, 0);
                case kGainContractErrors:
                    return p->contractErrors;
                case kGainPrecision:
                    return p->precision + 1;
                case kGainFloatBlocks:
                    return p->floatBlocks;
                case kGainDoubleBlocks:
                    return p->doubleBlocks;
            }
            return 0;
        default:
            return 0;
    }
}

VstIntPtr VSTCALLBACK Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    GainPlugin* p = Self(e);
    // Everything but the first calls needs effOpen first.
    if (!p->open && opcode != effOpen && opcode != effClose) ++p->contractErrors;
    return Dispatcher(e, opcode, index, value, ptr, opt);
}

}  // namespace

HOST_TEST_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    GainPlugin* p = new GainPlugin();
    p->host = host;
    AEffect& e = p->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatch;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.numPrograms = 1;
    e.numParams = kParams;
    e.numInputs = kInputs;
    e.numOutputs = kChannels;
    if (kAccumulating) {
        e.process = ProcessAccumulating;
    } else {
        e.processReplacing = ProcessReplacing;
        e.flags = effFlagsCanReplacing;
    }
    if (kChannels == 2) {
        e.flags |= effFlagsCanDoubleReplacing | effFlagsProgramChunks;
        e.processDoubleReplacing = ProcessDouble;
    }
#if defined(HOST_TEST_LATE_LATENCY)
    e.initialDelay = 0;
#elif defined(HOST_TEST_FALLING_LATENCY)
    e.initialDelay = kFallingLatencyFrom;
#else
    e.initialDelay = kLatency;
#endif
    e.ioRatio = 1.0f;
    e.object = p;
    e.uniqueID = kChannels == 2 ? VstFourCC('H', 't', 'G', 'n') : VstFourCC('H', 't', 'G', 'm');
    e.version = 1;
    return &e;
}
