// Velmor as a host meets it: the built library, its record, its dispatcher
// and its state chunks.
#include <cmath>
#include <limits>

#include "tests/comma_locale.h"
#include "tests/vst/plugin_fixture.h"

namespace {

constexpr int kParams = 11;
const double kDefaults[kParams] = {12.5, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0};

void AppendLE(std::vector<unsigned char>& out, const void* value, size_t n) {
    const auto* b = static_cast<const unsigned char*>(value);
    out.insert(out.end(), b, b + n);  // both targets are little-endian
}

std::vector<unsigned char> ProgramBytes(const double* values, int count, bool header = true) {
    std::vector<unsigned char> out;
    if (header) out = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (int i = 0; i < count; ++i) AppendLE(out, &values[i], sizeof(double));
    return out;
}

TEST_F(PluginTest, RecordOfAFreshInstance) {
    EXPECT_EQ(fx->magic, 0x56737450);
    EXPECT_EQ(fx->numPrograms, 1);
    EXPECT_EQ(fx->numParams, 11);
    EXPECT_EQ(fx->numInputs, 2);
    EXPECT_EQ(fx->numOutputs, 2);
#if defined(_WIN32) || defined(__linux__)
    EXPECT_EQ(fx->flags, 0x1019);  // replacing, double replacing, mono, and the editor (Win32 or X11 window)
#else
    EXPECT_EQ(fx->flags, 0x1018);  // replacing, double replacing, mono; the editor has no window to offer yet
#endif
    EXPECT_EQ(fx->initialDelay, 0);
    EXPECT_EQ(fx->ioRatio, 1.0f);
    EXPECT_EQ(fx->uniqueID, 0x516D377A);
    EXPECT_EQ(fx->version, 10100);
    EXPECT_NE(fx->object, nullptr);
    EXPECT_TRUE(fx->process && fx->processReplacing && fx->processDoubleReplacing);
    EXPECT_TRUE(fx->setParameter && fx->getParameter);
    EXPECT_EQ(fx->resvd1, 0);
    for (char c : fx->future) EXPECT_EQ(c, 0);
    EXPECT_TRUE(TestHost::Get().Calls().empty());  // creation asks the host nothing
}

TEST_F(PluginTest, ParameterNamesLabelsAndDefaults) {
    struct Row {
        const char *name, *label, *display;
    } rows[kParams] = {
        {"Pres Comp", "dB", "12.50"}, {"Low Cut", "", "on"},    {"Presence", "", "on"},
        {"Bass", "dB", "0.00"},       {"Crispy", "dB", "0.00"}, {"Final Comp", "dB", "0.00"},
        {"Db Output", "dB", "0.00"},  {"Power", "", "on"},      {"Mode", "", "A"},
        {"P Limit", "", "on"},        {"F Limit", "", "off"},
    };
    for (int i = 0; i < kParams; ++i) {
        EXPECT_EQ(Text(fx, effGetParamName, i), rows[i].name);
        EXPECT_EQ(Text(fx, effGetParamLabel, i), rows[i].label);
        EXPECT_EQ(Display(i), rows[i].display);
    }
    for (VstInt32 bad : {-1, kParams}) {
        char buffer[8] = {'x', 'x', 0};
        for (VstInt32 op : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            EXPECT_EQ(Dispatch(fx, op, bad, 0, buffer), 0);
            EXPECT_STREQ(buffer, "xx");
        }
    }
}

TEST_F(PluginTest, DisplayTextsAcrossTheRanges) {
    struct Row {
        VstInt32 index;
        float x;
        const char* display;
    } rows[] = {
        {0, 0.0f, "-5.00"}, {0, 1.0f, "25.00"}, {0, 0.5f, "10.00"}, {6, 0.0f, "-30.00"}, {6, 0.6f, "0.00"},
        {5, 1.0f, "3.00"},  {3, 1.0f, "0.01"},  {1, 0.49f, "off"},  {1, 0.6f, "on"},     {8, 0.0f, "A"},
        {8, 0.5f, "B"},     {8, 0.625f, "C"},   {8, 1.0f, "D"},     {10, 1.0f, "on"},
    };
    for (const Row& r : rows) {
        Set(r.index, r.x);
        EXPECT_EQ(Display(r.index), r.display) << r.index << " at " << r.x;
    }
}

TEST_F(PluginTest, EveryParameterSurvivesAFloatRoundTrip) {
    for (int i = 0; i < kParams; ++i) {
        for (float x : {0.0f, 0.1234567f, 0.5f, 0.777f, 0.999f, 1.0f}) {
            Set(i, x);
            const std::string shown = Display(i);
            const float saved = Get(i);
            Set(i, saved);
            EXPECT_EQ(Display(i), shown) << i << " at " << x;
            EXPECT_EQ(Get(i), saved);
        }
    }
}

TEST_F(PluginTest, TypedValues) {
    struct Row {
        VstInt32 index;
        const char* text;
        VstIntPtr answer;
        const char* display;
    } rows[] = {
        {1, "off", 1, "off"},
        {1, "On", 0, "on"},
        {1, "0", 0, "on"},
        {0, "7", 1, "7.00"},
        {0, "100", 1, "25.00"},
        {0, "-inf", 1, "-5.00"},
        {0, "nan", 0, "12.50"},
        {0, "abc", 1, "0.00"},
        {8, "C", 1, "C"},
        {8, "E", 0, "A"},
        // A decimal number with "." on every runtime: the leading number
        // only, no hexadecimal forms, no decimal comma.
        {0, "2.5", 1, "2.50"},
        {0, "0x1p1", 1, "0.00"},
        {0, "2,5", 1, "2.00"},
        {6, "-1e1", 1, "-10.00"},
    };
    for (const Row& r : rows) {
        AEffect* e = CreatePlugin();
        EXPECT_EQ(Dispatch(e, effString2Parameter, r.index, 0, const_cast<char*>(r.text)), r.answer) << r.text;
        EXPECT_EQ(Text(e, effGetParamDisplay, r.index), r.display) << r.text;
        Dispatch(e, effClose);
    }
    Dispatch(fx, effString2Parameter, 0, 0, const_cast<char*>("7"));
    EXPECT_EQ(Get(0), 0.4f);  // (7 + 5) / 30
    EXPECT_EQ(Dispatch(fx, effString2Parameter, kParams, 0, const_cast<char*>("1")), 0);
    EXPECT_EQ(Dispatch(fx, effString2Parameter, 0, 0, nullptr), 1);
    EXPECT_EQ(Get(0), 0.4f);
}

// Hosts that set a locale with a decimal comma still see and type ".".
TEST_F(PluginTest, TextsIgnoreTheHostsLocale) {
    ScopedCommaLocale comma;
    ASSERT_TRUE(comma.Active()) << "no locale with a decimal comma on this machine";
    EXPECT_EQ(Text(fx, effGetParamDisplay, 0), "12.50");
    EXPECT_EQ(Dispatch(fx, effString2Parameter, 6, 0, const_cast<char*>("-2.75")), 1);
    EXPECT_EQ(Text(fx, effGetParamDisplay, 6), "-2.75");
    char text[kVstMaxParamStrLen + 1] = {};
    EXPECT_EQ(Dispatch(fx, effVendorSpecific, 7, 0, text, 0.5f), 0xbeef);
    EXPECT_STREQ(text, "10.00");  // normalised 0.5 of -5..25
}

TEST_F(PluginTest, ChunkLayoutsOfAFreshInstance) {
    EXPECT_EQ(GetChunk(fx, 1), ProgramBytes(kDefaults, kParams));
    std::vector<unsigned char> bank = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00, 1, 0, 0, 0, '-', 1};
    const std::vector<unsigned char> values = ProgramBytes(kDefaults, kParams, false);
    bank.insert(bank.end(), values.begin(), values.end());
    EXPECT_EQ(GetChunk(fx, 0).size(), 102u);
    EXPECT_EQ(GetChunk(fx, 0), bank);
    EXPECT_EQ(Dispatch(fx, effGetChunk, 1, 0, nullptr), 0);
}

