#include "vst3/host/host_objects.h"

#include <algorithm>
#include <cstring>

#if !defined(_WIN32)
#include <poll.h>
#endif

#include "vst3/vst3_text.h"

using namespace vst3;

bool AnswerQuery(const char* iid, void** obj, void* self, std::initializer_list<const Uid*> iids) {
    if (!obj) return false;
    *obj = nullptr;
    bool known = SameUid(iid, kFUnknownIid);
    for (const Uid* uid : iids) known = known || SameUid(iid, *uid);
    if (known) *obj = self;
    return known;
}

namespace {

tresult Answer(const char* iid, void** obj, FUnknown* self, std::initializer_list<const Uid*> iids) {
    if (!obj) return kInvalidArgument;
    if (!AnswerQuery(iid, obj, self, iids)) return kNoInterface;
    self->addRef();
    return kResultOk;
}

}  // namespace

// ---- HostStream ----

tresult HostStream::queryInterface(const char* iid, void** obj) { return Answer(iid, obj, this, {&kIBStreamIid}); }

tresult HostStream::read(void* buffer, std::int32_t numBytes, std::int32_t* numBytesRead) {
    if (numBytesRead) *numBytesRead = 0;
    if (!buffer || numBytes < 0) return kInvalidArgument;
    const std::int64_t left = static_cast<std::int64_t>(mBytes.size()) - mPosition;
    const std::int32_t n = static_cast<std::int32_t>(std::max<std::int64_t>(0, std::min<std::int64_t>(left, numBytes)));
    if (n > 0) std::memcpy(buffer, mBytes.data() + mPosition, static_cast<std::size_t>(n));
    mPosition += n;
    if (numBytesRead) *numBytesRead = n;
    return kResultOk;
}

tresult HostStream::write(void* buffer, std::int32_t numBytes, std::int32_t* numBytesWritten) {
    if (numBytesWritten) *numBytesWritten = 0;
    if (!buffer || numBytes < 0) return kInvalidArgument;
    const auto end = static_cast<std::size_t>(mPosition) + static_cast<std::size_t>(numBytes);
    if (end > mBytes.size()) mBytes.resize(end);
    std::memcpy(mBytes.data() + mPosition, buffer, static_cast<std::size_t>(numBytes));
    mPosition = static_cast<std::int64_t>(end);
    if (numBytesWritten) *numBytesWritten = numBytes;
    return kResultOk;
}

tresult HostStream::seek(std::int64_t pos, std::int32_t mode, std::int64_t* result) {
    std::int64_t base = 0;
    if (mode == kIBSeekCur) base = mPosition;
    if (mode == kIBSeekEnd) base = static_cast<std::int64_t>(mBytes.size());
    if (mode < kIBSeekSet || mode > kIBSeekEnd || base + pos < 0) return kInvalidArgument;
    mPosition = base + pos;
    if (result) *result = mPosition;
    return kResultOk;
}

tresult HostStream::tell(std::int64_t* pos) {
    if (!pos) return kInvalidArgument;
    *pos = mPosition;
    return kResultOk;
}

// ---- Parameter changes ----

tresult HostParamQueue::queryInterface(const char* iid, void** obj) {
    return Answer(iid, obj, this, {&kIParamValueQueueIid});
}

tresult HostParamQueue::getPoint(std::int32_t index, std::int32_t* sampleOffset, ParamValue* value) {
    if (index < 0 || index >= getPointCount() || !sampleOffset || !value) return kInvalidArgument;
    *sampleOffset = mPoints[static_cast<std::size_t>(index)].first;
    *value = mPoints[static_cast<std::size_t>(index)].second;
    return kResultOk;
}

tresult HostParamQueue::addPoint(std::int32_t sampleOffset, ParamValue value, std::int32_t* index) {
    if (mPoints.size() >= static_cast<std::size_t>(HostParameterChanges::kPointCapacity)) return kResultFalse;
    mPoints.emplace_back(sampleOffset, value);
    if (index) *index = getPointCount() - 1;
    return kResultOk;
}

HostParameterChanges::HostParameterChanges() : mQueues(kCapacity) {
    for (HostParamQueue& q : mQueues) q.mPoints.reserve(kPointCapacity);
}

tresult HostParameterChanges::queryInterface(const char* iid, void** obj) {
    return Answer(iid, obj, this, {&kIParameterChangesIid});
}

IParamValueQueue* HostParameterChanges::getParameterData(std::int32_t index) {
    return index >= 0 && index < mUsed ? &mQueues[static_cast<std::size_t>(index)] : nullptr;
}

