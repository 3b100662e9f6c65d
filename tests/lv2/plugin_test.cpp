// The built velmor.lv2 bundle through lilv, as LV2 hosts load it: the
// metadata against the plug-in's own parameter table, the features it
// needs, state of the wrong kind refused, any block split giving the same
// audio, and two instances that do not share settings. (The conformance
// tests in tests/formats hold it to the other formats' sound and state.)
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "lv2/lilv_host.h"
#include "lv2/port_layout.h"
#include "lv2/velmor_lv2_ids.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kMaxBlock = 512;
constexpr std::uint32_t kPresComp = 0, kDbOutput = 6, kPower = 7, kMode = 8;

struct Loaded {
    Lv2Plugin plugin;
    explicit Loaded(const char* uri, double rate = kRate) {
        std::string error;
        EXPECT_TRUE(plugin.Load(VELMOR_LV2_BUNDLE, uri, rate, kMaxBlock, error)) << error;
        plugin.Activate();
    }
};

// frames frames of a test tone through p in blocks of the given lengths
// (cycled), channel-major.
std::vector<std::vector<float>> Render(Lv2Plugin& p, int frames, const std::vector<int>& blocks) {
    const int channels = static_cast<int>(p.AudioInputs().size());
    std::vector<std::vector<float>> in(channels, std::vector<float>(frames)), out = in;
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
            in[c][i] = static_cast<float>(0.8 * std::sin(0.013 * i * (c + 1)) * std::sin(0.0007 * i));
    std::size_t b = 0;
    for (int done = 0; done < frames;) {
        const int n = std::min(blocks[b++ % blocks.size()], frames - done);
        const float* ins[2] = {};
        float* outs[2] = {};
        for (int c = 0; c < channels; ++c) {
            ins[c] = in[c].data() + done;
            outs[c] = out[c].data() + done;
        }
        p.Run(ins, outs, n);
        done += n;
    }
    return out;
}

TEST(Lv2Plugin, MetadataFollowsTheParameterTable) {
    PluginExporter core(CreatePluginInstance(), nullptr);
    const IEffectBase& v = *core.Plugin();
    for (int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        Loaded l(channels == 2 ? kVelmorLv2StereoUri : kVelmorLv2MonoUri);
        Lv2Plugin& p = l.plugin;
        EXPECT_EQ(p.Name(), std::string(v.EffectName()) + (channels == 1 ? " Mono" : ""));
        EXPECT_EQ(p.Author(), v.MakerName());
        // Nothing beyond URID mapping is required.
        LilvNodes* required = lilv_plugin_get_required_features(p.Plugin());
        ASSERT_EQ(lilv_nodes_size(required), 1u);
        EXPECT_STREQ(lilv_node_as_uri(lilv_nodes_get_first(required)), LV2_URID__map);
        lilv_nodes_free(required);

        Lv2PortLayout layout{v.ParamCount(), channels};
        ASSERT_EQ(p.Ports().size(), layout.Count());
        ASSERT_EQ(p.ControlInputs().size(), static_cast<std::size_t>(v.ParamCount()));
        for (int i = 0; i < v.ParamCount(); ++i) {
            const IParameter& param = *v.GetParam(i);
            const Lv2PortInfo& port = p.Ports()[static_cast<std::size_t>(i)];
            SCOPED_TRACE(param.Name());
            EXPECT_EQ(port.type, Lv2PortInfo::Type::kControl);
            EXPECT_TRUE(port.input);
            EXPECT_EQ(port.symbol, Lv2Symbol(param.Name()));
            EXPECT_EQ(port.name, param.Name());
            EXPECT_EQ(port.min, static_cast<float>(param.Min()));
            EXPECT_EQ(port.max, static_cast<float>(param.Max()));
            EXPECT_EQ(port.def, static_cast<float>(param.Default()));
            EXPECT_EQ(port.toggled, param.Type() == kParamBool);
            EXPECT_EQ(port.integer, param.Type() == kParamInt);
            EXPECT_EQ(port.unit, param.Label());
            EXPECT_EQ(port.enabled, static_cast<std::uint32_t>(i) == kPower);
        }
        const Lv2PortInfo& mode = p.Ports()[kMode];
        EXPECT_TRUE(mode.enumeration);
        std::vector<std::string> labels;
        for (const auto& point : mode.scalePoints) labels.push_back(point.second);
        EXPECT_EQ(labels, (std::vector<std::string>{"A", "A", "B", "C", "D"}));
        EXPECT_EQ(p.LatencyPort(), static_cast<int>(layout.Latency()));
        EXPECT_EQ(p.Ports()[layout.Meter(0)].symbol, "drive_meter");
        EXPECT_EQ(p.AudioInputs().size(), static_cast<std::size_t>(channels));
        EXPECT_EQ(p.AudioOutputs().size(), static_cast<std::size_t>(channels));
        std::string ui;
        EXPECT_TRUE(Lv2Ui(p).Available());
    }
}

