// The built VST 3 bundle through GetPluginFactory and its interfaces, as a
// host drives it (tests/vst3/vst3_test_instance.h): parameter changes go to
// the audio in flush calls, so they apply at once.
#include "tests/formats/format_driver.h"
#include "tests/vst3/vst3_test_instance.h"
#include "vst3/vst3_text.h"

namespace {

using namespace vst3;

class Vst3Driver : public IFormatDriver {
public:
    bool Start(double rate, int maxBlock, int channels, std::string& error) override {
        return mFx.Start(rate, maxBlock, channels, error);
    }
    void Suspend() override { mFx.Suspend(); }
    void Resume() override { mFx.Resume(); }

    int ParameterCount() override { return mFx.Controller()->getParameterCount(); }
    std::string ParameterName(int id) override {
        ParameterInfo info{};
        if (mFx.Controller()->getParameterInfo(id, &info) != kResultOk) return "";
        return Utf8FromUtf16(info.title, 128);
    }
    void SetParameter(int id, double normalized) override { mFx.SetParameter(id, normalized); }
    double GetParameter(int id) override { return mFx.GetParameter(id); }
    std::string ParameterText(int id) override { return mFx.ParameterText(id, GetParameter(id)); }
    bool ParseParameter(int id, const std::string& text, double* normalized) override {
        String128 wide{};
        CopyToUtf16(wide, text.c_str());
        return mFx.Controller()->getParamValueByString(static_cast<ParamID>(id), wide, normalized) == kResultOk;
    }

    // The set-up announced 32-bit samples; the adapter reads each call's
    // sample size, so both paths run on the one instance as the test asks.
    void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) override {
        mFx.Process(inputs, outputs, frames);
    }
    bool ProcessDouble(const double* const* inputs, double* const* outputs, int frames) override {
        mFx.Process(inputs, outputs, frames);
        return true;
    }

    std::vector<std::uint8_t> SaveState() override { return mFx.SaveState(); }
    bool LoadState(const std::vector<std::uint8_t>& bytes) override { return mFx.LoadState(bytes); }
    int Latency() override { return static_cast<int>(mFx.Processor()->getLatencySamples()); }

private:
    Vst3TestInstance mFx;
};

const RegisterFormatDriver kVst3("vst3", [] { return std::make_unique<Vst3Driver>(); });

}  // namespace
