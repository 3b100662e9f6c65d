// Host identification and the requests the adapter makes of the host.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "tests/vst/probe_effect.h"
#include "vst/host_names.h"
#include "vst/version_number.h"

namespace {

class HostServices : public ::testing::Test {
protected:
    void SetUp() override { TestHost::Get().Reset(); }
    VstTimeInfo Time(VstInt32 flags) {
        VstTimeInfo t{};
        t.flags = flags;
        return t;
    }
    VstIntPtr LastFilter() {
        const auto calls = TestHost::Get().Calls();
        return calls.empty() ? -1 : calls.back().value;
    }
};

TEST(HostNames, FirstTableEntryContainedAnywhereDecides) {
    struct Row {
        const char* product;
        int id;
    } rows[] = {
        {"Cubase", 3},
        {"Nuendo 4", 4},
        {"Cubase and Nuendo", 3},
        {"NUENDO with cubase", 3},
        {"REAPER", 1},
        {"Ableton Live", 9},
        {"Digital Performer", 23},
        {"Logic Pro", 21},
        {"Pro Tools", 0},
        {"ProTools", 2},
        {"Ardour", 28},
        {"Audacity", 0},
        {"Standalone Live", 9},
        {"digital presonus", 23},
        {"VST3PluginTestHost", 27},
        {"", 0},
        {"Fruity Loops Studio", 7},
        {"cakewalk sonar", 5},
        {"Samplitude", 8},
        {"GarageBand Forte", 22},
    };
    for (const Row& r : rows) EXPECT_EQ(HostIdFromProductName(r.product), r.id) << r.product;
    EXPECT_EQ(HostIdFromProductName(nullptr), 0);
    ASSERT_EQ(HostNameTableSize(), 24);
    EXPECT_STREQ(HostNameTable()[0].text, "cubase");
    EXPECT_STREQ(HostNameTable()[23].text, "standalone");
}

TEST(VersionNumbers, DecimalAndPackedForms) {
    EXPECT_EQ(PackedFromDecimalVersion(50102), 0x050102);
    EXPECT_EQ(PackedFromDecimalVersion(900), 0x000900);
    EXPECT_EQ(PackedFromDecimalVersion(2000), 0x001400);
    EXPECT_EQ(PackedFromDecimalVersion(0), 0);
    EXPECT_EQ(PackedFromDecimalVersion(-7), 0);
    // 50463744 = major 5046, minor 37, fix 44 (a real host's answer).
    EXPECT_EQ(PackedFromDecimalVersion(50463744), (5046 << 16) | (37 << 8) | 44);
    EXPECT_EQ(DecimalFromPackedVersion(0x10100), 10100);
    EXPECT_EQ(DecimalFromPackedVersion(0x050102), 50102);
}

TEST_F(HostServices, IdentifiesTheHostOnce) {
    TestHost::Get().SetProductString("Steinberg CUBASE");
    TestHost::Get().SetVendorVersion(50102);
    ProbeEffect p;
    p.Dispatch(effOpen);
    p.Dispatch(effOpen);
    EXPECT_EQ(p->HostId(), 3);
    EXPECT_EQ(p->HostVersion(), 0x050102);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterGetProductString), 1);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterGetVendorVersion), 1);

    TestHost::Get().Reset();
    TestHost::Get().SetProductString("");
    TestHost::Get().SetVendorVersion(50102);
    ProbeEffect q;
    EXPECT_EQ(q->IdentifyHost(), 0);
    EXPECT_EQ(q->HostVersion(), 0);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterGetVendorVersion), 0);
}