IParamValueQueue* HostParameterChanges::addParameterData(const ParamID* id, std::int32_t* index) {
    if (!id) return nullptr;
    for (int i = 0; i < mUsed; ++i) {
        if (mQueues[static_cast<std::size_t>(i)].mId == *id) {
            if (index) *index = i;
            return &mQueues[static_cast<std::size_t>(i)];
        }
    }
    if (mUsed >= kCapacity) return nullptr;
    HostParamQueue& q = mQueues[static_cast<std::size_t>(mUsed)];
    q.mId = *id;
    q.mPoints.clear();
    if (index) *index = mUsed;
    ++mUsed;
    return &q;
}

bool HostParameterChanges::Add(ParamID id, std::int32_t offset, double value) {
    IParamValueQueue* q = addParameterData(&id, nullptr);
    return q && q->addPoint(offset, value, nullptr) == kResultOk;
}

bool HostParameterChanges::Set(ParamID id, double value) {
    auto* q = static_cast<HostParamQueue*>(addParameterData(&id, nullptr));
    if (!q) return false;
    q->mPoints.clear();
    q->mPoints.emplace_back(0, value);
    return true;
}

void HostParameterChanges::Clear() {
    for (int i = 0; i < mUsed; ++i) mQueues[static_cast<std::size_t>(i)].mPoints.clear();
    mUsed = 0;
}

// ---- Component handler ----

tresult HostComponentHandler::queryInterface(const char* iid, void** obj) {
    return Answer(iid, obj, this, {&kIComponentHandlerIid});
}

void HostComponentHandler::Record(const HandlerCall& call) {
    std::lock_guard<std::mutex> guard(mLock);
    mCalls.push_back(call);
}

tresult HostComponentHandler::beginEdit(ParamID id) {
    Record({HandlerCall::kBegin, id, 0.0, 0});
    return kResultOk;
}

tresult HostComponentHandler::performEdit(ParamID id, ParamValue valueNormalized) {
    Record({HandlerCall::kPerform, id, valueNormalized, 0});
    return kResultOk;
}

tresult HostComponentHandler::endEdit(ParamID id) {
    Record({HandlerCall::kEnd, id, 0.0, 0});
    return kResultOk;
}

tresult HostComponentHandler::restartComponent(std::int32_t flags) {
    Record({HandlerCall::kRestart, 0, 0.0, flags});
    mRestartFlags.fetch_or(flags);
    return kResultOk;
}

std::vector<HandlerCall> HostComponentHandler::Calls() const {
    std::lock_guard<std::mutex> guard(mLock);
    return mCalls;
}

int HostComponentHandler::Count(HandlerCall::Kind kind, ParamID id) const {
    std::lock_guard<std::mutex> guard(mLock);
    int n = 0;
    for (const HandlerCall& c : mCalls) n += c.kind == kind && (id == 0xFFFFFFFF || c.id == id);
    return n;
}

void HostComponentHandler::Reset() {
    std::lock_guard<std::mutex> guard(mLock);
    mCalls.clear();
    mRestartFlags = 0;
}

// ---- Host application, messages ----

tresult HostApplication::queryInterface(const char* iid, void** obj) {
    return Answer(iid, obj, this, {&kIHostApplicationIid});
}

tresult HostApplication::getName(char16* name) {
    if (!name) return kInvalidArgument;
    CopyToUtf16(name, 128, mName.c_str());
    return kResultOk;
}

tresult HostApplication::createInstance(char* cid, char* iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (SameUid(cid, kIMessageIid) && SameUid(iid, kIMessageIid)) {
        *obj = static_cast<IMessage*>(new HostMessage());
        return kResultOk;
    }
    if (SameUid(cid, kIAttributeListIid) && SameUid(iid, kIAttributeListIid)) {
        *obj = static_cast<IAttributeList*>(new HostAttributeList());
        return kResultOk;
    }
    return kNoInterface;
}

tresult HostAttributeList::queryInterface(const char* iid, void** obj) {
    return Answer(iid, obj, this, {&kIAttributeListIid});
}

std::uint32_t HostAttributeList::release() {
    const std::uint32_t left = --mRefs;
    if (left == 0) delete this;
    return left;
}

tresult HostAttributeList::setInt(const char* id, std::int64_t value) {
    if (!id) return kInvalidArgument;
    mInts[id] = value;
    return kResultOk;
}

tresult HostAttributeList::getInt(const char* id, std::int64_t* value) {
    if (!id || !value || !mInts.count(id)) return kResultFalse;
    *value = mInts[id];
    return kResultOk;
}

tresult HostAttributeList::setFloat(const char* id, double value) {
    if (!id) return kInvalidArgument;
    mFloats[id] = value;
    return kResultOk;
}

