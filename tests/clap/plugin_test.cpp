// Velmor.clap through its real clap_entry, as CLAP hosts drive it: the
// entry's counting, the descriptor, a host that offers nothing, ports and
// the mono configuration, parameters and their texts, automation at its
// samples, state through short streams, latency, and two instances side by
// side. Expected values come from the parameter table, the gain law
// 10^(dB/20) and the in-process core (core/exporter.h) as the reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "tests/clap/clap_fixture.h"

namespace {

constexpr clap_id kPresComp = 0, kDbOutput = 6, kPower = 7, kMode = 8;

#if defined(_WIN32)
constexpr const char* kOwnApi = "win32";
constexpr const char* kOtherApi = "x11";
#else
constexpr const char* kOwnApi = "x11";
constexpr const char* kOtherApi = "win32";
#endif

// Samples that differ in [from, to) of every channel; -1 when the shapes do.
int Differing(const Audio& a, const Audio& b, std::size_t from = 0, std::size_t to = 1u << 30) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (std::size_t c = 0; c < a.size(); ++c) {
        if (a[c].size() != b[c].size()) return -1;
        const std::size_t end = std::min(to, a[c].size());
        for (std::size_t i = from; i < end; ++i) n += a[c][i] != b[c][i];
    }
    return n;
}

TEST(ClapEntry, CountsInitAndDeinitAndDescribesTheProduct) {
    const clap_plugin_entry* entry = VelmorModule().Entry();
    const clap_plugin_factory* f = VelmorModule().Factory();
    ASSERT_TRUE(entry && f);
    EXPECT_GE(entry->clap_version.major, 1u);
    EXPECT_EQ(entry->get_factory("clap.preset-discovery-factory/2"), nullptr);
    EXPECT_EQ(entry->get_factory(nullptr), nullptr);

    // The module's own init is the first; a second one nests.
    ASSERT_TRUE(entry->init(VELMOR_CLAP_PATH));
    entry->deinit();
    ASSERT_EQ(f->get_plugin_count(f), 1u);
    const clap_plugin_descriptor* d = f->get_plugin_descriptor(f, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(f->get_plugin_descriptor(f, 1), nullptr);
    EXPECT_STREQ(d->id, "com.trelowen.orvane");
    EXPECT_STREQ(d->name, "Orvane");
    EXPECT_STREQ(d->vendor, "Trelowen");
    EXPECT_STREQ(d->version, "1.1.0");
    EXPECT_EQ(d->clap_version.major, 1u);
    for (const char* text : {d->url, d->manual_url, d->support_url, d->description}) EXPECT_NE(text, nullptr);
    std::vector<std::string> features;
    for (const char* const* p = d->features; p && *p; ++p) features.push_back(*p);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "compressor", "limiter", "mono", "stereo"}));

    ClapHostContext host("test");
    EXPECT_EQ(f->create_plugin(f, host.Host(), "com.trelowen.other"), nullptr);
    EXPECT_EQ(f->create_plugin(f, host.Host(), nullptr), nullptr);
    EXPECT_EQ(f->create_plugin(f, nullptr, d->id), nullptr);

    // The last deinit lets go of the descriptor; a deinit too many changes
    // nothing; the next init makes it again.
    entry->deinit();
    EXPECT_EQ(f->get_plugin_count(f), 0u);
    EXPECT_EQ(f->create_plugin(f, host.Host(), "com.trelowen.orvane"), nullptr);
    entry->deinit();
    ASSERT_TRUE(entry->init(VELMOR_CLAP_PATH));
    EXPECT_EQ(f->get_plugin_count(f), 1u);
    ClapInstance instance(host);
    EXPECT_STREQ(instance->desc->id, "com.trelowen.orvane");
}