TEST_F(PluginTest, ChunksRestoreEveryBit) {
    const float xs[kParams] = {0.1234567f, 0, 0, 0.3f, 0.7f, 0.333f, 0.987654f, 0, 0.75f, 0, 1};
    for (int i = 0; i < kParams; ++i) Set(i, xs[i]);
    Dispatch(fx, effSetProgramName, 0, 0, const_cast<char*>("Lead"));
    for (VstInt32 kind : {1, 0}) {
        const std::vector<unsigned char> saved = GetChunk(fx, kind);
        AEffect* copy = CreatePlugin();
        EXPECT_EQ(SetChunk(copy, kind, saved), 1);
        EXPECT_EQ(GetChunk(copy, 1), GetChunk(fx, 1));  // every value, bit for bit
        for (int i = 0; i < kParams; ++i) EXPECT_EQ(copy->getParameter(copy, i), Get(i));
        EXPECT_EQ(Text(copy, effGetProgramName), kind == 0 ? "Lead" : "-");
        Dispatch(copy, effClose);
    }
}

// A host that saves its project as a bank right after a knob was turned
// reopens it with the knob where it was left, at every save: the bank holds
// the settings of the moment, not those its preset slot last stored.
TEST_F(PluginTest, BankChunkCarriesTheSettingsOfTheMoment) {
    struct Turn {
        VstInt32 index;
        float x;
        const char* display;
    } turns[] = {{0, 0.3f, "4.00"}, {8, 0.75f, "C"}, {0, 0.8f, "19.00"}};  // Pres Comp -5 + 30 x
    for (const Turn& t : turns) {
        Set(t.index, t.x);
        const std::vector<unsigned char> bank = GetChunk(fx, 0);
        AEffect* reopened = CreatePlugin();
        EXPECT_EQ(SetChunk(reopened, 0, bank), 1);
        EXPECT_EQ(Text(reopened, effGetParamDisplay, t.index), t.display) << t.index << " at " << t.x;
        EXPECT_EQ(GetChunk(reopened, 1), GetChunk(fx, 1));  // and every other value as it is now
        Dispatch(reopened, effClose);
    }
}

