// A small plug-in on the base for tests: eleven parameters of every kind,
// host services that only record what they were asked, and an editor fake.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "core/effect_base.h"

// Default values of TestEffect's parameters, in index order.
inline const double kTestDefaults[11] = {0, 1, 0, 0, 1, 2, -3, 0, 2, 100, 0.25};

class TestEffect : public IEffectBase {
public:
    explicit TestEffect(const char* channelIO = "1-1 2-2", int presets = 1, int params = 11)
        : IEffectBase(params, channelIO, presets, "Effect", "", "Maker", 0x10100, 0x516d377a, 0, false, false, false) {
        if (params != 11) return;
        GetParam(0)->SetupDouble("Drive", 0, -10, 10, 0.1, "dB", 1);
        GetParam(1)->SetupBool("Power", true);
        GetParam(2)->SetupBool("Cut", false);
        GetParam(3)->SetupBool("Split", false);
        GetParam(4)->SetupInt("Mode", 1, 0, 3);
        GetParam(5)->SetupDouble("Trim", 2, 1, 10, 0.5, "dB", 1);
        GetParam(6)->SetupDouble("Out", -3, -20, 20, 0.1, "dB", 1);
        GetParam(7)->SetupInt("Att", 0, 0, 2);
        GetParam(8)->SetupInt("Rel", 2, 0, 4);
        GetParam(9)->SetupDouble("Mix", 100, 0, 100, 1, "%", 1);
        GetParam(10)->SetupDouble("Curve", 0.25, 0, 1, 0.01, "", 2);
    }

    void OnParameterChange(int index) override {
        IEffectBase::OnParameterChange(index);  // keeps the lock round trip
        changes.push_back(index);
    }
    void OnPresetsChanged() override { ++presetsChanged; }

    void BeginEditGesture(int) override {}
    void NotifyHostOfValue(int index, double normalized) override { notified.emplace_back(index, normalized); }
    void EndEditGesture(int) override {}
    void NotifyHostDisplayChanged() override {}
    int HostSamplePosition() override { return 0; }
    double HostTempo() override { return 0; }
    void HostTimeSignature(int*, int*) override {}
    void HostTimeInfo(ITimeInfo*) override {}
    void SyncEditorRect() override {}
    bool SendMidiToHost(const IMidiMessage&) override {
        ++midiSent;
        return true;
    }

    std::vector<int> changes;
    std::vector<std::pair<int, double>> notified;
    int presetsChanged = 0;
    int midiSent = 0;
};

class FakeEditor : public IEditorLink {
public:
    explicit FakeEditor(std::function<void()> onDestroy = {}) : mOnDestroy(std::move(onDestroy)) {}
    ~FakeEditor() override {
        if (mOnDestroy) mOnDestroy();
    }
    int Width() const override { return 456; }
    int Height() const override { return 416; }
    void ShowParameterInEditor(int index, double value, bool isNormalized) override {
        shown.push_back({index, value, isNormalized});
    }
    void SetControlsFromPlugin(int index, double normalized) override { controls.emplace_back(index, normalized); }
    void CreateSurfaces() override { ++surfacesCreated; }
    bool HasWindowSystem() const override { return false; }
    bool OpenWindow(void*) override { return false; }
    void CloseWindow() override {}

    struct Shown {
        int index;
        double value;
        bool isNormalized;
    };
    std::vector<Shown> shown;
    std::vector<std::pair<int, double>> controls;
    int surfacesCreated = 0;

private:
    std::function<void()> mOnDestroy;
};
