// The VST 3 binary interface as plug-ins and hosts see it: the basic types
// and result codes, interface ids, the records exchanged, and the interfaces
// themselves, written from the published layout facts so that the plug-in
// and the host code of this project share one declaration.
//
// Interfaces are C++ classes of pure virtual functions in slot order, with no
// destructor and nothing else virtual: GCC, Clang and mingw-w64 then lay out
// exactly the COM-style table of function pointers hosts call through, and a
// class implementing several gets one table pointer per interface. Valid for
// x86-64 Linux (LP64) and x86-64 Windows (LLP64): `long` and `wchar_t` never
// appear (4 and 2 bytes on Windows, 8 and 4 on Linux); text is UTF-16 on
// both. Every size, offset and id byte hosts rely on is checked at the end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vst3 {

using tresult = std::int32_t;
using TBool = std::uint8_t;
using char16 = char16_t;
using String128 = char16[128];
using ParamID = std::uint32_t;
using ParamValue = double;
using SpeakerArrangement = std::uint64_t;
using FIDString = const char*;

// Success is 0 everywhere; the failures are COM's HRESULTs on Windows and
// small numbers elsewhere.
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

// A class or interface id: 16 raw bytes, compared as bytes. Built from the
// four 32-bit words ids are written as; Windows stores the first eight
// bytes in GUID order (the first word and both halves of the second
// little-endian), every other platform all four words big-endian.
struct Uid {
    unsigned char bytes[16];
    const char* Data() const { return reinterpret_cast<const char*>(bytes); }
};

constexpr unsigned char ByteOf(std::uint32_t word, int shift) { return static_cast<unsigned char>(word >> shift); }

constexpr Uid MakeUid(std::uint32_t w1, std::uint32_t w2, std::uint32_t w3, std::uint32_t w4) {
#if defined(_WIN32)
    return Uid{{ByteOf(w1, 0), ByteOf(w1, 8), ByteOf(w1, 16), ByteOf(w1, 24), ByteOf(w2, 16), ByteOf(w2, 24),
                ByteOf(w2, 0), ByteOf(w2, 8), ByteOf(w3, 24), ByteOf(w3, 16), ByteOf(w3, 8), ByteOf(w3, 0),
                ByteOf(w4, 24), ByteOf(w4, 16), ByteOf(w4, 8), ByteOf(w4, 0)}};
#else
    return Uid{{ByteOf(w1, 24), ByteOf(w1, 16), ByteOf(w1, 8), ByteOf(w1, 0), ByteOf(w2, 24), ByteOf(w2, 16),
                ByteOf(w2, 8), ByteOf(w2, 0), ByteOf(w3, 24), ByteOf(w3, 16), ByteOf(w3, 8), ByteOf(w3, 0),
                ByteOf(w4, 24), ByteOf(w4, 16), ByteOf(w4, 8), ByteOf(w4, 0)}};
#endif
}

// True when the 16 bytes at id (never null-terminated) equal uid.
inline bool SameUid(const char* id, const Uid& uid) {
    if (!id) return false;
    for (int i = 0; i < 16; ++i)
        if (static_cast<unsigned char>(id[i]) != uid.bytes[i]) return false;
    return true;
}

// ---- Interface ids ----
constexpr Uid kFUnknownIid = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr Uid kIPluginBaseIid = MakeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr Uid kIPluginFactoryIid = MakeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr Uid kIPluginFactory2Iid = MakeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr Uid kIPluginFactory3Iid = MakeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr Uid kIComponentIid = MakeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr Uid kIAudioProcessorIid = MakeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr Uid kIProcessContextRequirementsIid = MakeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
constexpr Uid kIParameterChangesIid = MakeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
constexpr Uid kIParamValueQueueIid = MakeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
constexpr Uid kIEditControllerIid = MakeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr Uid kIComponentHandlerIid = MakeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
constexpr Uid kIConnectionPointIid = MakeUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
constexpr Uid kIMessageIid = MakeUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
constexpr Uid kIAttributeListIid = MakeUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
constexpr Uid kIBStreamIid = MakeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
constexpr Uid kIPlugViewIid = MakeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
constexpr Uid kIPlugFrameIid = MakeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
constexpr Uid kIPlugViewContentScaleSupportIid = MakeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
constexpr Uid kIRunLoopIid = MakeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
constexpr Uid kIEventHandlerIid = MakeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
constexpr Uid kITimerHandlerIid = MakeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
constexpr Uid kIHostApplicationIid = MakeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