TEST_F(PluginTest, TruncatedAndBareChunks) {
    for (int i = 5; i < kParams; ++i) Set(i, 0.5f);
    const std::vector<unsigned char> before = GetChunk(fx, 1);
    const std::vector<unsigned char> bankBefore = GetChunk(fx, 0);
    // A chunk that holds less than a whole state is refused and changes
    // nothing: neither the parameters nor the stored slot.
    const double five[5] = {20.0, 0.0, 0.0, 0.01, 0.01};
    std::vector<unsigned char> cutBank = bankBefore;
    cutBank.resize(cutBank.size() - 3);
    const struct {
        VstInt32 kind;
        std::vector<unsigned char> bytes;
    } cut[] = {{1, ProgramBytes(five, 5)}, {1, {0x74, 0x66, 0x66, 0x70, 0x00}}, {0, cutBank}};
    for (const auto& c : cut) {
        EXPECT_EQ(SetChunk(fx, c.kind, c.bytes), 0) << c.bytes.size();
        EXPECT_EQ(GetChunk(fx, 1), before);
        EXPECT_EQ(GetChunk(fx, 0), bankBefore);
    }

    // No header: read from byte 0. Out-of-range and non-finite values clamp.
    double bare[kParams] = {1e300, 0, 1, 0, 0, std::nan(""), -INFINITY, 0, 2, 1, 1};
    EXPECT_EQ(SetChunk(fx, 1, ProgramBytes(bare, kParams, false)), 1);
    const char* shown[kParams] = {"25.00", "off", "on", "0.00", "0.00", "0.00", "-30.00", "off", "B", "on", "on"};
    for (int i = 0; i < kParams; ++i) EXPECT_EQ(Display(i), shown[i]) << i;

    const std::vector<unsigned char> kept = GetChunk(fx, 1);
    EXPECT_EQ(Dispatch(fx, effSetChunk, 1, 96, nullptr), 0);
    EXPECT_EQ(Dispatch(fx, effSetChunk, 1, -96, const_cast<unsigned char*>(kept.data())), 0);
    EXPECT_EQ(Dispatch(fx, effSetChunk, 0, -1, const_cast<unsigned char*>(kept.data())), 0);
    EXPECT_EQ(GetChunk(fx, 1), kept);
}