// A scanning host offers no extension at all: everything still answers,
// and the editor is refused only where nothing could drive it.
TEST(ClapPlugin, AHostOfferingNothingGetsAnAnswerToEverything) {
    ClapHostContext host("scanner");
    host.OfferExtensions(false);
    ClapInstance p(host);
    EXPECT_EQ(p.Extension<void>("clap.note-ports"), nullptr);
    EXPECT_EQ(p.Params()->count(p.Get()), 11u);
    const auto* gui = p.Extension<clap_plugin_gui>(kClapExtGui);
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(gui->is_api_supported(p.Get(), kOwnApi, false));
    EXPECT_FALSE(gui->is_api_supported(p.Get(), kOwnApi, true));
    EXPECT_FALSE(gui->is_api_supported(p.Get(), kOtherApi, false));
#if !defined(_WIN32)
    EXPECT_FALSE(gui->create(p.Get(), kOwnApi, false));  // no host timer to paint by
#endif
    EXPECT_EQ(p.Save().size(), 8u + 11u * 8u);
    ASSERT_TRUE(p.Start());
    p.Render(TestSignal(2, 1024));
    p.Set(kPresComp, 3.0);
    EXPECT_EQ(p.Value(kPresComp), 3.0);
}

TEST(ClapPlugin, StereoPortsAndAMonoConfiguration) {
    ClapHostContext host("test");
    ClapInstance p(host);
    const auto* ports = p.Extension<clap_plugin_audio_ports>(kClapExtAudioPorts);
    const auto* configs = p.Extension<clap_plugin_audio_ports_config>(kClapExtAudioPortsConfig);
    ASSERT_TRUE(ports && configs);
    ASSERT_EQ(configs->count(p.Get()), 2u);
    struct Case {
        clap_id config;
        std::uint32_t channels;
        const char* type;
    };
    for (const Case& c : {Case{1, 1, "mono"}, Case{0, 2, "stereo"}}) {
        clap_audio_ports_config config{};
        ASSERT_TRUE(configs->get(p.Get(), c.config, &config));
        EXPECT_EQ(config.id, c.config);
        EXPECT_EQ(config.main_input_channel_count, c.channels);
        EXPECT_STREQ(config.main_output_port_type, c.type);
        ASSERT_TRUE(configs->select(p.Get(), c.config));
        for (bool input : {true, false}) {
            ASSERT_EQ(ports->count(p.Get(), input), 1u);
            clap_audio_port_info info{};
            ASSERT_TRUE(ports->get(p.Get(), 0, input, &info));
            EXPECT_EQ(info.channel_count, c.channels);
            EXPECT_STREQ(info.port_type, c.type);
            EXPECT_EQ(info.flags & (kClapAudioPortIsMain | kClapAudioPortSupports64Bits),
                      kClapAudioPortIsMain | kClapAudioPortSupports64Bits);
            EXPECT_EQ(info.in_place_pair, info.id);
        }
    }
    EXPECT_FALSE(configs->select(p.Get(), 2));
    ASSERT_TRUE(configs->select(p.Get(), 1));
    ASSERT_TRUE(p.Start());
    EXPECT_FALSE(configs->select(p.Get(), 0));  // only while inactive

    // A mono instance handed a stereo buffer: the left runs as the core's
    // mono instance does, the right comes back silent.
    Audio io = TestSignal(2, 2048);
    const Audio in = io;
    io[1].assign(io[1].size(), 7.0f);
    io = p.Render(io);
    PluginExporter core(CreatePluginInstance(), nullptr);
    IEffectBase* c = core.Plugin();
    for (int i = 0; i < c->ParamCount(); ++i) c->OnParameterChange(i);
    c->SetInputConnected(1, false);
    c->SetOutputConnected(1, false);
    core.SetSampleRate(48000.0);
    core.SetBlockSize(512);
    core.SetActive(true);
    std::vector<float> expected = in[0];
    float* channel[1] = {expected.data()};
    core.Process(channel, 1, channel, 1, 0, 2048);
    EXPECT_EQ(io[0], expected);
    EXPECT_EQ(io[1], std::vector<float>(io[1].size(), 0.0f));
}

