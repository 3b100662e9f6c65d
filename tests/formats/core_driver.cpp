// The core in this process, through the format-neutral exporter every
// adapter wraps: the reference the formats' drivers are compared with.
#include <cmath>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "tests/formats/format_driver.h"

namespace {

class CoreDriver : public IFormatDriver {
public:
    bool Start(double rate, int maxBlock, int channels, std::string& error) override {
        mExporter = std::make_unique<PluginExporter>(CreatePluginInstance(), nullptr);
        IEffectBase* p = mExporter->Plugin();
        if (!p) {
            error = "no plug-in";
            return false;
        }
        for (int i = 0; i < p->ParamCount(); ++i) p->OnParameterChange(i);
        for (int i = channels; i < p->InputCount(); ++i) p->SetInputConnected(i, false);
        for (int i = channels; i < p->OutputCount(); ++i) p->SetOutputConnected(i, false);
        mChannels = channels;
        mExporter->SetSampleRate(rate);
        mExporter->SetBlockSize(maxBlock);
        mExporter->SetActive(true);
        return true;
    }
    void Suspend() override { mExporter->SetActive(false); }
    void Resume() override { mExporter->SetActive(true); }

    int ParameterCount() override { return mExporter->Plugin()->ParamCount(); }
    std::string ParameterName(int id) override {
        const IParameter* p = mExporter->Plugin()->GetParam(id);
        return p ? p->Name() : "";
    }
    void SetParameter(int id, double normalized) override { mExporter->SetParameterNormalized(id, normalized); }
    double GetParameter(int id) override { return mExporter->ParameterNormalized(id); }
    std::string ParameterText(int id) override {
        char text[64] = {};
        mExporter->FormatParameter(id, std::nan(""), text, sizeof text);
        return text;
    }
    bool ParseParameter(int id, const std::string& text, double* normalized) override {
        double value = 0.0;
        if (!mExporter->ParseParameterText(id, text.c_str(), &value)) return false;
        *normalized = mExporter->Plugin()->NormalizeParameterValue(id, value);
        return true;
    }

    void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) override {
        mExporter->Process(inputs, mChannels, outputs, mChannels, 0, frames);
    }
    bool ProcessDouble(const double* const* inputs, double* const* outputs, int frames) override {
        mExporter->Process(inputs, mChannels, outputs, mChannels, 0, frames);
        return true;
    }

    std::vector<std::uint8_t> SaveState() override {
        IStateChunk chunk;
        if (!mExporter->SaveProgram(chunk)) return {};
        return std::vector<std::uint8_t>(chunk.Data(), chunk.Data() + chunk.Length());
    }
    bool LoadState(const std::vector<std::uint8_t>& bytes) override {
        IStateChunk chunk;
        if (!chunk.Resize(static_cast<int>(bytes.size()))) return false;
        if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), chunk.Data());
        return mExporter->LoadChunk(chunk, false);
    }

    int Latency() override { return mExporter->Latency(); }

private:
    std::unique_ptr<PluginExporter> mExporter;
    int mChannels = 2;
};

const RegisterFormatDriver kCore("core", [] { return std::make_unique<CoreDriver>(); });

}  // namespace
