// The objects a VST 3 host hands its plug-ins: the host application (which
// makes messages and attribute lists), a memory stream for states, the
// parameter changes of one block, the component handler that hears edits
// and restarts, and the editor's frame with the run loop of a Linux host.
// velmor-host and the tests host plug-ins with them.
//
// Ownership: the host code owns these objects (plug-ins only borrow them,
// or count references that never free them), except messages and attribute
// lists, which the last release deletes. Threads: each object belongs to
// the thread that uses it, except the component handler, whose calls may
// come from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vst3/vst3_abi.h"

// FUnknown for a host object that its owner deletes: the count is kept for
// show (plug-ins must not act on it) and never frees the object.
#define VELMOR_VST3_HOST_REFERENCES                      \
    std::uint32_t addRef() override { return ++mRefs; }  \
    std::uint32_t release() override { return --mRefs; } \
    std::atomic<std::uint32_t> mRefs{1};

// True when iid is FUnknown's or one of the given ones; stores self then.
bool AnswerQuery(const char* iid, void** obj, void* self, std::initializer_list<const vst3::Uid*> iids);

class HostStream final : public vst3::IBStream {
public:
    HostStream() = default;
    explicit HostStream(std::vector<std::uint8_t> bytes) : mBytes(std::move(bytes)) {}

    vst3::tresult queryInterface(const char* iid, void** obj) override;
    VELMOR_VST3_HOST_REFERENCES
    vst3::tresult read(void* buffer, std::int32_t numBytes, std::int32_t* numBytesRead) override;
    vst3::tresult write(void* buffer, std::int32_t numBytes, std::int32_t* numBytesWritten) override;
    vst3::tresult seek(std::int64_t pos, std::int32_t mode, std::int64_t* result) override;
    vst3::tresult tell(std::int64_t* pos) override;

    const std::vector<std::uint8_t>& Bytes() const { return mBytes; }
    void Rewind() { mPosition = 0; }

private:
    std::vector<std::uint8_t> mBytes;
    std::int64_t mPosition = 0;
};

class HostParamQueue final : public vst3::IParamValueQueue {
public:
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    VELMOR_VST3_HOST_REFERENCES
    vst3::ParamID getParameterId() override { return mId; }
    std::int32_t getPointCount() override { return static_cast<std::int32_t>(mPoints.size()); }
    vst3::tresult getPoint(std::int32_t index, std::int32_t* sampleOffset, vst3::ParamValue* value) override;
    vst3::tresult addPoint(std::int32_t sampleOffset, vst3::ParamValue value, std::int32_t* index) override;

    vst3::ParamID mId = 0;
    std::vector<std::pair<std::int32_t, double>> mPoints;
};

// One block's parameter changes, in the order they were added. Reserved up
// front, so a host's audio thread adds points without allocating while it
// stays within kCapacity parameters and kPointCapacity points each.
class HostParameterChanges final : public vst3::IParameterChanges {
public:
    static constexpr int kCapacity = 64;
    static constexpr int kPointCapacity = 64;
    HostParameterChanges();

    vst3::tresult queryInterface(const char* iid, void** obj) override;
    VELMOR_VST3_HOST_REFERENCES
    std::int32_t getParameterCount() override { return mUsed; }
    vst3::IParamValueQueue* getParameterData(std::int32_t index) override;
    vst3::IParamValueQueue* addParameterData(const vst3::ParamID* id, std::int32_t* index) override;

    // A point for parameter id at offset; false when the list is full.
    bool Add(vst3::ParamID id, std::int32_t offset, double value);
    // Parameter id's value from the block's start, replacing any point it
    // had (a host's change between blocks: only the last one counts).
    bool Set(vst3::ParamID id, double value);
    bool Empty() const { return mUsed == 0; }
    void Clear();

private:
    std::vector<HostParamQueue> mQueues;
    int mUsed = 0;
};

// What a plug-in told its host, in order.
struct HandlerCall {
    enum Kind { kBegin, kPerform, kEnd, kRestart } kind;
    vst3::ParamID id;
    double value;
    std::int32_t flags;
};