TEST(Lv2Plugin, LatencyPortReportsTheCoresLatencyAtEveryRate) {
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        Loaded l(kVelmorLv2StereoUri, rate);
        l.plugin.Run(nullptr, nullptr, 0);
        PluginExporter core(CreatePluginInstance(), nullptr);
        core.SetSampleRate(rate);
        EXPECT_EQ(l.plugin.Control(static_cast<std::uint32_t>(l.plugin.LatencyPort())), core.Latency()) << rate;
        EXPECT_GT(core.Latency(), 0);
    }
}

TEST(Lv2Plugin, AStateOfTheWrongKindOrShapeIsRefusedAndChangesNothing) {
    Loaded l(kVelmorLv2StereoUri);
    Lv2Plugin& p = l.plugin;
    p.SetControl(kPresComp, 20.0f);
    p.Run(nullptr, nullptr, 0);
    std::vector<Lv2StateProperty> saved;
    std::string error;
    ASSERT_TRUE(p.SaveProperties(saved, error)) << error;
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].key, kVelmorLv2ChunkUri);
    EXPECT_EQ(saved[0].type, LV2_ATOM__Chunk);
    EXPECT_EQ(saved[0].flags & LV2_STATE_IS_PORTABLE, LV2_STATE_IS_PORTABLE);

    Lv2StateProperty wrongType = saved[0];
    wrongType.type = LV2_ATOM__String;
    Lv2StateProperty wrongKey = saved[0];
    wrongKey.key = "urn:other:key";
    Lv2StateProperty cut = saved[0];
    cut.value.resize(cut.value.size() - 3);
    Lv2StateProperty huge = saved[0];
    huge.value.assign(2u << 20, 0);
    for (const auto& bad : {wrongType, wrongKey, cut, huge}) {
        // Another state in between: a refused one leaves the plug-in as it was.
        EXPECT_FALSE(p.RestoreProperties({bad}, error)) << bad.key << " " << bad.type << " " << bad.value.size();
        std::vector<Lv2StateProperty> now;
        ASSERT_TRUE(p.SaveProperties(now, error));
        EXPECT_EQ(now[0].value, saved[0].value);
    }
    EXPECT_TRUE(p.RestoreProperties(saved, error)) << error;
}

TEST(Lv2Plugin, AnyBlockSplitGivesTheSameAudio) {
    std::vector<std::vector<float>> reference;
    for (const std::vector<int>& blocks : std::vector<std::vector<int>>{{512}, {1}, {7, 500, 0, 64}, {333, 512}}) {
        Loaded l(kVelmorLv2StereoUri);
        l.plugin.SetControl(kDbOutput, 5.0f);
        const auto out = Render(l.plugin, 6000, blocks);
        if (reference.empty()) {
            reference = out;
        } else {
            EXPECT_EQ(out, reference) << blocks.size();
        }
    }
}

TEST(Lv2Plugin, TwoInstancesKeepTheirOwnSettings) {
    Loaded a(kVelmorLv2StereoUri), b(kVelmorLv2StereoUri), quiet(kVelmorLv2StereoUri);
    a.plugin.SetControl(kDbOutput, -30.0f);
    quiet.plugin.SetControl(kDbOutput, -30.0f);
    const auto outA = Render(a.plugin, 2048, {256});
    const auto outB = Render(b.plugin, 2048, {256});
    EXPECT_EQ(outA, Render(quiet.plugin, 2048, {256}));
    EXPECT_NE(outA, outB);
}

}  // namespace