// ---- Constants ----
constexpr std::int32_t kManyInstances = 0x7FFFFFFF;
constexpr std::int32_t kFactoryUnicode = 16;
constexpr const char* kVstAudioEffectClass = "Audio Module Class";
constexpr const char* kVstComponentControllerClass = "Component Controller Class";
constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";
constexpr const char* kEditorViewType = "editor";

enum MediaTypes : std::int32_t { kAudio = 0, kEvent = 1 };
enum BusDirections : std::int32_t { kInput = 0, kOutput = 1 };
enum BusTypes : std::int32_t { kMain = 0, kAux = 1 };
enum BusFlags : std::uint32_t { kDefaultActive = 1 };
enum SymbolicSampleSizes : std::int32_t { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : std::int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum ParameterFlags : std::int32_t { kCanAutomate = 1 << 0, kIsReadOnly = 1 << 1, kIsList = 1 << 3 };
enum RestartFlags : std::int32_t { kParamValuesChanged = 1 << 2, kLatencyChanged = 1 << 3 };
enum SeekModes : std::int32_t { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
constexpr SpeakerArrangement kSpeakerArrEmpty = 0;
constexpr SpeakerArrangement kSpeakerArrStereo = 0x3;       // L | R
constexpr SpeakerArrangement kSpeakerArrMono = 1ull << 19;  // M

// ---- Records (natural layout on both targets) ----
struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    std::int32_t flags;
};

struct PClassInfo {
    unsigned char cid[16];
    std::int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    unsigned char cid[16];
    std::int32_t cardinality;
    char category[32];
    char name[64];
    std::uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    unsigned char cid[16];
    std::int32_t cardinality;
    char category[32];
    char16 name[64];
    std::uint32_t classFlags;
    char subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

struct BusInfo {
    std::int32_t mediaType;
    std::int32_t direction;
    std::int32_t channelCount;
    String128 name;
    std::int32_t busType;
    std::uint32_t flags;
};

struct RoutingInfo {
    std::int32_t mediaType;
    std::int32_t busIndex;
    std::int32_t channel;
};

struct ProcessSetup {
    std::int32_t processMode;
    std::int32_t symbolicSampleSize;
    std::int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers {
    std::int32_t numChannels;
    std::uint64_t silenceFlags;
    union {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParameterChanges;
class IEventList;
struct ProcessContext;

struct ProcessData {
    std::int32_t processMode;
    std::int32_t symbolicSampleSize;
    std::int32_t numSamples;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

// Declared for its size only: an effect that keeps no musical time never
// reads it.
struct ProcessContext {
    std::uint32_t state;
    double sampleRate;
    std::int64_t projectTimeSamples;
    std::int64_t systemTime;
    std::int64_t continousTimeSamples;
    double projectTimeMusic;
    double barPositionMusic;
    double cycleStartMusic;
    double cycleEndMusic;
    double tempo;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    std::int32_t chord;
    std::int32_t smpteOffsetSubframes;
    std::uint32_t frameRate[2];
    std::int32_t samplesToNextClock;
};

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    std::int32_t stepCount;
    ParamValue defaultNormalizedValue;
    std::int32_t unitId;
    std::int32_t flags;
};

struct ViewRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// ---- Interfaces, slots in declaration order ----
class FUnknown {
public:
    virtual tresult queryInterface(const char* iid, void** obj) = 0;
    virtual std::uint32_t addRef() = 0;
    virtual std::uint32_t release() = 0;
};

class IPluginBase : public FUnknown {
public:
    virtual tresult initialize(FUnknown* context) = 0;
    virtual tresult terminate() = 0;
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
    virtual std::int32_t countClasses() = 0;
    virtual tresult getClassInfo(std::int32_t index, PClassInfo* info) = 0;
    virtual tresult createInstance(const char* cid, const char* iid, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult getClassInfo2(std::int32_t index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult getClassInfoUnicode(std::int32_t index, PClassInfoW* info) = 0;
    virtual tresult setHostContext(FUnknown* context) = 0;
};

class IBStream : public FUnknown {
public:
    virtual tresult read(void* buffer, std::int32_t numBytes, std::int32_t* numBytesRead) = 0;
    virtual tresult write(void* buffer, std::int32_t numBytes, std::int32_t* numBytesWritten) = 0;
    virtual tresult seek(std::int64_t pos, std::int32_t mode, std::int64_t* result) = 0;
    virtual tresult tell(std::int64_t* pos) = 0;
};

class IComponent : public IPluginBase {
public:
    virtual tresult getControllerClassId(char* classId) = 0;
    virtual tresult setIoMode(std::int32_t mode) = 0;
    virtual std::int32_t getBusCount(std::int32_t type, std::int32_t dir) = 0;
    virtual tresult getBusInfo(std::int32_t type, std::int32_t dir, std::int32_t index, BusInfo* bus) = 0;
    virtual tresult getRoutingInfo(RoutingInfo* inInfo, RoutingInfo* outInfo) = 0;
    virtual tresult activateBus(std::int32_t type, std::int32_t dir, std::int32_t index, TBool state) = 0;
    virtual tresult setActive(TBool state) = 0;
    virtual tresult setState(IBStream* state) = 0;
    virtual tresult getState(IBStream* state) = 0;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult setBusArrangements(SpeakerArrangement* inputs, std::int32_t numIns, SpeakerArrangement* outputs,
                                       std::int32_t numOuts) = 0;
    virtual tresult getBusArrangement(std::int32_t dir, std::int32_t index, SpeakerArrangement* arr) = 0;
    virtual tresult canProcessSampleSize(std::int32_t symbolicSampleSize) = 0;
    virtual std::uint32_t getLatencySamples() = 0;
    virtual tresult setupProcessing(ProcessSetup* setup) = 0;
    virtual tresult setProcessing(TBool state) = 0;
    virtual tresult process(ProcessData* data) = 0;
    virtual std::uint32_t getTailSamples() = 0;
};

class IProcessContextRequirements : public FUnknown {
public:
    virtual std::uint32_t getProcessContextRequirements() = 0;
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID getParameterId() = 0;
    virtual std::int32_t getPointCount() = 0;
    virtual tresult getPoint(std::int32_t index, std::int32_t* sampleOffset, ParamValue* value) = 0;
    virtual tresult addPoint(std::int32_t sampleOffset, ParamValue value, std::int32_t* index) = 0;
};

class IParameterChanges : public FUnknown {
public:
    virtual std::int32_t getParameterCount() = 0;
    virtual IParamValueQueue* getParameterData(std::int32_t index) = 0;
    virtual IParamValueQueue* addParameterData(const ParamID* id, std::int32_t* index) = 0;
};

class IComponentHandler : public FUnknown {
public:
    virtual tresult beginEdit(ParamID id) = 0;
    virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult endEdit(ParamID id) = 0;
    virtual tresult restartComponent(std::int32_t flags) = 0;
};

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult setComponentState(IBStream* state) = 0;
    virtual tresult setState(IBStream* state) = 0;
    virtual tresult getState(IBStream* state) = 0;
    virtual std::int32_t getParameterCount() = 0;
    virtual tresult getParameterInfo(std::int32_t paramIndex, ParameterInfo* info) = 0;
    virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, char16* string) = 0;
    virtual tresult getParamValueByString(ParamID id, char16* string, ParamValue* valueNormalized) = 0;
    virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue getParamNormalized(ParamID id) = 0;
    virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* createView(FIDString name) = 0;
};

class IAttributeList : public FUnknown {
public:
    virtual tresult setInt(const char* id, std::int64_t value) = 0;
    virtual tresult getInt(const char* id, std::int64_t* value) = 0;
    virtual tresult setFloat(const char* id, double value) = 0;
    virtual tresult getFloat(const char* id, double* value) = 0;
    virtual tresult setString(const char* id, const char16* string) = 0;
    virtual tresult getString(const char* id, char16* string, std::uint32_t sizeInBytes) = 0;
    virtual tresult setBinary(const char* id, const void* data, std::uint32_t sizeInBytes) = 0;
    virtual tresult getBinary(const char* id, const void** data, std::uint32_t* sizeInBytes) = 0;
};

class IMessage : public FUnknown {
public:
    virtual FIDString getMessageID() = 0;
    virtual void setMessageID(FIDString id) = 0;
    virtual IAttributeList* getAttributes() = 0;
};

class IConnectionPoint : public FUnknown {
public:
    virtual tresult connect(IConnectionPoint* other) = 0;
    virtual tresult disconnect(IConnectionPoint* other) = 0;
    virtual tresult notify(IMessage* message) = 0;
};

class IHostApplication : public FUnknown {
public:
    virtual tresult getName(char16* name) = 0;
    virtual tresult createInstance(char* cid, char* iid, void** obj) = 0;
};

class IPlugFrame : public FUnknown {
public:
    virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

class IPlugView : public FUnknown {
public:
    virtual tresult isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult attached(void* parent, FIDString type) = 0;
    virtual tresult removed() = 0;
    virtual tresult onWheel(float distance) = 0;
    virtual tresult onKeyDown(char16 key, std::int16_t keyCode, std::int16_t modifiers) = 0;
    virtual tresult onKeyUp(char16 key, std::int16_t keyCode, std::int16_t modifiers) = 0;
    virtual tresult getSize(ViewRect* size) = 0;
    virtual tresult onSize(ViewRect* newSize) = 0;
    virtual tresult onFocus(TBool state) = 0;
    virtual tresult setFrame(IPlugFrame* frame) = 0;
    virtual tresult canResize() = 0;
    virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
};

// On the view object: the host's scale for its content (2 = 200 %), before
// or after attached. One slot after FUnknown's three.
class IPlugViewContentScaleSupport : public FUnknown {
public:
    virtual tresult setContentScaleFactor(float factor) = 0;
};

// The host's GUI loop on Linux: plug-ins get their file-descriptor and timer
// callbacks from it, on the host's GUI thread.
class IEventHandler : public FUnknown {
public:
    virtual void onFDIsSet(int fd) = 0;
};

class ITimerHandler : public FUnknown {
public:
    virtual void onTimer() = 0;
};

class IRunLoop : public FUnknown {
public:
    virtual tresult registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult registerTimer(ITimerHandler* handler, std::uint64_t milliseconds) = 0;
    virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
};

// ---- What hosts rely on, checked for both targets ----
static_assert(sizeof(void*) == 8, "x86-64 targets only");
static_assert(sizeof(char16) == 2 && sizeof(TBool) == 1 && sizeof(String128) == 256, "scalar sizes");

static_assert(sizeof(PFactoryInfo) == 452 && alignof(PFactoryInfo) == 4, "PFactoryInfo");
static_assert(offsetof(PFactoryInfo, url) == 64 && offsetof(PFactoryInfo, email) == 320 &&
                  offsetof(PFactoryInfo, flags) == 448,
              "PFactoryInfo layout");
static_assert(sizeof(PClassInfo) == 116 && alignof(PClassInfo) == 4, "PClassInfo");
static_assert(offsetof(PClassInfo, cardinality) == 16 && offsetof(PClassInfo, category) == 20 &&
                  offsetof(PClassInfo, name) == 52,
              "PClassInfo layout");
static_assert(sizeof(PClassInfo2) == 440 && alignof(PClassInfo2) == 4, "PClassInfo2");
static_assert(offsetof(PClassInfo2, classFlags) == 116 && offsetof(PClassInfo2, subCategories) == 120 &&
                  offsetof(PClassInfo2, vendor) == 248 && offsetof(PClassInfo2, version) == 312 &&
                  offsetof(PClassInfo2, sdkVersion) == 376,
              "PClassInfo2 layout");
static_assert(sizeof(PClassInfoW) == 696 && alignof(PClassInfoW) == 4, "PClassInfoW");
static_assert(offsetof(PClassInfoW, name) == 52 && offsetof(PClassInfoW, classFlags) == 180 &&
                  offsetof(PClassInfoW, subCategories) == 184 && offsetof(PClassInfoW, vendor) == 312 &&
                  offsetof(PClassInfoW, version) == 440 && offsetof(PClassInfoW, sdkVersion) == 568,
              "PClassInfoW layout");
static_assert(sizeof(BusInfo) == 276 && alignof(BusInfo) == 4, "BusInfo");
static_assert(offsetof(BusInfo, channelCount) == 8 && offsetof(BusInfo, name) == 12 &&
                  offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272,
              "BusInfo layout");
static_assert(sizeof(RoutingInfo) == 12, "RoutingInfo");
static_assert(sizeof(ProcessSetup) == 24 && alignof(ProcessSetup) == 8, "ProcessSetup");
static_assert(offsetof(ProcessSetup, maxSamplesPerBlock) == 8 && offsetof(ProcessSetup, sampleRate) == 16,
              "ProcessSetup layout");
static_assert(sizeof(AudioBusBuffers) == 24 && alignof(AudioBusBuffers) == 8, "AudioBusBuffers");
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8 && offsetof(AudioBusBuffers, channelBuffers32) == 16,
              "AudioBusBuffers layout");
static_assert(sizeof(ProcessData) == 80 && alignof(ProcessData) == 8, "ProcessData");
static_assert(offsetof(ProcessData, numSamples) == 8 && offsetof(ProcessData, numInputs) == 12 &&
                  offsetof(ProcessData, numOutputs) == 16 && offsetof(ProcessData, inputs) == 24 &&
                  offsetof(ProcessData, outputs) == 32 && offsetof(ProcessData, inputParameterChanges) == 40 &&
                  offsetof(ProcessData, outputParameterChanges) == 48 && offsetof(ProcessData, inputEvents) == 56 &&
                  offsetof(ProcessData, outputEvents) == 64 && offsetof(ProcessData, processContext) == 72,
              "ProcessData layout");
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, tempo) == 72 &&
                  offsetof(ProcessContext, chord) == 88 && offsetof(ProcessContext, frameRate) == 96 &&
                  offsetof(ProcessContext, samplesToNextClock) == 104,
              "ProcessContext layout");
static_assert(sizeof(ParameterInfo) == 792 && alignof(ParameterInfo) == 8, "ParameterInfo");
static_assert(offsetof(ParameterInfo, title) == 4 && offsetof(ParameterInfo, shortTitle) == 260 &&
                  offsetof(ParameterInfo, units) == 516 && offsetof(ParameterInfo, stepCount) == 772 &&
                  offsetof(ParameterInfo, defaultNormalizedValue) == 776 && offsetof(ParameterInfo, unitId) == 784 &&
                  offsetof(ParameterInfo, flags) == 788,
              "ParameterInfo layout");
static_assert(sizeof(ViewRect) == 16, "ViewRect");
static_assert(sizeof(IPlugViewContentScaleSupport) == sizeof(void*),
              "IPlugViewContentScaleSupport: a table pointer only");

// The id bytes in memory: IComponent's as both platforms print them.
#if defined(_WIN32)
static_assert(kIComponentIid.bytes[0] == 0x31 && kIComponentIid.bytes[3] == 0xE8 && kIComponentIid.bytes[4] == 0xD5 &&
                  kIComponentIid.bytes[5] == 0xF2 && kIComponentIid.bytes[6] == 0x01 &&
                  kIComponentIid.bytes[7] == 0x43 && kIComponentIid.bytes[8] == 0x92 &&
                  kIComponentIid.bytes[15] == 0x02,
              "GUID byte order on Windows");
static_assert(kIPlugViewContentScaleSupportIid.bytes[0] == 0x90 && kIPlugViewContentScaleSupportIid.bytes[3] == 0x65 &&
                  kIPlugViewContentScaleSupportIid.bytes[4] == 0xC4 &&
                  kIPlugViewContentScaleSupportIid.bytes[15] == 0x3F,
              "IPlugViewContentScaleSupport id on Windows");
static_assert(kNoInterface == static_cast<tresult>(0x80004002u), "COM result codes on Windows");
#else
static_assert(kIComponentIid.bytes[0] == 0xE8 && kIComponentIid.bytes[3] == 0x31 && kIComponentIid.bytes[4] == 0xF2 &&
                  kIComponentIid.bytes[5] == 0xD5 && kIComponentIid.bytes[6] == 0x43 &&
                  kIComponentIid.bytes[7] == 0x01 && kIComponentIid.bytes[8] == 0x92 &&
                  kIComponentIid.bytes[15] == 0x02,
              "big-endian id bytes elsewhere");
static_assert(kIPlugViewContentScaleSupportIid.bytes[0] == 0x65 && kIPlugViewContentScaleSupportIid.bytes[3] == 0x90 &&
                  kIPlugViewContentScaleSupportIid.bytes[4] == 0x8A &&
                  kIPlugViewContentScaleSupportIid.bytes[15] == 0x3F,
              "IPlugViewContentScaleSupport id elsewhere");
static_assert(kNoInterface == -1, "result codes outside Windows");
#endif
static_assert(kFUnknownIid.bytes[8] == 0xC0 && kFUnknownIid.bytes[15] == 0x46, "FUnknown is COM's IUnknown");

}  // namespace vst3
