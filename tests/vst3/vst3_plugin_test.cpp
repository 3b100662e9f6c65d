// The built Velmor.vst3 through its real entry points, as hosts drive it:
// the factory and its class, bus negotiation, parameters and their texts,
// parameter points at sample offsets, the component state and the refusal
// of bad ones, latency, odd buffers, and two instances side by side. Audio
// is compared with the core (the plug-in through the format-neutral
// exporter), which the format conformance tests tie to the VST 2.4 build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "tests/vst3/vst3_test_instance.h"
#include "vst3/vst3_text.h"

namespace {

using namespace vst3;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kPi = 3.14159265358979323846;
constexpr int kPresComp = 0, kLowCut = 1, kDbOutput = 6, kPower = 7, kMode = 8;

double Signal(int channel, int frame) {
    const double t = frame / kRate;
    return (0.5 + 0.4 * std::sin(2 * kPi * 2.0 * t)) * std::sin(2 * kPi * (220.0 + 30 * channel) * t);
}

// The 32 hex digits hosts print a class id as: its four words, whatever
// the platform's byte order.
std::string IdText(const unsigned char* b) {
#if defined(_WIN32)
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
#else
    const int order[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
#endif
    std::string text;
    const char* digits = "0123456789ABCDEF";
    for (int i : order) {
        text += digits[b[i] >> 4];
        text += digits[b[i] & 15];
    }
    return text;
}

// The core at the same rate and block size: the reference audio.
struct Core {
    explicit Core(int channels) : exporter(CreatePluginInstance(), nullptr) {
        IEffectBase* p = exporter.Plugin();
        for (int i = 0; i < p->ParamCount(); ++i) p->OnParameterChange(i);
        for (int i = channels; i < p->InputCount(); ++i) p->SetInputConnected(i, false);
        for (int i = channels; i < p->OutputCount(); ++i) p->SetOutputConnected(i, false);
        this->channels = channels;
        exporter.SetSampleRate(kRate);
        exporter.SetBlockSize(kBlock);
        exporter.SetActive(true);
    }
    PluginExporter exporter;
    int channels;
};

// Channel-major audio, frames long, of Signal.
template <typename T>
std::vector<std::vector<T>> Input(int channels, int frames, int start = 0) {
    std::vector<std::vector<T>> in(channels, std::vector<T>(frames));
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i) in[c][i] = static_cast<T>(Signal(c, start + i));
    return in;
}

template <typename T>
std::vector<const T*> Pointers(const std::vector<std::vector<T>>& v, int offset = 0) {
    std::vector<const T*> p;
    for (const auto& c : v) p.push_back(c.data() + offset);
    return p;
}

template <typename T>
std::vector<T*> Pointers(std::vector<std::vector<T>>& v, int offset = 0) {
    std::vector<T*> p;
    for (auto& c : v) p.push_back(c.data() + offset);
    return p;
}

class Vst3Plugin : public ::testing::Test {
protected:
    void Start(Vst3TestInstance& fx, int channels = 2, std::int32_t sampleSize = kSample32) {
        std::string error;
        ASSERT_TRUE(fx.Start(kRate, kBlock, channels, error, sampleSize)) << error;
    }
};

TEST_F(Vst3Plugin, FactoryListsOneEffectUnderTheNamesOfEveryFormat) {
    Vst3TestInstance fx;
    std::string error;
    ASSERT_TRUE(fx.Create(error)) << error;
    IPluginFactory* factory = VelmorBundle().Factory();
    PFactoryInfo finfo{};
    ASSERT_EQ(factory->getFactoryInfo(&finfo), kResultOk);
    EXPECT_STREQ(finfo.vendor, "Trelowen");
    EXPECT_EQ(finfo.flags & kFactoryUnicode, kFactoryUnicode);
    ASSERT_EQ(factory->countClasses(), 1);
    PClassInfo info{};
    ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
    EXPECT_EQ(IdText(info.cid), "56334F7276616E65A4C1D2E35112F08D");  // kept forever
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_STREQ(info.name, "Orvane");
    EXPECT_EQ(info.cardinality, kManyInstances);
    EXPECT_EQ(factory->getClassInfo(1, &info), kInvalidArgument);

    IPluginFactory3* f3 = VelmorBundle().Factory3();
    ASSERT_NE(f3, nullptr);
    PClassInfo2 info2{};
    ASSERT_EQ(f3->getClassInfo2(0, &info2), kResultOk);
    EXPECT_STREQ(info2.subCategories, "Fx|Dynamics");
    EXPECT_STREQ(info2.vendor, "Trelowen");
    EXPECT_STREQ(info2.version, "1.1.0");
    EXPECT_EQ(std::strncmp(info2.sdkVersion, "VST 3.", 6), 0);
    EXPECT_EQ(info2.classFlags, 0u);
    PClassInfoW infoW{};
    ASSERT_EQ(f3->getClassInfoUnicode(0, &infoW), kResultOk);
    EXPECT_EQ(Utf8FromUtf16(infoW.name, 64), "Orvane");
    EXPECT_EQ(Utf8FromUtf16(infoW.vendor, 64), "Trelowen");
    EXPECT_EQ(std::memcmp(infoW.cid, info.cid, 16), 0);
    f3->release();

    // Unknown classes and interfaces: nothing, and the pointer cleared.
    const Uid other = MakeUid(1, 2, 3, 4);
    void* obj = &info;
    EXPECT_EQ(factory->createInstance(other.Data(), kIComponentIid.Data(), &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    obj = &info;
    EXPECT_EQ(factory->createInstance(reinterpret_cast<const char*>(info.cid), other.Data(), &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(factory->createInstance(reinterpret_cast<const char*>(info.cid), kIComponentIid.Data(), nullptr),
              kInvalidArgument);
}

// Every interface of the instance answers every other, and FUnknown and
// IPluginBase lead to the component.
TEST_F(Vst3Plugin, EveryPartAnswersForTheWholeInstance) {
    Vst3TestInstance fx;
    std::string error;
    ASSERT_TRUE(fx.Create(error)) << error;
    struct Part {
        const Uid* iid;
        bool known;
    } parts[] = {{&kFUnknownIid, true},          {&kIPluginBaseIid, true},     {&kIComponentIid, true},
                 {&kIAudioProcessorIid, true},   {&kIEditControllerIid, true}, {&kIProcessContextRequirementsIid, true},
                 {&kIConnectionPointIid, false}, {&kIPlugViewIid, false}};
    FUnknown* from[] = {fx.Component(), fx.Processor(), fx.Controller()};
    for (FUnknown* f : from) {
        for (const Part& part : parts) {
            void* obj = &error;
            EXPECT_EQ(f->queryInterface(part.iid->Data(), &obj), part.known ? kResultOk : kNoInterface);
            EXPECT_EQ(obj != nullptr, part.known);
            if (obj) static_cast<FUnknown*>(obj)->release();
        }
        void* base = nullptr;
        ASSERT_EQ(f->queryInterface(kFUnknownIid.Data(), &base), kResultOk);
        EXPECT_EQ(base, static_cast<void*>(fx.Component()));
        static_cast<FUnknown*>(base)->release();
    }
    char cid[16] = {};
    EXPECT_EQ(fx.Component()->getControllerClassId(cid), kNotImplemented);
}

TEST_F(Vst3Plugin, BusesAreMonoOrStereoTheSameBothWays) {
    Vst3TestInstance fx;
    std::string error;
    ASSERT_TRUE(fx.Create(error)) << error;
    IComponent* c = fx.Component();
    EXPECT_EQ(c->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
    BusInfo bus{};
    ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, &bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(bus.flags, static_cast<std::uint32_t>(kDefaultActive));
    EXPECT_EQ(Utf8FromUtf16(bus.name, 128), "Output");
    EXPECT_EQ(c->getBusInfo(kAudio, kInput, 1, &bus), kInvalidArgument);
    EXPECT_EQ(c->getBusInfo(kEvent, kInput, 0, &bus), kInvalidArgument);

    constexpr SpeakerArrangement kM = kSpeakerArrMono, kS = kSpeakerArrStereo, k51 = 0x3F;
    struct Case {
        std::vector<SpeakerArrangement> ins, outs;
        tresult result;
        int channels;  // what both buses then have
    } cases[] = {
        {{kM}, {kM}, kResultTrue, 1},    {{kS}, {kS}, kResultTrue, 2},      {{kM}, {kS}, kResultFalse, 2},
        {{kS}, {kM}, kResultFalse, 1},   {{k51}, {k51}, kResultFalse, 2},   {{kM}, {kM}, kResultTrue, 1},
        {{}, {kS}, kResultFalse, 2},     {{kS, kM}, {kS}, kResultFalse, 2}, {{kS}, {}, kResultFalse, 2},
        {{0x1}, {0x1}, kResultFalse, 2},
    };
    for (const Case& k : cases) {
        std::vector<SpeakerArrangement> ins = k.ins, outs = k.outs;
        EXPECT_EQ(fx.Processor()->setBusArrangements(ins.data(), static_cast<std::int32_t>(ins.size()), outs.data(),
                                                     static_cast<std::int32_t>(outs.size())),
                  k.result);
        for (std::int32_t dir : {kInput, kOutput}) {
            SpeakerArrangement got = 0;
            ASSERT_EQ(fx.Processor()->getBusArrangement(dir, 0, &got), kResultOk);
            EXPECT_EQ(got, k.channels == 1 ? kM : kS);
            ASSERT_EQ(c->getBusInfo(kAudio, dir, 0, &bus), kResultOk);
            EXPECT_EQ(bus.channelCount, k.channels);
        }
    }
    EXPECT_EQ(fx.Processor()->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(fx.Processor()->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(fx.Processor()->canProcessSampleSize(2), kResultFalse);
}

TEST_F(Vst3Plugin, ParametersAsHostsListShowAndTypeThem) {
    Vst3TestInstance fx;
    Start(fx);
    IEditController* e = fx.Controller();
    ASSERT_EQ(e->getParameterCount(), 11);
    struct Info {
        int id;
        const char* title;
        const char* units;
        std::int32_t steps;
        double defaultNormalized;
        bool list;
    } infos[] = {{kPresComp, "Pres Comp", "dB", 0, 17.5 / 30.0, false},
                 {kLowCut, "Low Cut", "", 1, 1.0, false},
                 {kDbOutput, "Db Output", "dB", 0, 0.6, false},
                 {kPower, "Power", "", 1, 1.0, false},
                 {kMode, "Mode", "", 4, 0.25, true},
                 {10, "F Limit", "", 1, 0.0, false}};
    for (const Info& k : infos) {
        ParameterInfo info{};
        ASSERT_EQ(e->getParameterInfo(k.id, &info), kResultOk);
        EXPECT_EQ(info.id, static_cast<ParamID>(k.id));
        EXPECT_EQ(Utf8FromUtf16(info.title, 128), k.title);
        EXPECT_EQ(Utf8FromUtf16(info.units, 128), k.units) << k.title;
        EXPECT_EQ(info.stepCount, k.steps) << k.title;
        EXPECT_NEAR(info.defaultNormalizedValue, k.defaultNormalized, 1e-12) << k.title;
        EXPECT_EQ(info.flags & kCanAutomate, kCanAutomate);
        EXPECT_EQ((info.flags & kIsList) != 0, k.list) << k.title;
        EXPECT_DOUBLE_EQ(fx.GetParameter(k.id), k.defaultNormalized) << k.title;
    }
    ParameterInfo info{};
    EXPECT_EQ(e->getParameterInfo(11, &info), kInvalidArgument);
    EXPECT_EQ(e->getParameterInfo(-1, &info), kInvalidArgument);

    // Texts of any normalised value, as the plug-in would store it: a
    // stepped parameter names the step the value rounds to.
    struct Text {
        int id;
        double normalized;
        const char* text;
        double plain;
    } texts[] = {{kPresComp, 0.0, "-5.00", -5.0}, {kPresComp, 1.0, "25.00", 25.0}, {kDbOutput, 0.4, "-10.00", -10.0},
                 {kMode, 0.39, "B", 2.0},         {kMode, 0.74, "C", 3.0},         {kMode, 1.0, "D", 4.0},
                 {kMode, 0.0, "A", 0.0},          {kPower, 0.49, "off", 0.0},      {kPower, 0.5, "on", 1.0}};
    for (const Text& t : texts) {
        EXPECT_EQ(fx.ParameterText(t.id, t.normalized), t.text) << t.id << " " << t.normalized;
        EXPECT_DOUBLE_EQ(e->normalizedParamToPlain(t.id, t.normalized), t.plain) << t.id << " " << t.normalized;
    }
    EXPECT_DOUBLE_EQ(e->plainParamToNormalized(kDbOutput, -10.0), 0.4);
    EXPECT_DOUBLE_EQ(e->plainParamToNormalized(kDbOutput, 100.0), 1.0);
    EXPECT_DOUBLE_EQ(e->plainParamToNormalized(kMode, 3.0), 0.75);
    String128 out{};
    EXPECT_EQ(e->getParamStringByValue(11, 0.5, out), kInvalidArgument);
    EXPECT_EQ(e->getParamStringByValue(kMode, std::nan(""), out), kInvalidArgument);

    // setParamNormalized is the controller's value: a NaN or a bad id is
    // refused, and nothing reaches the audio without process.
    EXPECT_EQ(e->setParamNormalized(kDbOutput, std::nan("")), kInvalidArgument);
    EXPECT_EQ(e->setParamNormalized(99, 0.5), kInvalidArgument);
    const std::vector<std::uint8_t> before = fx.SaveState();
    EXPECT_EQ(e->setParamNormalized(kDbOutput, 0.25), kResultOk);
    EXPECT_DOUBLE_EQ(fx.GetParameter(kDbOutput), 0.25);
    EXPECT_EQ(fx.SaveState(), before);
    EXPECT_EQ(e->setParamNormalized(kDbOutput, 7.0), kResultOk);
    EXPECT_DOUBLE_EQ(fx.GetParameter(kDbOutput), 1.0);
}

// Points take effect at their offsets: the same as the core run in pieces
// that end where the points are, with the values set between the pieces.
TEST_F(Vst3Plugin, ParameterPointsTakeEffectAtTheirSampleOffsets) {
    struct Point {
        int id, offset;
        double value;
    };
    const std::vector<std::vector<Point>> cases = {
        {{kDbOutput, 0, 0.2}},
        {{kDbOutput, 256, 0.1}},
        {{kPresComp, 100, 0.9}, {kDbOutput, 300, 0.3}},
        {{kDbOutput, 10, 0.9}, {kDbOutput, 200, 0.1}, {kDbOutput, 511, 0.5}},
        {{kPower, 128, 0.0}, {kMode, 384, 1.0}},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        Vst3TestInstance fx;
        Start(fx);
        Core core(2);
        auto in = Input<float>(2, kBlock);
        std::vector<std::vector<float>> mine(2, std::vector<float>(kBlock)), theirs = mine;
        // A block first, so the glides of a running chain are in play.
        auto warm = Input<float>(2, kBlock);
        std::vector<std::vector<float>> scratch(2, std::vector<float>(kBlock));
        fx.Process(Pointers(warm).data(), Pointers(scratch).data(), kBlock);
        core.exporter.Process(Pointers(warm).data(), 2, Pointers(scratch).data(), 2, 0, kBlock);

        for (const Point& p : cases[k]) fx.Changes().Add(static_cast<ParamID>(p.id), p.offset, p.value);
        fx.Process(Pointers(in).data(), Pointers(mine).data(), kBlock);
        int done = 0;
        for (const Point& p : cases[k]) {
            core.exporter.Process(Pointers(in).data(), 2, Pointers(theirs).data(), 2, done, p.offset - done);
            core.exporter.SetParameterNormalized(p.id, p.value);
            done = p.offset;
        }
        core.exporter.Process(Pointers(in).data(), 2, Pointers(theirs).data(), 2, done, kBlock - done);
        EXPECT_EQ(mine, theirs) << "case " << k;
    }
}

// Points for ids the plug-in does not have, past the block's end or in a
// flush call never reach the wrong parameter; the in-range ones still count.
TEST_F(Vst3Plugin, StrayPointsChangeOnlyWhatTheyName) {
    Vst3TestInstance fx;
    Start(fx);
    fx.Changes().Add(11, 0, 0.0);
    fx.Changes().Add(0x80000001u, 0, 0.0);
    fx.Changes().Add(kDbOutput, 4000, 0.0);
    auto in = Input<float>(2, 64);
    std::vector<std::vector<float>> out(2, std::vector<float>(64));
    fx.Process(Pointers(in).data(), Pointers(out).data(), 64);
    Vst3TestInstance expected;
    Start(expected);
    expected.SetParameter(kDbOutput, 0.0);
    EXPECT_EQ(fx.SaveState(), expected.SaveState());
}

TEST_F(Vst3Plugin, StateRoundTripsAndABadOneChangesNothing) {
    Vst3TestInstance fx;
    Start(fx);
    fx.SetParameter(kPresComp, 0.25);
    fx.SetParameter(kMode, 1.0);
    fx.SetParameter(kPower, 0.0);
    const std::vector<std::uint8_t> state = fx.SaveState();
    ASSERT_EQ(state.size(), 8u + 11u * 8u);

    // A host keeps more after the component's bytes: reading stops at ours.
    Vst3TestInstance other;
    Start(other);
    std::vector<std::uint8_t> longer = state;
    longer.insert(longer.end(), {'C', 'o', 'n', 't'});
    HostStream stream(longer);
    ASSERT_EQ(other.Component()->setState(&stream), kResultOk);
    std::int64_t at = 0;
    stream.tell(&at);
    EXPECT_EQ(at, static_cast<std::int64_t>(state.size()));
    EXPECT_EQ(other.SaveState(), state);
    EXPECT_DOUBLE_EQ(other.GetParameter(kMode), 1.0);  // the controller follows the component
    EXPECT_DOUBLE_EQ(other.GetParameter(kPower), 0.0);

    // Refused, with every value (audio and controller) as it was.
    std::vector<std::uint8_t> headerless(state.begin() + 8, state.end());
    std::vector<std::uint8_t> foreign = {'P', 'G', 'N', '1', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F};
    foreign.resize(state.size(), 0);
    std::vector<std::vector<std::uint8_t>> bad = {
        {},      {state.begin(), state.begin() + 50}, {state.begin(), state.end() - 1}, headerless,
        foreign, std::vector<std::uint8_t>(200, 0xFF)};
    Vst3TestInstance fresh;
    Start(fresh);
    const std::vector<std::uint8_t> before = fresh.SaveState();
    for (std::size_t i = 0; i < bad.size(); ++i) {
        HostStream s(bad[i]);
        EXPECT_EQ(fresh.Component()->setState(&s), kResultFalse) << i;
        HostStream t(bad[i]);
        EXPECT_EQ(fresh.Controller()->setComponentState(&t), kResultFalse) << i;
        EXPECT_EQ(fresh.SaveState(), before) << i;
        EXPECT_DOUBLE_EQ(fresh.GetParameter(kPower), 1.0) << i;
    }
    EXPECT_EQ(fresh.Component()->setState(nullptr), kResultFalse);
    EXPECT_NE(fresh.Component()->getState(nullptr), kResultOk);

    // The controller's own state holds nothing and takes anything.
    HostStream empty;
    EXPECT_EQ(fresh.Controller()->getState(&empty), kResultOk);
    EXPECT_TRUE(empty.Bytes().empty());
    HostStream junk(std::vector<std::uint8_t>(5, 1));
    EXPECT_EQ(fresh.Controller()->setState(&junk), kResultOk);

    // setComponentState moves the controller's values only.
    HostStream sync(state);
    ASSERT_EQ(fresh.Controller()->setComponentState(&sync), kResultOk);
    EXPECT_DOUBLE_EQ(fresh.GetParameter(kPresComp), 0.25);
    EXPECT_EQ(fresh.SaveState(), before);
}

// The latency is the core's at the rate set up; a set-up that changes it
// tells the host once, with restartComponent, after the call.
TEST_F(Vst3Plugin, LatencyIsTheCoresAtEveryRateAndAChangeIsAnnounced) {
    Vst3TestInstance fx;
    std::string error;
    ASSERT_TRUE(fx.Start(44100.0, kBlock, 2, error)) << error;
    int last = static_cast<int>(fx.Processor()->getLatencySamples());
    for (double rate : {96000.0, 48000.0, 48000.0, 44100.0}) {
        PluginExporter core(CreatePluginInstance(), nullptr);
        core.SetSampleRate(rate);
        core.SetActive(true);
        fx.Handler().Reset();
        fx.Suspend();
        ProcessSetup setup{kRealtime, kSample32, kBlock, rate};
        ASSERT_EQ(fx.Processor()->setupProcessing(&setup), kResultOk);
        fx.Resume();
        const int latency = static_cast<int>(fx.Processor()->getLatencySamples());
        EXPECT_EQ(latency, core.Latency()) << rate;
        const std::vector<HandlerCall> calls = fx.Handler().Calls();
        EXPECT_EQ(calls.size(), latency != last ? 1u : 0u) << rate;
        if (!calls.empty()) {
            EXPECT_EQ(calls[0].kind, HandlerCall::kRestart);
            EXPECT_EQ(calls[0].flags, kLatencyChanged);
        }
        last = latency;
    }
    EXPECT_GT(last, 0);
    EXPECT_EQ(fx.Processor()->getTailSamples(), 0u);
}

// In place, without some buffers, longer than announced, as a 64-bit set-up:
// the same audio as the core, and nothing written where it must not be.
TEST_F(Vst3Plugin, BuffersHostsReallyPass) {
    const int frames = 3 * kBlock + 17;
    auto in = Input<double>(2, frames);
    Core core(2);
    std::vector<std::vector<double>> expected(2, std::vector<double>(frames));
    core.exporter.Process(Pointers(in).data(), 2, Pointers(expected).data(), 2, 0, frames);

    {
        SCOPED_TRACE("64-bit set-up, in place, one long block");
        Vst3TestInstance fx;
        Start(fx, 2, kSample64);
        std::vector<std::vector<double>> io = in;
        fx.Process(Pointers(io).data(), Pointers(io).data(), frames);
        EXPECT_EQ(io, expected);
    }
    {
        SCOPED_TRACE("32-bit, in place");
        Vst3TestInstance fx;
        Start(fx);
        Core floats(2);
        auto a = Input<float>(2, kBlock);
        auto b = a;
        std::vector<std::vector<float>> ref(2, std::vector<float>(kBlock));
        fx.Process(Pointers(a).data(), Pointers(a).data(), kBlock);
        floats.exporter.Process(Pointers(b).data(), 2, Pointers(ref).data(), 2, 0, kBlock);
        EXPECT_EQ(a, ref);
    }
    {
        SCOPED_TRACE("no input bus, null output channels, no parameter lists");
        Vst3TestInstance fx;
        Start(fx);
        std::vector<float> out(kBlock, 7.0f);
        float* outs[2] = {out.data(), nullptr};
        AudioBusBuffers bus{};
        bus.numChannels = 2;
        bus.channelBuffers32 = outs;
        ProcessData data{};
        data.symbolicSampleSize = kSample32;
        data.numSamples = kBlock;
        data.numOutputs = 1;
        data.outputs = &bus;
        EXPECT_EQ(fx.Processor()->process(&data), kResultOk);
        for (float x : out) ASSERT_EQ(x, 0.0f);  // silence in, silence out
        AudioBusBuffers nullBus{};
        nullBus.numChannels = 2;
        data.outputs = &nullBus;
        EXPECT_EQ(fx.Processor()->process(&data), kResultOk);
        EXPECT_EQ(fx.Processor()->process(nullptr), kInvalidArgument);
    }
}

TEST_F(Vst3Plugin, TwoInstancesKeepTheirOwnSettingsAndAudio) {
    Vst3TestInstance a, b;
    Start(a);
    Start(b, 1);
    a.SetParameter(kDbOutput, 0.2);
    Core coreA(2), coreB(1);
    coreA.exporter.SetParameterNormalized(kDbOutput, 0.2);
    auto in = Input<float>(2, kBlock);
    std::vector<std::vector<float>> outA(2, std::vector<float>(kBlock)), outB(1, std::vector<float>(kBlock));
    auto refA = outA, refB = outB;
    for (int round = 0; round < 3; ++round) {
        a.Process(Pointers(in).data(), Pointers(outA).data(), kBlock);
        b.Process(Pointers(in).data(), Pointers(outB).data(), kBlock);
        coreA.exporter.Process(Pointers(in).data(), 2, Pointers(refA).data(), 2, 0, kBlock);
        coreB.exporter.Process(Pointers(in).data(), 1, Pointers(refB).data(), 1, 0, kBlock);
        EXPECT_EQ(outA, refA) << round;
        EXPECT_EQ(outB, refB) << round;
    }
    EXPECT_DOUBLE_EQ(b.GetParameter(kDbOutput), 0.6);
}

}  // namespace
