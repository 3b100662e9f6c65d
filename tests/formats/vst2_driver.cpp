// The built VST 2.4 library through VSTPluginMain and its effect record, as a
// host drives it.
#include <cstdint>
#include <cstring>

#include "tests/formats/format_driver.h"
#include "vst/plugin_module.h"

namespace {

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

PluginModule& Module() {
    static PluginModule module;
    return module;
}

class Vst2Driver : public IFormatDriver {
public:
    ~Vst2Driver() override {
        if (mFx) Send(effClose);
    }
    bool Start(double rate, int maxBlock, int channels, std::string& error) override {
        if (!Module().IsOpen() && !Module().Open(VELMOR_VST2_PATH, error)) return false;
        mFx = Module().CreateEffect(SilentHost, error);
        if (!mFx) return false;
        Send(effOpen);
        Send(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        Send(effSetBlockSize, 0, maxBlock);
        VstSpeakerArrangement in{}, out{};
        in.type = out.type = channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
        in.numChannels = out.numChannels = channels;
        Send(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
        Send(effMainsChanged, 0, 1);
        mChannels = channels;
        return true;
    }
    void Suspend() override { Send(effMainsChanged, 0, 0); }
    void Resume() override { Send(effMainsChanged, 0, 1); }

    int ParameterCount() override { return mFx->numParams; }
    std::string ParameterName(int id) override { return Text(effGetParamName, id); }
    void SetParameter(int id, double normalized) override {
        mFx->setParameter(mFx, id, static_cast<float>(normalized));
    }
    double GetParameter(int id) override { return mFx->getParameter(mFx, id); }
    std::string ParameterText(int id) override { return Text(effGetParamDisplay, id); }
    // effString2Parameter sets the value; the reading is what it set.
    bool ParseParameter(int id, const std::string& text, double* normalized) override {
        if (Send(effString2Parameter, id, 0, const_cast<char*>(text.c_str())) != 1) return false;
        *normalized = GetParameter(id);
        return true;
    }

    // The record has two of each; a mono instance's second ones stay
    // unconnected, but the host still hands a pointer for each.
    void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) override {
        float* ins[2] = {const_cast<float*>(inputs[0]), const_cast<float*>(inputs[mono() ? 0 : 1])};
        float* outs[2] = {outputs[0], mono() ? outputs[0] : outputs[1]};
        mFx->processReplacing(mFx, ins, outs, frames);
    }
    bool ProcessDouble(const double* const* inputs, double* const* outputs, int frames) override {
        double* ins[2] = {const_cast<double*>(inputs[0]), const_cast<double*>(inputs[mono() ? 0 : 1])};
        double* outs[2] = {outputs[0], mono() ? outputs[0] : outputs[1]};
        mFx->processDoubleReplacing(mFx, ins, outs, frames);
        return true;
    }

    std::vector<std::uint8_t> SaveState() override {
        void* data = nullptr;
        const VstIntPtr size = Send(effGetChunk, 1, 0, &data);
        if (size <= 0 || !data) return {};
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }
    bool LoadState(const std::vector<std::uint8_t>& bytes) override {
        return Send(effSetChunk, 1, static_cast<VstIntPtr>(bytes.size()), const_cast<std::uint8_t*>(bytes.data())) == 1;
    }

    int Latency() override { return mFx->initialDelay; }

private:
    bool mono() const { return mChannels == 1; }
    VstIntPtr Send(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return mFx->dispatcher(mFx, op, index, value, ptr, opt);
    }
    std::string Text(VstInt32 op, int id) {
        char text[256] = {};
        Send(op, id, 0, text);
        return text;
    }

    AEffect* mFx = nullptr;
    int mChannels = 2;
};

const RegisterFormatDriver kVst2("vst2", [] { return std::make_unique<Vst2Driver>(); });

}  // namespace
