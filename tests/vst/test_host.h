// A recording stand-in for a VST 2.4 host: answers the requests a plug-in
// makes with configurable values and keeps a log of every call. One process-
// wide instance, since a host callback is a plain function; all access is
// under a mutex so audio and UI threads may call at once.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "vst/vst2_abi.h"

struct HostCall {
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f;
};

// An event the plug-in sent with audioMasterProcessEvents, copied during
// the call (the plug-in's records live on its stack).
struct SentEvent {
    VstInt32 type = 0;
    VstInt32 byteSize = 0;
    VstInt32 deltaFrames = 0;
    unsigned char midiData[4] = {};
    VstInt32 dumpBytes = 0;
    const char* sysexDump = nullptr;
};

class TestHost {
public:
    static TestHost& Get();
    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt);

    // Forgets the log and restores the default answers.
    void Reset();

    // Answers.
    void SetProductString(const std::string& text);
    void SetVendorVersion(VstIntPtr version);
    void SetProcessLevel(VstIntPtr level);
    void SetProcessEventsAnswer(VstIntPtr answer);
    // Null stops answering audioMasterGetTime.
    void SetTimeInfo(const VstTimeInfo* time);

    std::vector<HostCall> Calls() const;
    int CountOf(VstInt32 opcode) const;
    std::vector<SentEvent> SentEvents() const;

private:
    mutable std::mutex mMutex;
    std::string mProduct = "Test Host";
    VstIntPtr mVendorVersion = 0;
    VstIntPtr mProcessLevel = 0;
    VstIntPtr mProcessEventsAnswer = 1;
    bool mAnswerTime = false;
    VstTimeInfo mTime{};
    std::vector<HostCall> mCalls;
    std::vector<SentEvent> mEvents;
};
