// The editor's edits on their way to the host: gesture begin, value and
// gesture end of each parameter, in the order the user made them, from the
// editor's thread (the host's main thread) to whichever thread hands them
// out next (process on the audio thread, or params.flush). A CLAP plug-in
// may tell the host of its own changes only inside those two calls.
//
// One producer (the editor's thread) and one consumer at a time (the host
// never runs process and flush concurrently), through a fixed ring: pushing
// and draining never allocate, lock or wait. The consumer keeps gestures
// balanced, as a host requires: a begin for a gesture already open or an end
// for one that is not are dropped (the editor closes a double click twice).
// When the ring is full an edit is not lost: its parameter is marked, and the
// next drain sends the parameter's latest value and brings each gesture to
// the state the editor left it in.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class EditQueue {
public:
    enum class Kind : std::uint8_t { kBegin, kValue, kEnd };
    struct Edit {
        Kind kind;
        int index;
        double value;  // kValue: the parameter's plain value
    };

    // A queue for parameters 0..paramCount-1 holding up to capacity edits
    // (a power of two).
    EditQueue(int paramCount, int capacity);
    EditQueue(const EditQueue&) = delete;
    EditQueue& operator=(const EditQueue&) = delete;

    // ---- Producer: the editor's thread. ----
    void Begin(int index);
    void Value(int index, double value);
    void End(int index);

    // ---- Consumer: the thread of process or flush. ----
    // Calls send(edit) for every edit in order, then for what a full ring
    // left out (latest(index) gives that parameter's value now). An edit
    // send refuses (false: the host's list is full) stays for the next drain.
    template <typename Send, typename Latest>
    void Drain(Send send, Latest latest);

    // True when edits wait (any thread; a hint for asking the host to flush).
    bool Pending() const;

private:
    bool Push(const Edit& edit);
    // The edit with its gesture rules applied; false when it must be dropped.
    bool Admit(const Edit& edit) const;
    // Records a sent gesture edit.
    void Note(const Edit& edit) {
        if (edit.kind != Kind::kValue) mSentOpen[edit.index] = edit.kind == Kind::kBegin;
    }
    template <typename Send>
    bool SendNoted(Send& send, const Edit& edit) {
        if (!send(edit)) return false;
        Note(edit);
        return true;
    }

    const int mCount;
    const std::uint32_t mMask;
    std::unique_ptr<Edit[]> mRing;
    std::atomic<std::uint32_t> mHead{0};  // next to write (producer)
    std::atomic<std::uint32_t> mTail{0};  // next to read (consumer)
    // Producer side: what the editor has open, and edits the ring could not
    // take. Read by the consumer.
    std::unique_ptr<std::atomic<bool>[]> mOpen;
    std::unique_ptr<std::atomic<bool>[]> mLostValue;
    std::atomic<bool> mLost{false};
    // Consumer side only: the gestures the host has been told are open.
    std::unique_ptr<bool[]> mSentOpen;
};

template <typename Send, typename Latest>
void EditQueue::Drain(Send send, Latest latest) {
    std::uint32_t tail = mTail.load(std::memory_order_relaxed);
    const std::uint32_t head = mHead.load(std::memory_order_acquire);
    for (; tail != head; ++tail) {
        const Edit& edit = mRing[tail & mMask];
        if (Admit(edit)) {
            if (!send(edit)) break;
            Note(edit);
        }
    }
    mTail.store(tail, std::memory_order_release);
    if (tail != head) return;
    // Caught up: the gestures the editor opened meanwhile, what the ring
    // could not take, then the gestures it closed. An edit still on its way
    // through the ring arrives later and is then dropped as a repeat.
    if (!mLost.exchange(false, std::memory_order_acq_rel)) return;
    bool sent = true;
    for (int i = 0; i < mCount; ++i) {
        if (mOpen[i].load(std::memory_order_acquire) && !mSentOpen[i])
            sent = SendNoted(send, Edit{Kind::kBegin, i, 0.0}) && sent;
    }
    for (int i = 0; i < mCount; ++i) {
        if (!mLostValue[i].exchange(false, std::memory_order_relaxed)) continue;
        if (!send(Edit{Kind::kValue, i, latest(i)})) {
            mLostValue[i].store(true, std::memory_order_relaxed);
            sent = false;
        }
    }
    for (int i = 0; i < mCount; ++i) {
        if (!mOpen[i].load(std::memory_order_acquire) && mSentOpen[i])
            sent = SendNoted(send, Edit{Kind::kEnd, i, 0.0}) && sent;
    }
    // What the host's list refused is tried again at the next drain.
    if (!sent) mLost.store(true, std::memory_order_relaxed);
}
