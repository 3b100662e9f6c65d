// The adapter driven in-process through the record of a probe plug-in whose
// ProcessBlock is known, so every audio value can be worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/vst/probe_effect.h"

namespace {

class Adapter : public ::testing::Test {
protected:
    void SetUp() override { TestHost::Get().Reset(); }
};

// Host buffers: ch channels of n floats, channel c holding base[c] + s / 1024.
struct FloatBlock {
    FloatBlock(int ch, int n, float base = 0.0f) : data(ch, std::vector<float>(n)), ptrs(ch) {
        for (int c = 0; c < ch; ++c) {
            for (int s = 0; s < n; ++s) data[c][s] = base + static_cast<float>(c) + static_cast<float>(s) / 1024.0f;
            ptrs[c] = data[c].data();
        }
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> ptrs;
};

TEST_F(Adapter, RecordAndArrangementsFollowTheChannelString) {
    struct Row {
        const char* io;
        VstInt32 flags, inType, numIn;
    } rows[] = {
        {"1-1 2-2", 0x1018, kSpeakerArrStereo, 2},
        {"2-2", 0x1010, kSpeakerArrStereo, 2},
        {"1-1", 0x1018, kSpeakerArrMono, 1},
        {"4-4", 0x1010, kSpeakerArrUserDefined, 4},
    };
    for (const Row& r : rows) {
        ProbeEffect p(r.io);
        SCOPED_TRACE(r.io);
        EXPECT_EQ(p.Record()->flags, r.flags);
        EXPECT_EQ(p.Record()->numInputs, r.numIn);
        EXPECT_EQ(p.Record()->version, 10203);  // 0x10203 -> 1.2.3
        EXPECT_EQ(p.InputArrangement()->type, r.inType);
        EXPECT_EQ(p.InputArrangement()->numChannels, r.numIn);
        EXPECT_EQ(p->BlockSize(), 1024);
    }
    ProbeEffect p;
    p->ChangeLatency(64);
    EXPECT_EQ(p.Record()->initialDelay, 64);
}

TEST_F(Adapter, EditorOpcodesNeedAnAttachedEditor) {
    ProbeEffect p;
    ERect* rect = nullptr;
    EXPECT_EQ(p.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(p.Dispatch(effEditOpen), 0);
    EXPECT_EQ(p.Dispatch(effEditClose), 0);
    FakeEditor* editor = p->AddEditor();
    EXPECT_EQ(p.Record()->flags, 0x1019);
    EXPECT_EQ(p.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
    ASSERT_EQ(p.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->bottom, 416);
    EXPECT_EQ(rect->right, 456);
    int parent = 0;
    EXPECT_EQ(p.Dispatch(effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(p.Dispatch(effEditOpen), 0);  // no parent window
    editor->canOpen = false;
    EXPECT_EQ(p.Dispatch(effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(p.Dispatch(effEditClose), 1);
    EXPECT_EQ(editor->closes, 1);
}

TEST_F(Adapter, AnEditorWithoutAWindowSystemIsNotOffered) {
    ProbeEffect p;
    FakeEditor* editor = p->AddEditor(false);
    editor->canOpen = false;
    ERect* rect = nullptr;
    EXPECT_EQ(p.Record()->flags, 0x1018);
    EXPECT_EQ(p.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(p.Dispatch(effEditOpen), 0);
}

TEST_F(Adapter, SetParameterClampsAndNeverTakesNaN) {
    ProbeEffect p;
    FakeEditor* editor = p->AddEditor();
    struct Row {
        float in;
        double shown, stored;  // normalised shown to the editor (as stored), real value
    } rows[] = {{0.5f, 0.5, 2.0}, {1.5f, 1.0, 4.0}, {-0.2f, 0.0, 0.0}, {0.3f, 0.25, 1.0}, {0.625f, 0.75, 3.0}};
    for (const Row& r : rows) {
        editor->shows.clear();
        p->hooks.clear();
        p.Record()->setParameter(p.Record(), 0, r.in);
        ASSERT_EQ(editor->shows.size(), 1u);
        EXPECT_EQ(editor->shows[0].value, r.shown);
        EXPECT_TRUE(editor->shows[0].normalized);
        EXPECT_EQ(p->GetParam(0)->Value(), r.stored);
        EXPECT_EQ(p->hooks, std::vector<std::string>{"change0"});
    }
    editor->shows.clear();
    p->hooks.clear();
    p.Record()->setParameter(p.Record(), 0, std::numeric_limits<float>::quiet_NaN());
    p.Record()->setParameter(p.Record(), 2, 0.5f);
    EXPECT_TRUE(editor->shows.empty());
    EXPECT_TRUE(p->hooks.empty());
    EXPECT_EQ(p->GetParam(0)->Value(), 3.0);
    EXPECT_EQ(p.Record()->getParameter(p.Record(), 0), 0.75f);
    EXPECT_EQ(p.Record()->getParameter(p.Record(), 2), 0.0f);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterAutomate), 0);  // the host is not told back
}

TEST_F(Adapter, String2ParameterShowsThenClamps) {
    ProbeEffect p;
    FakeEditor* editor = p->AddEditor();
    EXPECT_EQ(p.Dispatch(effString2Parameter, 1, 0, const_cast<char*>("250000")), 1);
    EXPECT_EQ(editor->shows.back().value, 250000.0);  // shown as typed, stored clamped
    EXPECT_FALSE(editor->shows.back().normalized);
    EXPECT_EQ(p->GetParam(1)->Value(), 100000.0);
    const size_t shows = editor->shows.size();
    p->hooks.clear();
    EXPECT_EQ(p.Dispatch(effString2Parameter, 1, 0, const_cast<char*>("nan")), 0);
    EXPECT_EQ(p.Dispatch(effString2Parameter, 2, 0, const_cast<char*>("1")), 0);
    EXPECT_EQ(p.Dispatch(effString2Parameter, 1, 0, nullptr), 1);
    EXPECT_EQ(editor->shows.size(), shows);
    EXPECT_TRUE(p->hooks.empty());
    EXPECT_EQ(p->GetParam(1)->Value(), 100000.0);
}

TEST_F(Adapter, HostTextsAreCutToTheHostBuffer) {
    ProbeEffect p("1-1 2-2", false, "An effect name well past thirty-two bytes", std::string(70, 'v').c_str());
    p->GetParam(1)->SetClamped(12345.678);
    struct Row {
        VstInt32 op, index;
        const char* expected;
    } rows[] = {
        {effGetParamLabel, 1, "longlab"},
        {effGetParamDisplay, 1, "12345.6"},
        {effGetEffectName, 0, "An effect name well past thirty"},
        {effGetVendorString, 0, "vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv"},
    };
    for (const Row& r : rows) {
        char buffer[128];
        std::memset(buffer, 'x', sizeof buffer);
        p.Dispatch(r.op, r.index, 0, buffer);
        EXPECT_STREQ(buffer, r.expected);
        const size_t used = std::strlen(r.expected) + 1;
        EXPECT_EQ(buffer[used], 'x') << r.op;  // nothing written past the terminator
    }
    MidiKeyName key{};
    key.thisKeyNumber = 60;
    std::memset(key.keyName, 'x', sizeof key.keyName);
    EXPECT_EQ(p.Dispatch(effGetMidiKeyName, 0, 0, &key), 1);
    EXPECT_EQ(std::strlen(key.keyName), 63u);
    EXPECT_EQ(std::strncmp(key.keyName, "Key 60!", 7), 0);
}

TEST_F(Adapter, ReplacingWidensAndNarrowsAccumulatingAdds) {
    ProbeEffect p;
    FloatBlock in(2, 16), out(2, 16, 0.25f);
    p.Record()->processReplacing(p.Record(), in.ptrs.data(), out.ptrs.data(), 16);
    ASSERT_EQ(p->blocks.size(), 1u);
    EXPECT_EQ(p->blocks[0].frames, 16);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(p->blocks[0].in[c], p->GetInput(c)->Scratch());
        for (int s = 0; s < 16; ++s) EXPECT_EQ(out.data[c][s], static_cast<float>(in.data[c][s] + 0.5)) << c << s;
    }
    FloatBlock zeros(2, 16, 0.0f), acc(2, 16, 0.25f);
    for (auto& ch : zeros.data) std::fill(ch.begin(), ch.end(), 0.0f);
    for (auto& ch : acc.data) std::fill(ch.begin(), ch.end(), 0.25f);
    p.Record()->process(p.Record(), zeros.ptrs.data(), acc.ptrs.data(), 16);
    for (auto& ch : acc.data)
        for (float v : ch) EXPECT_EQ(v, 0.75f);
}

TEST_F(Adapter, LongBlocksAreSlicedToTheAnnouncedSize) {
    for (int precision = 0; precision < 3; ++precision) {
        ProbeEffect p;
        p.Dispatch(effSetBlockSize, 0, 64);
        p->blocks.clear();
        SCOPED_TRACE(precision);
        std::vector<float> outF[2];
        if (precision < 2) {
            FloatBlock in(2, 200), out(2, 200);
            auto proc = precision == 0 ? p.Record()->processReplacing : p.Record()->process;
            for (auto& ch : out.data) std::fill(ch.begin(), ch.end(), 0.0f);
            proc(p.Record(), in.ptrs.data(), out.ptrs.data(), 200);
            for (int s = 0; s < 200; ++s) EXPECT_EQ(out.data[1][s], static_cast<float>(in.data[1][s] + 0.5));
        } else {
            std::vector<double> in[2], out[2];
            double* ip[2];
            double* op[2];
            for (int c = 0; c < 2; ++c) {
                in[c].assign(200, 0.125 * c);
                out[c].assign(200, 0.0);
                ip[c] = in[c].data();
                op[c] = out[c].data();
            }
            p.Record()->processDoubleReplacing(p.Record(), ip, op, 200);
            for (int s = 0; s < 200; ++s) EXPECT_EQ(out[1][s], 0.625);
            EXPECT_EQ(p->blocks[1].in[0], ip[0] + 64);  // in place, no copy
            EXPECT_EQ(p->blocks[3].out[1], op[1] + 192);
        }
        ASSERT_EQ(p->blocks.size(), 4u);
        EXPECT_EQ(p->blocks[0].frames, 64);
        EXPECT_EQ(p->blocks[3].frames, 8);
    }
    ProbeEffect p;
    p.Record()->processReplacing(p.Record(), nullptr, nullptr, 0);
    p.Record()->processDoubleReplacing(p.Record(), nullptr, nullptr, -5);
    EXPECT_TRUE(p->blocks.empty());
}

TEST_F(Adapter, UnconnectedInputsAreFedSilence) {
    ProbeEffect p;
    FloatBlock stereo(2, 8, 0.5f), out(2, 8);
    p.Record()->processReplacing(p.Record(), stereo.ptrs.data(), out.ptrs.data(), 8);
    VstSpeakerArrangement mono{}, both{};
    mono.numChannels = 1;
    both.numChannels = 2;
    EXPECT_EQ(p.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &both), 1);
    EXPECT_EQ(p.Record()->numInputs, 2);
    // The host now passes one input pointer only; channel 1 must read zeros,
    // not the stereo block that was in its scratch.
    FloatBlock one(1, 8, 0.25f);
    p.Record()->processReplacing(p.Record(), one.ptrs.data(), out.ptrs.data(), 8);
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(out.data[0][s], static_cast<float>(one.data[0][s] + 0.5));
        EXPECT_EQ(out.data[1][s], 0.5f);
    }
    VstSpeakerArrangement none{};
    none.numChannels = -3;
    p.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&none), &none);
    p.Record()->processReplacing(p.Record(), nullptr, nullptr, 8);  // nothing connected, nothing read
    EXPECT_FALSE(p->GetInput(0)->connected);
    EXPECT_EQ(p->blocks.back().firstIn[0], 0.0);
}

TEST_F(Adapter, HostQuirksDisconnectInputsFromTheThird) {
    struct Row {
        const char* product;
        bool thirdConnected;
    } rows[] = {{"Forte", false}, {"Adobe AUDITION", false}, {"SAWStudio", false}, {"Ardour", true}};
    for (const Row& r : rows) {
        TestHost::Get().SetProductString(r.product);
        ProbeEffect p("4-4");
        p.Dispatch(effOpen);
        EXPECT_EQ(p->GetInput(2)->connected, r.thirdConnected) << r.product;
        EXPECT_TRUE(p->GetOutput(3)->connected);
        EXPECT_EQ(p.Record()->numInputs, 4);
    }
}

TEST_F(Adapter, DispatcherHooksAndRefusals) {
    ProbeEffect p;
    p.Dispatch(effMainsChanged, 0, 1);
    p.Dispatch(effMainsChanged, 0, 0);
    p.Dispatch(effSetBlockSize, 0, 0);  // kept, but the reset still runs
    p.Dispatch(effSetBlockSize, 0, -64);
    for (float rate :
         {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        p.Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    EXPECT_EQ(p->hooks, (std::vector<std::string>{"active", "inactive", "reset", "reset", "reset", "reset", "reset",
                                                  "reset", "reset"}));
    EXPECT_EQ(p->BlockSize(), 1024);
    EXPECT_EQ(p->SampleRate(), 44100.0);
    p.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(p->SampleRate(), 48000.0);

    p->hooks.clear();
    const unsigned char bytes[16] = {};
    EXPECT_EQ(p.Dispatch(effSetChunk, 1, 16, nullptr), 0);
    EXPECT_EQ(p.Dispatch(effSetChunk, 1, -16, const_cast<unsigned char*>(bytes)), 0);
    EXPECT_TRUE(p->hooks.empty());

    bool destroyed = false;
    ProbeEffect q;
    q->destroyed = &destroyed;
    EXPECT_EQ(q.Dispatch(effClose), 0);
    EXPECT_TRUE(destroyed);
}

TEST_F(Adapter, EventsReachTheHooks) {
    ProbeEffect p("1-1 2-2", true);
    VstMidiEvent note{kVstMidiType, 32, 7, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0};
    VstMidiSysexEvent bad{};
    bad.type = kVstSysExType;
    bad.dumpBytes = -4;
    bad.sysexDump = reinterpret_cast<char*>(&note);
    VstEvent other{};
    other.type = kVstAudioType;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[4];
    } list{4, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, reinterpret_cast<VstEvent*>(&bad), &other}};
    EXPECT_EQ(p.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
    EXPECT_EQ(p.Dispatch(effProcessEvents, 0, 0, &list), 1);
    const auto sent = TestHost::Get().SentEvents();  // the default MIDI hook echoes to the host
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].byteSize, 32);
    EXPECT_EQ(sent[0].deltaFrames, 7);
    EXPECT_EQ(sent[0].midiData[0], 0x90);
    EXPECT_EQ(sent[0].midiData[2], 100);
    ASSERT_EQ(p->sysex.size(), 1u);
    EXPECT_EQ(p->sysex[0].size, 0);
    EXPECT_EQ(p->sysex[0].bytes, nullptr);

    // A MIDI plug-in asks for MIDI once per audio callback, however sliced.
    EXPECT_EQ(p.Dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstEvents")), 1);
    p.Dispatch(effSetBlockSize, 0, 4);
    FloatBlock in(2, 10), out(2, 10);
    p.Record()->processReplacing(p.Record(), in.ptrs.data(), out.ptrs.data(), 10);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterWantMidi), 1);
}

}  // namespace
