// A small plug-in on the adapter whose hooks are observable: ProcessBlock
// writes input + 0.5 (0.5 where an output has no input) and logs each call;
// the other hooks log their names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/vst/test_host.h"
#include "vst/effect_vst.h"

struct BlockCall {
    int frames;
    std::vector<double*> in, out;
    std::vector<double> firstIn;  // inputs[c][0] per channel
};

class FakeEditor : public IEditorLink {
public:
    struct Show {
        int index;
        double value;
        bool normalized;
    };
    int Width() const override { return 456; }
    int Height() const override { return 416; }
    void ShowParameterInEditor(int index, double value, bool isNormalized) override {
        shows.push_back({index, value, isNormalized});
    }
    void SetControlsFromPlugin(int, double) override {}
    void CreateSurfaces() override {}
    bool HasWindowSystem() const override { return hasWindowSystem; }
    bool OpenWindow(void*) override { return canOpen; }
    void CloseWindow() override { ++closes; }
    std::vector<Show> shows;
    bool canOpen = true;
    bool hasWindowSystem = true;
    int closes = 0;
};

class ProbePlugin : public IEffectBase {
public:
    // Two parameters: 0 "Steps" int 0..4, 1 "Level" double 0..100000.
    ProbePlugin(const char* channelIO, bool doesMidi, const char* effectName, const char* makerName)
        : IEffectBase(2, channelIO, 1, effectName, "", makerName, 0x10203, 0x50726f62, 0, doesMidi, false, false) {
        GetParam(0)->SetupInt("Steps", 0, 0, 4, "");
        GetParam(1)->SetupDouble("Level", 0.0, 0.0, 100000.0, 0.01, "longlabel", 1.0);
    }
    FakeEditor* AddEditor(bool hasWindowSystem = true) {
        auto editor = std::make_unique<FakeEditor>();
        editor->hasWindowSystem = hasWindowSystem;
        FakeEditor* raw = editor.get();
        AttachEditor(std::move(editor));
        return raw;
    }
    void ProcessBlock(double** inputs, double** outputs, int frames) override {
        BlockCall call{frames, {}, {}, {}};
        for (int c = 0; c < InputCount(); ++c) {
            call.in.push_back(inputs[c]);
            call.firstIn.push_back(inputs[c][0]);
        }
        for (int c = 0; c < OutputCount(); ++c) {
            call.out.push_back(outputs[c]);
            for (int s = 0; s < frames; ++s) outputs[c][s] = (c < InputCount() ? inputs[c][s] : 0.0) + 0.5;
        }
        blocks.push_back(call);
    }
    void OnReset() override { hooks.push_back("reset"); }
    void OnParameterChange(int index) override { hooks.push_back("change" + std::to_string(index)); }
    void OnActiveChanged(bool active) override { hooks.push_back(active ? "active" : "inactive"); }
    void OnSysExMessage(const ISysExMessage& m) override { sysex.push_back(m); }
    bool MidiNoteName(int note, std::string& out) override {
        out = "Key " + std::to_string(note) + std::string(80, '!');
        return true;
    }
    ~ProbePlugin() override {
        if (destroyed) *destroyed = true;
    }

    std::vector<BlockCall> blocks;
    std::vector<std::string> hooks;
    std::vector<ISysExMessage> sysex;
    bool* destroyed = nullptr;
};

// The probe in the VST 2.4 adapter, as a host holds it: the record, and the
// plug-in behind it through ->. effClose through Dispatch deletes both.
class ProbeEffect {
public:
    explicit ProbeEffect(const char* channelIO = "1-1 2-2", bool doesMidi = false, const char* effectName = "Probe",
                         const char* makerName = "Maker") {
        auto plugin = std::make_unique<ProbePlugin>(channelIO, doesMidi, effectName, makerName);
        mPlugin = plugin.get();
        mAdapter = new IEffectVST(TestHost::Callback, std::move(plugin));
    }
    ~ProbeEffect() { delete mAdapter; }
    ProbeEffect(const ProbeEffect&) = delete;
    ProbeEffect& operator=(const ProbeEffect&) = delete;

    ProbePlugin* operator->() const { return mPlugin; }
    IEffectVST& Adapter() const { return *mAdapter; }
    AEffect* Record() const { return mAdapter->Record(); }
    VstSpeakerArrangement* InputArrangement() const { return mAdapter->InputArrangement(); }

    VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        AEffect* record = Record();
        const VstIntPtr answer = record->dispatcher(record, op, index, value, ptr, opt);
        if (op == effClose) mAdapter = nullptr;  // deleted by the dispatcher
        return answer;
    }

private:
    ProbePlugin* mPlugin = nullptr;
    IEffectVST* mAdapter = nullptr;
};