TEST_F(PluginTest, Programs) {
    EXPECT_EQ(Dispatch(fx, effGetProgram), 0);
    EXPECT_EQ(Text(fx, effGetProgramName), "-");
    EXPECT_EQ(Dispatch(fx, effGetProgramNameIndexed, 0, 0, nullptr), 0);
    char name[32] = "stale";
    EXPECT_EQ(Dispatch(fx, effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "-");
    EXPECT_EQ(Dispatch(fx, effGetProgramNameIndexed, 1, 0, name), 0);
    EXPECT_STREQ(name, "");
    Dispatch(fx, effSetProgramName, 0, 0, const_cast<char*>("A name longer than the host's 24 bytes"));
    std::memset(name, 'x', sizeof name);
    Dispatch(fx, effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "A name longer than the ");  // 23 characters and the terminator
    EXPECT_EQ(name[24], 'x');

    Set(0, 0.9f);
    const std::vector<unsigned char> state = GetChunk(fx, 1);
    Dispatch(fx, effSetProgram, 0, 0);
    EXPECT_EQ(GetChunk(fx, 1), state);
    Dispatch(fx, effSetProgram, 0, 5);
    EXPECT_EQ(GetChunk(fx, 1), state);
    EXPECT_EQ(Dispatch(fx, effGetProgram), 0);
}

TEST_F(PluginTest, FixedAnswersAndTexts) {
    struct Row {
        VstInt32 op, index;
        VstIntPtr value, answer;
    } rows[] = {
        {effGetPlugCategory, 0, 0, 1},   {effGetVstVersion, 0, 0, 2400},
        {effIdentify, 0, 0, 0x4E764566}, {effGetVendorVersion, 0, 0, 10100},
        {effGetTailSize, 0, 0, 0},       {effCanBeAutomated, 0, 0, 1},
        {effCanBeAutomated, -1, 5, 1},   {effEditGetRect, 0, 0, 0},
        {effEditOpen, 0, 0, 0},          {effEditClose, 0, 0, 1},  // no parent window: nothing opens
        {effProcessVarIo, 0, 0, 0},      {effIdle, 0, 0, 0},
        {effEditIdle, 0, 0, 0},          {effGetMidiKeyName, 0, 0, 0},
        {effProcessEvents, 0, 0, 0},     {effGetEffectName, 0, 0, 0},
    };
    for (const Row& r : rows) EXPECT_EQ(Dispatch(fx, r.op, r.index, r.value), r.answer) << r.op;
    EXPECT_EQ(Text(fx, effGetEffectName), "Orvane");
    EXPECT_EQ(Text(fx, effGetVendorString), "Trelowen");
    char product[8] = "stale";
    EXPECT_EQ(Dispatch(fx, effGetProductString, 0, 0, product), 1);
    EXPECT_STREQ(product, "");
    struct Can {
        const char* text;
        VstIntPtr answer;
    } cans[] = {{"receiveVstTimeInfo", 1}, {"receiveVstEvents", 0},
                {"sendVstMidiEvent", 0},   {"bypass", 0},
                {"ReceiveVstTimeInfo", 0}, {"", 0}};
    for (const Can& c : cans) EXPECT_EQ(Dispatch(fx, effCanDo, 0, 0, const_cast<char*>(c.text)), c.answer) << c.text;
    EXPECT_EQ(Dispatch(fx, effCanDo), 0);
}

TEST_F(PluginTest, VendorSpecificTextsAndSteps) {
    struct Row {
        VstIntPtr param;
        float x;
        const char* text;
    } rows[] = {{0, 0.5f, "10.00"}, {0, 2.0f, "25.00"},  {0, -1.0f, "-5.00"}, {8, 0.75f, "C"},
                {0, NAN, "stale"},  {11, 0.5f, "stale"}, {-1, 0.5f, "stale"}};
    for (const Row& r : rows) {
        char buffer[16] = "stale";
        EXPECT_EQ(Dispatch(fx, effVendorSpecific, 7, r.param, buffer, r.x), 0xbeef);
        EXPECT_STREQ(buffer, r.text) << r.param << " " << r.x;
    }
    EXPECT_EQ(Dispatch(fx, effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
    EXPECT_EQ(Display(0), "12.50");  // shown, not set
    const VstIntPtr stepped[] = {0, 0xbeef, 0xbeef, 0, 0, 0, 0, 0xbeef, 0xbeef, 0xbeef, 0xbeef, 0};
    for (int i = 0; i <= kParams; ++i) EXPECT_EQ(Dispatch(fx, effVendorSpecific, 8, i), stepped[i]) << i;
    EXPECT_EQ(Dispatch(fx, effVendorSpecific, 3, 1), 0);
}

TEST_F(PluginTest, PinsAndSpeakerArrangements) {
    struct Row {
        VstInt32 op, index;
        VstIntPtr answer;
        VstInt32 flags;
        const char* label;
    } rows[] = {
        {effGetInputProperties, 0, 1, kVstPinIsActive | kVstPinIsStereo, "Input 1"},
        {effGetInputProperties, 1, 1, kVstPinIsActive, "Input 2"},
        {effGetOutputProperties, 0, 1, kVstPinIsActive | kVstPinIsStereo, "Output 1"},
        {effGetOutputProperties, 1, 1, kVstPinIsActive, "Output 2"},
        {effGetInputProperties, 2, 0, 77, "stale"},
        {effGetOutputProperties, -1, 0, 77, "stale"},
    };
    for (const Row& r : rows) {
        VstPinProperties pin{};
        std::strcpy(pin.label, "stale");
        pin.flags = 77;
        pin.arrangementType = 99;
        std::strcpy(pin.shortLabel, "short");
        EXPECT_EQ(Dispatch(fx, r.op, r.index, 0, &pin), r.answer);
        EXPECT_EQ(pin.flags, r.flags);
        EXPECT_STREQ(pin.label, r.label);
        EXPECT_EQ(pin.arrangementType, 99);
        EXPECT_STREQ(pin.shortLabel, "short");
    }
    EXPECT_EQ(Dispatch(fx, effGetInputProperties, 0, 0, nullptr), 0);
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(Dispatch(fx, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->type, kSpeakerArrStereo);
    EXPECT_EQ(out->numChannels, 2);
    EXPECT_EQ(Dispatch(fx, effGetSpeakerArrangement), 1);
    VstSpeakerArrangement mono{};
    mono.numChannels = 1;
    EXPECT_EQ(Dispatch(fx, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), nullptr), 1);
    EXPECT_EQ(in->numChannels, 2);  // the announced arrangement stays
    EXPECT_EQ(fx->numInputs, 2);
}

TEST_F(PluginTest, DeprecatedAndUnknownOpcodesChangeNothing) {
    StartAudio(fx);
    const std::vector<unsigned char> program = GetChunk(fx, 1), bank = GetChunk(fx, 0);
    const VstInt32 ops[] = {9,  16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 38, 39, 40, 43, 44, 46, 54, 55, 56,   57,
                            59, 60, 61, 62, 63, 64, 65, 67, 68, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 1000, -1};
    for (VstInt32 op : ops) {
        unsigned char scratch[512] = {};
        EXPECT_EQ(Dispatch(fx, op, 1, 1, scratch, 1.0f), 0) << op;
        for (unsigned char b : scratch) ASSERT_EQ(b, 0) << op;
    }
    EXPECT_EQ(GetChunk(fx, 1), program);
    EXPECT_EQ(GetChunk(fx, 0), bank);
}

TEST_F(PluginTest, HostIsAskedOnceForItsName) {
    TestHost::Get().SetProductString("Audacity");
    Dispatch(fx, effOpen);
    Dispatch(fx, effOpen);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterGetProductString), 1);
    EXPECT_EQ(TestHost::Get().CountOf(audioMasterGetVendorVersion), 1);
}

}  // namespace