class HostComponentHandler final : public vst3::IComponentHandler {
public:
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    VELMOR_VST3_HOST_REFERENCES
    vst3::tresult beginEdit(vst3::ParamID id) override;
    vst3::tresult performEdit(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
    vst3::tresult endEdit(vst3::ParamID id) override;
    vst3::tresult restartComponent(std::int32_t flags) override;

    std::vector<HandlerCall> Calls() const;
    int Count(HandlerCall::Kind kind, vst3::ParamID id = 0xFFFFFFFF) const;
    void Reset();
    // The restart flags asked for since the last call.
    std::int32_t TakeRestartFlags() { return mRestartFlags.exchange(0); }

private:
    void Record(const HandlerCall& call);
    mutable std::mutex mLock;
    std::vector<HandlerCall> mCalls;
    std::atomic<std::int32_t> mRestartFlags{0};
};

// The host context: its name, and messages and attribute lists on request.
class HostApplication final : public vst3::IHostApplication {
public:
    explicit HostApplication(std::string name) : mName(std::move(name)) {}
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    VELMOR_VST3_HOST_REFERENCES
    vst3::tresult getName(vst3::char16* name) override;
    vst3::tresult createInstance(char* cid, char* iid, void** obj) override;

private:
    std::string mName;
};

// A message through the host between a plug-in's two halves, deleted by its
// last release.
class HostAttributeList final : public vst3::IAttributeList {
public:
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    std::uint32_t addRef() override { return ++mRefs; }
    std::uint32_t release() override;
    vst3::tresult setInt(const char* id, std::int64_t value) override;
    vst3::tresult getInt(const char* id, std::int64_t* value) override;
    vst3::tresult setFloat(const char* id, double value) override;
    vst3::tresult getFloat(const char* id, double* value) override;
    vst3::tresult setString(const char* id, const vst3::char16* string) override;
    vst3::tresult getString(const char* id, vst3::char16* string, std::uint32_t sizeInBytes) override;
    vst3::tresult setBinary(const char* id, const void* data, std::uint32_t sizeInBytes) override;
    vst3::tresult getBinary(const char* id, const void** data, std::uint32_t* sizeInBytes) override;

private:
    std::atomic<std::uint32_t> mRefs{1};
    std::map<std::string, std::int64_t> mInts;
    std::map<std::string, double> mFloats;
    std::map<std::string, std::u16string> mStrings;
    std::map<std::string, std::vector<std::uint8_t>> mBinaries;
};

class HostMessage final : public vst3::IMessage {
public:
    HostMessage();
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    std::uint32_t addRef() override { return ++mRefs; }
    std::uint32_t release() override;
    vst3::FIDString getMessageID() override { return mId.c_str(); }
    void setMessageID(vst3::FIDString id) override { mId = id ? id : ""; }
    vst3::IAttributeList* getAttributes() override { return mAttributes; }

private:
    ~HostMessage();
    std::atomic<std::uint32_t> mRefs{1};
    std::string mId;
    HostAttributeList* mAttributes;
};

// The frame around a plug-in's view: resize requests are granted (and
// recorded), and on Linux it is the run loop, whose timers and file
// handlers run from RunDue on the host's GUI thread.
class HostPlugFrame final : public vst3::IPlugFrame, public vst3::IRunLoop {
public:
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    VELMOR_VST3_HOST_REFERENCES
    vst3::tresult resizeView(vst3::IPlugView* view, vst3::ViewRect* newSize) override;
    vst3::tresult registerEventHandler(vst3::IEventHandler* handler, int fd) override;
    vst3::tresult unregisterEventHandler(vst3::IEventHandler* handler) override;
    vst3::tresult registerTimer(vst3::ITimerHandler* handler, std::uint64_t milliseconds) override;
    vst3::tresult unregisterTimer(vst3::ITimerHandler* handler) override;

    // Calls the timers that are due and the handlers of readable files.
    void RunDue();
    int TimerCount() const { return static_cast<int>(mTimers.size()); }
    int HandlerCount() const { return static_cast<int>(mHandlers.size()); }
    std::uint64_t TimerInterval(int i) const { return mTimers[static_cast<std::size_t>(i)].interval; }
    int Resizes() const { return mResizes; }
    // Answer IRunLoop (true) or not, as hosts without one do.
    bool mOffersRunLoop = true;

private:
    struct Timer {
        vst3::ITimerHandler* handler;
        std::uint64_t interval;
        std::chrono::steady_clock::time_point due;
    };
    std::vector<Timer> mTimers;
    std::vector<std::pair<vst3::IEventHandler*, int>> mHandlers;
    int mResizes = 0;
};
