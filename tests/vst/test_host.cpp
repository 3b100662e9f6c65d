#include "tests/vst/test_host.h"

#include <cstring>

TestHost& TestHost::Get() {
    static TestHost host;
    return host;
}

VstIntPtr VSTCALLBACK TestHost::Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                         float opt) {
    TestHost& host = Get();
    std::lock_guard<std::mutex> guard(host.mMutex);
    host.mCalls.push_back(HostCall{opcode, index, value, opt});
    switch (opcode) {
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterGetProductString:
            // The plug-in's buffer is at least 64 bytes as published.
            if (ptr) std::strncpy(static_cast<char*>(ptr), host.mProduct.c_str(), 63);
            return ptr ? 1 : 0;
        case audioMasterGetVendorVersion:
            return host.mVendorVersion;
        case audioMasterGetCurrentProcessLevel:
            return host.mProcessLevel;
        case audioMasterGetTime:
            return host.mAnswerTime ? reinterpret_cast<VstIntPtr>(&host.mTime) : 0;
        case audioMasterProcessEvents: {
            const auto* events = static_cast<const VstEvents*>(ptr);
            // A variable-length list behind a declared [2]: walked by pointer.
            VstEvent* const* list = events ? events->events : nullptr;
            for (VstInt32 i = 0; events && i < events->numEvents; ++i) {
                const VstEvent* e = list[i];
                SentEvent sent;
                sent.type = e->type;
                sent.byteSize = e->byteSize;
                sent.deltaFrames = e->deltaFrames;
                if (e->type == kVstMidiType) {
                    std::memcpy(sent.midiData, reinterpret_cast<const VstMidiEvent*>(e)->midiData, 4);
                } else if (e->type == kVstSysExType) {
                    const auto* s = reinterpret_cast<const VstMidiSysexEvent*>(e);
                    sent.dumpBytes = s->dumpBytes;
                    sent.sysexDump = s->sysexDump;
                }
                host.mEvents.push_back(sent);
            }
            return host.mProcessEventsAnswer;
        }
        default:
            return 0;
    }
}

void TestHost::Reset() {
    std::lock_guard<std::mutex> guard(mMutex);
    mProduct = "Test Host";
    mVendorVersion = 0;
    mProcessLevel = 0;
    mProcessEventsAnswer = 1;
    mAnswerTime = false;
    mTime = VstTimeInfo{};
    mCalls.clear();
    mEvents.clear();
}

void TestHost::SetProductString(const std::string& text) {
    std::lock_guard<std::mutex> guard(mMutex);
    mProduct = text;
}

void TestHost::SetVendorVersion(VstIntPtr version) {
    std::lock_guard<std::mutex> guard(mMutex);
    mVendorVersion = version;
}

void TestHost::SetProcessLevel(VstIntPtr level) {
    std::lock_guard<std::mutex> guard(mMutex);
    mProcessLevel = level;
}

void TestHost::SetProcessEventsAnswer(VstIntPtr answer) {
    std::lock_guard<std::mutex> guard(mMutex);
    mProcessEventsAnswer = answer;
}

void TestHost::SetTimeInfo(const VstTimeInfo* time) {
    std::lock_guard<std::mutex> guard(mMutex);
    mAnswerTime = time != nullptr;
    if (time) mTime = *time;
}

std::vector<HostCall> TestHost::Calls() const {
    std::lock_guard<std::mutex> guard(mMutex);
    return mCalls;
}

int TestHost::CountOf(VstInt32 opcode) const {
    std::lock_guard<std::mutex> guard(mMutex);
    int n = 0;
    for (const HostCall& call : mCalls) n += call.opcode == opcode ? 1 : 0;
    return n;
}

std::vector<SentEvent> TestHost::SentEvents() const {
    std::lock_guard<std::mutex> guard(mMutex);
    return mEvents;
}