TEST_F(HostServices, SamplePositionTempoAndSignature) {
    ProbeEffect p;
    EXPECT_EQ(p->HostSamplePosition(), 0);  // no record
    struct Pos {
        double samplePos;
        int expected;
    } positions[] = {{1023.6, 1024}, {1023.4, 1023}, {-5.0, 0}, {0.0, 0}, {1e12, INT_MAX}};
    for (const Pos& row : positions) {
        VstTimeInfo t = Time(0);
        t.samplePos = row.samplePos;
        TestHost::Get().SetTimeInfo(&t);
        EXPECT_EQ(p->HostSamplePosition(), row.expected) << row.samplePos;
        EXPECT_EQ(LastFilter(), 0);
    }
    struct Tempo {
        VstInt32 flags;
        double tempo, expected;
    } tempos[] = {
        {kVstTempoValid, 120.0, 120.0}, {kVstTempoValid, 0.0, 0.0}, {0, 120.0, 0.0}, {kVstTempoValid, -1.0, 0.0}};
    for (const Tempo& row : tempos) {
        VstTimeInfo t = Time(row.flags);
        t.tempo = row.tempo;
        TestHost::Get().SetTimeInfo(&t);
        EXPECT_EQ(p->HostTempo(), row.expected);
        EXPECT_EQ(LastFilter(), kVstTempoValid);
    }
    struct Sig {
        VstInt32 flags, num, den, expNum, expDen;
    } sigs[] = {{kVstTimeSigValid, 3, 4, 3, 4},
                {kVstTimeSigValid, 0, 4, 0, 4},
                {0, 3, 4, 0, 0},
                {kVstTimeSigValid, -3, 4, 0, 0}};
    for (const Sig& row : sigs) {
        VstTimeInfo t = Time(row.flags);
        t.timeSigNumerator = row.num;
        t.timeSigDenominator = row.den;
        TestHost::Get().SetTimeInfo(&t);
        int num = 99, den = 99;
        p->HostTimeSignature(&num, &den);
        EXPECT_EQ(num, row.expNum);
        EXPECT_EQ(den, row.expDen);
        EXPECT_EQ(LastFilter(), kVstTimeSigValid);
    }
}

TEST_F(HostServices, TimeInfoCopiesOnlyValidFields) {
    ProbeEffect p;
    const ITimeInfo sentinel{7, 7, 7, 7, 7, 7, 7, 7, true, true};
    ITimeInfo info = sentinel;
    VstTimeInfo t = Time(kVstTransportPlaying);  // none of 0x3e00: untouched
    t.samplePos = 100;
    TestHost::Get().SetTimeInfo(&t);
    p->HostTimeInfo(&info);
    EXPECT_EQ(info.samplePosition, 7);
    EXPECT_TRUE(info.transportLooping);
    EXPECT_EQ(LastFilter(), 0x3e00);

    // Everything valid, but tempo 0, numerator 0 and a negative cycle end
    // fail the full record's tests and keep the caller's values.
    t = Time(0x3e00 | kVstTransportPlaying);
    t.samplePos = 100;
    t.ppqPos = 2;
    t.tempo = 0;
    t.barStartPos = 1;
    t.cycleStartPos = 3;
    t.cycleEndPos = -1;
    t.timeSigNumerator = 0;
    t.timeSigDenominator = 4;
    TestHost::Get().SetTimeInfo(&t);
    p->HostTimeInfo(&info);
    EXPECT_EQ(info.samplePosition, 100);
    EXPECT_EQ(info.ppqPosition, 2);
    EXPECT_EQ(info.tempo, 7);
    EXPECT_EQ(info.lastBar, 1);
    EXPECT_EQ(info.cycleStart, 7);
    EXPECT_EQ(info.numerator, 7);
    EXPECT_EQ(info.denominator, 7);
    EXPECT_TRUE(info.transportPlaying);
    EXPECT_FALSE(info.transportLooping);

    TestHost::Get().SetTimeInfo(nullptr);
    info = sentinel;
    p->HostTimeInfo(&info);
    EXPECT_EQ(info.samplePosition, 7);
}

TEST_F(HostServices, NotificationsAndProcessLevel) {
    ProbeEffect p;
    p->BeginEditGesture(1);
    p->NotifyHostOfValue(1, 0.25);
    p->EndEditGesture(1);
    p->NotifyHostDisplayChanged();
    const auto calls = TestHost::Get().Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, 1);
    EXPECT_EQ(calls[1].opt, 0.25f);
    EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(calls[3].opcode, audioMasterUpdateDisplay);
    TestHost::Get().SetProcessLevel(kVstProcessLevelOffline);
    EXPECT_TRUE(p->IsOfflineRender());
    TestHost::Get().SetProcessLevel(kVstProcessLevelRealtime);
    EXPECT_FALSE(p->IsOfflineRender());

    const std::uint8_t dump[3] = {0xf0, 0x7e, 0xf7};
    EXPECT_TRUE(p->SendSysExToHost(ISysExMessage{5, 3, dump}));
    TestHost::Get().SetProcessEventsAnswer(0);
    EXPECT_FALSE(p->SendSysExToHost(ISysExMessage{5, 3, dump}));
    const auto sent = TestHost::Get().SentEvents();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].type, kVstSysExType);
    EXPECT_EQ(sent[0].byteSize, 48);
    EXPECT_EQ(sent[0].dumpBytes, 3);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(sent[0].sysexDump), dump);
}

}  // namespace