tresult HostAttributeList::getFloat(const char* id, double* value) {
    if (!id || !value || !mFloats.count(id)) return kResultFalse;
    *value = mFloats[id];
    return kResultOk;
}

tresult HostAttributeList::setString(const char* id, const char16* string) {
    if (!id || !string) return kInvalidArgument;
    mStrings[id] = std::u16string(string);
    return kResultOk;
}

tresult HostAttributeList::getString(const char* id, char16* string, std::uint32_t sizeInBytes) {
    if (!id || !string || sizeInBytes < sizeof(char16) || !mStrings.count(id)) return kResultFalse;
    const std::u16string& s = mStrings[id];
    const std::size_t units = std::min<std::size_t>(s.size(), sizeInBytes / sizeof(char16) - 1);
    std::copy(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(units), string);
    string[units] = 0;
    return kResultOk;
}

tresult HostAttributeList::setBinary(const char* id, const void* data, std::uint32_t sizeInBytes) {
    if (!id || (!data && sizeInBytes > 0)) return kInvalidArgument;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    mBinaries[id].assign(bytes, bytes + sizeInBytes);
    return kResultOk;
}

tresult HostAttributeList::getBinary(const char* id, const void** data, std::uint32_t* sizeInBytes) {
    if (!id || !data || !sizeInBytes || !mBinaries.count(id)) return kResultFalse;
    const std::vector<std::uint8_t>& b = mBinaries[id];
    *data = b.data();
    *sizeInBytes = static_cast<std::uint32_t>(b.size());
    return kResultOk;
}

HostMessage::HostMessage() : mAttributes(new HostAttributeList()) {}
HostMessage::~HostMessage() { mAttributes->release(); }

tresult HostMessage::queryInterface(const char* iid, void** obj) { return Answer(iid, obj, this, {&kIMessageIid}); }

std::uint32_t HostMessage::release() {
    const std::uint32_t left = --mRefs;
    if (left == 0) delete this;
    return left;
}

// ---- Frame and run loop ----

tresult HostPlugFrame::queryInterface(const char* iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (SameUid(iid, kFUnknownIid) || SameUid(iid, kIPlugFrameIid)) {
        *obj = static_cast<IPlugFrame*>(this);
    } else if (mOffersRunLoop && SameUid(iid, kIRunLoopIid)) {
        *obj = static_cast<IRunLoop*>(this);
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

tresult HostPlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
    if (!view || !newSize) return kInvalidArgument;
    ++mResizes;
    return view->onSize(newSize);
}

tresult HostPlugFrame::registerEventHandler(IEventHandler* handler, int fd) {
    if (!handler) return kInvalidArgument;
    for (const auto& h : mHandlers)
        if (h.second == fd) return kInvalidArgument;  // one handler per descriptor, as hosts allow
    mHandlers.emplace_back(handler, fd);
    return kResultOk;
}

tresult HostPlugFrame::unregisterEventHandler(IEventHandler* handler) {
    const auto before = mHandlers.size();
    mHandlers.erase(std::remove_if(mHandlers.begin(), mHandlers.end(),
                                   [handler](const std::pair<IEventHandler*, int>& h) { return h.first == handler; }),
                    mHandlers.end());
    return mHandlers.size() < before ? kResultOk : kInvalidArgument;
}

tresult HostPlugFrame::registerTimer(ITimerHandler* handler, std::uint64_t milliseconds) {
    if (!handler || milliseconds == 0) return kInvalidArgument;  // a 0 ms timer would spin the host's loop
    mTimers.push_back(
        {handler, milliseconds, std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)});
    return kResultOk;
}

tresult HostPlugFrame::unregisterTimer(ITimerHandler* handler) {
    const auto before = mTimers.size();
    mTimers.erase(
        std::remove_if(mTimers.begin(), mTimers.end(), [handler](const Timer& t) { return t.handler == handler; }),
        mTimers.end());
    return mTimers.size() < before ? kResultOk : kInvalidArgument;
}

void HostPlugFrame::RunDue() {
    const auto now = std::chrono::steady_clock::now();
    // Copies: a callback may unregister itself or another.
    const std::vector<Timer> timers = mTimers;
    for (const Timer& t : timers) {
        auto it = std::find_if(mTimers.begin(), mTimers.end(), [&t](const Timer& x) { return x.handler == t.handler; });
        if (it == mTimers.end() || it->due > now) continue;
        it->due = now + std::chrono::milliseconds(it->interval);
        t.handler->onTimer();
    }
#if !defined(_WIN32)
    const std::vector<std::pair<IEventHandler*, int>> handlers = mHandlers;
    for (const auto& h : handlers) {
        pollfd p{h.second, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) h.first->onFDIsSet(h.second);
    }
#endif
}
