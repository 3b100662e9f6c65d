// Loads the built plug-in library once per test executable and drives each
// instance only through its effect record, as a host does.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/vst/test_host.h"
#include "vst/plugin_module.h"

inline PluginModule& LoadedPlugin() {
    static PluginModule module;
    static const bool opened = [] {
        std::string error;
        const bool ok = module.Open(VELMOR_PLUGIN_PATH, error);
        if (!ok) ADD_FAILURE() << error;
        return ok;
    }();
    (void)opened;
    return module;
}

inline AEffect* CreatePlugin() {
    std::string error;
    AEffect* effect = LoadedPlugin().CreateEffect(TestHost::Callback, error);
    EXPECT_NE(effect, nullptr) << error;
    return effect;
}

inline VstIntPtr Dispatch(AEffect* e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f) {
    return e->dispatcher(e, op, index, value, ptr, opt);
}

// Opens the instance and prepares it for audio as a host does.
inline void StartAudio(AEffect* e, float rate = 44100.0f, VstIntPtr block = 512) {
    Dispatch(e, effOpen);
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, rate);
    Dispatch(e, effSetBlockSize, 0, block);
    Dispatch(e, effMainsChanged, 0, 1);
}

inline std::string Text(AEffect* e, VstInt32 op, VstInt32 index = 0) {
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    Dispatch(e, op, index, 0, buffer);
    return buffer;
}

inline std::vector<unsigned char> GetChunk(AEffect* e, VstInt32 index) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(e, effGetChunk, index, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

inline VstIntPtr SetChunk(AEffect* e, VstInt32 index, const std::vector<unsigned char>& bytes) {
    return Dispatch(e, effSetChunk, index, static_cast<VstIntPtr>(bytes.size()),
                    const_cast<unsigned char*>(bytes.data()));
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestHost::Get().Reset();
        fx = CreatePlugin();
        ASSERT_NE(fx, nullptr);
    }
    void TearDown() override {
        if (fx) Dispatch(fx, effClose);
    }
    void Set(VstInt32 index, float x) { fx->setParameter(fx, index, x); }
    float Get(VstInt32 index) { return fx->getParameter(fx, index); }
    std::string Display(VstInt32 index) { return Text(fx, effGetParamDisplay, index); }

    AEffect* fx = nullptr;
};