TEST(ClapPlugin, ParametersTheirRangesAndTexts) {
    ClapHostContext host("test");
    ClapInstance p(host);
    struct Declared {
        const char* name;
        double min, max, def;
        bool stepped;
    } const table[] = {
        {"Pres Comp", -5, 25, 12.5, false}, {"Low Cut", 0, 1, 1, true},    {"Presence", 0, 1, 1, true},
        {"Bass", 0, 0.01, 0, false},        {"Crispy", 0, 0.01, 0, false}, {"Final Comp", 0, 3, 0, false},
        {"Db Output", -30, 20, 0, false},   {"Power", 0, 1, 1, true},      {"Mode", 0, 4, 1, true},
        {"P Limit", 0, 1, 1, true},         {"F Limit", 0, 1, 0, true}};
    ASSERT_EQ(p.Params()->count(p.Get()), 11u);
    for (std::uint32_t i = 0; i < 11; ++i) {
        const clap_param_info info = p.Info(i);
        const Declared& d = table[i];
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, d.name);
        EXPECT_EQ(info.min_value, d.min) << d.name;
        EXPECT_EQ(info.max_value, d.max) << d.name;
        EXPECT_EQ(info.default_value, d.def) << d.name;
        EXPECT_EQ(p.Value(i), d.def) << d.name;
        // Every one automatable (hosts show no other), the switches and
        // Mode stepped choices.
        const std::uint32_t expected =
            kClapParamIsAutomatable | (d.stepped ? kClapParamIsStepped | kClapParamIsEnum : 0u);
        EXPECT_EQ(info.flags, expected) << d.name;
    }
    clap_param_info info{};
    EXPECT_FALSE(p.Params()->get_info(p.Get(), 11, &info));
    double v = 0;
    EXPECT_FALSE(p.Params()->get_value(p.Get(), 11, &v));

    // Texts as the VST 2.4 build shows them; typed text read back.
    struct Shown {
        clap_id id;
        double value;
        const char* text;
    } const shown[] = {{kPresComp, 12.5, "12.50"},
                       {kDbOutput, -7.25, "-7.25"},
                       {kPower, 0, "off"},
                       {kPower, 1, "on"},
                       {kMode, 0, "A"},
                       {kMode, 4, "D"}};
    for (const Shown& s : shown) {
        char text[64] = {};
        ASSERT_TRUE(p.Params()->value_to_text(p.Get(), s.id, s.value, text, sizeof text));
        EXPECT_STREQ(text, s.text);
    }
    char tiny[3] = {'x', 'x', 'x'};
    ASSERT_TRUE(p.Params()->value_to_text(p.Get(), kPresComp, 12.5, tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "12");
    EXPECT_FALSE(p.Params()->value_to_text(p.Get(), 11, 0.0, tiny, sizeof tiny));
    EXPECT_FALSE(p.Params()->value_to_text(p.Get(), kPresComp, std::nan(""), tiny, sizeof tiny));
    struct Typed {
        clap_id id;
        const char* text;
        bool read;
        double value;
    } const typed[] = {
        {kPresComp, "7", true, 7.0},      {kPresComp, "7.5 dB", true, 7.5}, {kPresComp, "99", true, 25.0},
        {kDbOutput, "-inf", true, -30.0}, {kPower, "off", true, 0.0},       {kMode, "C", true, 3.0},
        {kMode, "E", false, 0.0},         {kMode, "3", false, 0.0},         {kPresComp, "loud", false, 0.0},
        {kPresComp, "nan", false, 0.0},   {kPresComp, "", false, 0.0},      {11, "1", false, 0.0}};
    for (const Typed& t : typed) {
        double value = -1.0;
        EXPECT_EQ(p.Params()->text_to_value(p.Get(), t.id, t.text, &value), t.read) << t.text;
        if (t.read) {
            EXPECT_EQ(value, t.value) << t.text;
        }
    }
    EXPECT_FALSE(p.Params()->text_to_value(p.Get(), kPresComp, nullptr, &v));

    // Values from the host: plain values kept exactly, stepped ones at the
    // nearest step, out of range ones clamped, NaN and unknown ids ignored.
    struct Sent {
        clap_id id;
        double value, kept;
    } const sent[] = {{kPresComp, 7.123456789, 7.123456789},
                      {kDbOutput, 1e9, 20.0},
                      {kMode, 2.6, 3.0},
                      {kPower, 0.4, 0.0},
                      {kPresComp, std::nan(""), 7.123456789}};
    for (const Sent& s : sent) {
        p.Set(s.id, s.value);
        EXPECT_EQ(p.Value(s.id), s.kept) << s.id;
    }
    p.Set(11, 1.0);
}

