// The LV2 implementation of PluginInstance: one plug-in of a bundle folder
// (or, by URI, of every installed bundle), hosted through lilv
// (lv2/lilv_host.h), with its X11 UI in the host's frame. The only file of
// velmor-host that knows LV2 types, beside its tests.
//
// Values: the parameters are the control input ports in port order; their
// normalised values are the position in the port's range (toggles and
// integers at whole steps). A value set while nothing plays reaches the
// plug-in at the next block (a block of no frames where none follows).
//
// State (StateKind::kLv2State, the URI as the text id): every control input
// port's value by symbol and every property the plug-in's state interface
// stores. A restore hands the properties to the plug-in first; a refusal
// there changes nothing, not even the ports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lv2/lilv_host.h"
#include "tools/velmor-host/plugin_instance.h"

class HostedLv2 final : public PluginInstance {
public:
    HostedLv2();
    ~HostedLv2() override;
    HostedLv2(const HostedLv2&) = delete;
    HostedLv2& operator=(const HostedLv2&) = delete;

    // bundle: a bundle folder, or empty to look among every installed one;
    // uri: the plug-in (empty: the bundle's only one). False with a
    // one-line error.
    bool Load(const std::string& bundle, const std::string& uri, double sampleRate, int blockSize, std::string& error);

    PluginDescription Describe() override;
    const char* FormatName() const override { return "LV2"; }
    const std::string& Location() const override { return mLocation; }
    double SampleRate() const override { return mPlugin ? mPlugin->SampleRate() : 0.0; }
    int MaxBlockSize() const override { return mPlugin ? mPlugin->MaxBlock() : 0; }
    int InputCount() const override;
    int OutputCount() const override;

    int ParameterCount() const override;
    std::string ParameterName(int index) override;
    std::string ParameterLabel(int index) override;
    std::string ParameterDisplay(int index) override;
    float GetParameter(int index) override;
    void SetParameter(int index, float normalised) override;
    // A scale point's label or a number, clamped into the port's range.
    bool SetParameterFromText(int index, const std::string& text) override;

    bool SaveState(PluginState& state, std::string& error) override;
    bool RestoreState(const PluginState& state, const std::string& source, std::string& error) override;
    // The payload of an LV2 state without velmor-host's header.
    bool RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                          std::string& error) override;

    void Resume(bool doublePrecision) override;
    void Suspend() override;
    bool CanProcessDouble() const override { return false; }
    void ProcessFloat(float** inputs, float** outputs, int frames) override;
    void ProcessDouble(double**, double**, int) override {}
    int Latency() const override;
    // Set when the latency port's value changed since the last call.
    bool TakeIoChanged() override;

    bool HasEditor() const override;
    // Known once the UI asked for it (ui:resize), after opening.
    bool EditorSize(int& width, int& height) override;
    bool OpenEditor(void* display, unsigned long parentWindow, std::string& error) override;
    void IdleEditor() override;
    void CloseEditor() override;
    // The ui:scaleFactor option the UI is opened with.
    bool SetEditorScale(double scale) override;

    void Close() override;

private:
    const Lv2PortInfo* Param(int index) const;
    // Values set while nothing plays reach the plug-in now.
    void Settle();

    std::unique_ptr<Lv2Plugin> mPlugin;
    std::unique_ptr<Lv2Ui> mUi;
    std::string mLocation;
    double mScale = 0.0;  // 0: the UI is given none
    bool mPlaying = false;
    int mReportedLatency = -1;
};

// The payload of a kLv2State (also for the tests): ports by symbol, then
// properties. Decode is false for bytes that are not a whole payload.
std::vector<std::uint8_t> EncodeLv2State(const std::vector<std::pair<std::string, float>>& ports,
                                         const std::vector<Lv2StateProperty>& properties);
bool DecodeLv2State(const std::vector<std::uint8_t>& bytes, std::vector<std::pair<std::string, float>>& ports,
                    std::vector<Lv2StateProperty>& properties);