// An event at sample t changes the output from sample t on and not before,
// exactly as the same value set between two blocks that meet at t; events
// of other spaces change nothing, and every parameter event is global
// whatever note, port or channel it names.
TEST(ClapPlugin, AutomationAppliesAtTheEventsSample) {
    constexpr std::uint32_t kBlock = 512;
    const Audio in = TestSignal(2, 2 * kBlock);
    ClapHostContext host("test");
    ClapInstance plain(host);
    ASSERT_TRUE(plain.Start());
    const Audio untouched = plain.Render(in);

    struct Case {
        std::uint32_t time;    // the event's time in the second block
        std::uint32_t starts;  // where the change is heard, in that block
        std::uint16_t space;
        std::int32_t noteId;
    };
    const Case cases[] = {{0, 0, 0, -1},     {1, 1, 0, -1},        {300, 300, 0, 0},
                          {511, 511, 0, -1}, {900, kBlock, 0, -1}, {200, kBlock, 1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        ClapInstance p(host);
        ASSERT_TRUE(p.Start());
        Audio io = in;
        p.Process(io, 0, kBlock, ClapInputEvents());
        clap_event_param_value e{};
        e.header = {sizeof e, c.time, c.space, kClapEventParamValue, 0};
        e.param_id = kDbOutput;
        e.note_id = c.noteId;
        e.port_index = static_cast<std::int16_t>(c.noteId);
        e.channel = -1;
        e.key = -1;
        e.value = -30.0;
        ClapInputEvents events;
        events.Add(e.header);
        p.Process(io, kBlock, kBlock, events);
        EXPECT_EQ(Differing(io, untouched, 0, kBlock + c.starts), 0);
        if (c.starts == kBlock) {
            EXPECT_EQ(p.Value(kDbOutput), c.space == 0 ? -30.0 : 0.0);
            continue;
        }
        EXPECT_NE(io[0][kBlock + c.starts], untouched[0][kBlock + c.starts]);
        // The reference: two blocks that meet at the event.
        ClapInstance split(host);
        ASSERT_TRUE(split.Start());
        Audio ref = in;
        split.Process(ref, 0, kBlock + c.starts, ClapInputEvents());
        ClapInputEvents atStart;
        atStart.AddValue(kDbOutput, -30.0);
        split.Process(ref, kBlock + c.starts, kBlock - c.starts, atStart);
        EXPECT_EQ(Differing(io, ref), 0);
    }
}

TEST(ClapPlugin, StateThroughOneByteStreamsAndBadStatesChangeNothing) {
    ClapHostContext host("test");
    ClapInstance a(host);
    a.Set(kPresComp, 3.25);
    a.Set(kMode, 4);
    a.Set(kPower, 0);
    const std::vector<std::uint8_t> state = a.Save();
    ASSERT_EQ(state.size(), 8u + 11u * 8u);
    EXPECT_EQ(a.Save(1), state);
    ClapOutputStream failing(3, 40);
    EXPECT_FALSE(a.Extension<clap_plugin_state>(kClapExtState)->save(a.Get(), failing.Stream()));

    // Loaded while active, as one host loads a session: the values at once,
    // and the host is asked to read them again.
    ClapInstance b(host);
    ASSERT_TRUE(b.Start());
    host.paramRescanFlags = 0;
    ASSERT_TRUE(b.Load(state, 1));
    EXPECT_EQ(host.paramRescanFlags.load(), kClapParamRescanValues | kClapParamRescanText);
    for (clap_id id = 0; id < 11; ++id) EXPECT_EQ(b.Value(id), a.Value(id)) << id;
    EXPECT_EQ(b.Save(), state);

    ClapInstance c(host);
    const std::vector<std::uint8_t> before = c.Save();
    host.paramRescanFlags = 0;
    const std::vector<std::uint8_t> cut(state.begin(), state.end() - 1);
    const std::vector<std::uint8_t> garbage = {'n', 'o', 't', ' ', 'o', 'u', 'r', 's'};
    for (const auto& bad : {cut, garbage, std::vector<std::uint8_t>()}) EXPECT_FALSE(c.Load(bad, 1));
    ClapInputStream broken(state, 5, 50);  // an error half way
    EXPECT_FALSE(c.Extension<clap_plugin_state>(kClapExtState)->load(c.Get(), broken.Stream()));
    EXPECT_EQ(c.Save(), before);
    EXPECT_EQ(c.Value(kPresComp), 12.5);
    EXPECT_EQ(host.paramRescanFlags.load(), 0u);
}

// The latency is the core's at every rate, and the host hears of a change
// only when it differs from what the host was told: a host that never
// asked hears nothing.
TEST(ClapPlugin, LatencyIsTheCoresAndIsReportedOnlyWhenItChanges) {
    ClapHostContext host("test");
    PluginExporter core(CreatePluginInstance(), nullptr);
    for (bool askFirst : {false, true}) {
        SCOPED_TRACE(askFirst ? "asked before activation" : "never asked before activation");
        host.latencyChanges = 0;
        ClapInstance p(host);
        const auto* latency = p.Extension<clap_plugin_latency>(kClapExtLatency);
        ASSERT_NE(latency, nullptr);
        int told = askFirst ? static_cast<int>(latency->get(p.Get())) : -1;
        int expectedReports = 0;
        for (double rate : {44100.0, 96000.0, 96000.0, 48000.0, 8000.0}) {
            core.SetSampleRate(rate);
            ASSERT_TRUE(p.Start(rate));
            expectedReports += told >= 0 && core.Latency() != told;
            EXPECT_EQ(host.latencyChanges.load(), expectedReports) << rate;
            told = static_cast<int>(latency->get(p.Get()));
            EXPECT_EQ(told, core.Latency()) << rate;
            p.Stop();
        }
        EXPECT_GT(expectedReports, 0);
    }
    EXPECT_EQ(host.restartRequests.load(), 0);
}

// Two instances of one module keep their own settings, state and audio.
TEST(ClapPlugin, TwoInstancesKeepTheirOwnSettingsAndAudio) {
    const Audio in = TestSignal(2, 4096);
    ClapHostContext host("test");
    ClapInstance loud(host);
    loud.Set(kMode, 2);
    ASSERT_TRUE(loud.Start());
    const Audio alone = loud.Render(in);

    ClapInstance a(host);
    ClapInstance b(host);
    a.Set(kMode, 2);
    b.Set(kDbOutput, -12.0);
    ASSERT_TRUE(a.Start() && b.Start());
    Audio outA = in, outB = in;
    for (std::uint32_t done = 0; done < 4096; done += 256) {
        a.Process(outA, done, 256, ClapInputEvents());
        b.Process(outB, done, 256, ClapInputEvents());
    }
    EXPECT_EQ(outA, alone);
    EXPECT_NE(outB, alone);
    EXPECT_EQ(b.Value(kMode), 1.0);
    EXPECT_EQ(a.Value(kDbOutput), 0.0);
    EXPECT_NE(a.Save(), b.Save());
}

}  // namespace
