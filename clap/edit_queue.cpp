#include "clap/edit_queue.h"

EditQueue::EditQueue(int paramCount, int capacity)
    : mCount(paramCount > 0 ? paramCount : 0),
      mMask(static_cast<std::uint32_t>(capacity) - 1),
      mRing(new Edit[static_cast<std::size_t>(capacity)]),
      mOpen(new std::atomic<bool>[static_cast<std::size_t>(mCount)]),
      mLostValue(new std::atomic<bool>[static_cast<std::size_t>(mCount)]),
      mSentOpen(new bool[static_cast<std::size_t>(mCount)]()) {
    for (int i = 0; i < mCount; ++i) {
        mOpen[i].store(false, std::memory_order_relaxed);
        mLostValue[i].store(false, std::memory_order_relaxed);
    }
}

bool EditQueue::Push(const Edit& edit) {
    const std::uint32_t head = mHead.load(std::memory_order_relaxed);
    if (head - mTail.load(std::memory_order_acquire) > mMask) return false;
    mRing[head & mMask] = edit;
    mHead.store(head + 1, std::memory_order_release);
    return true;
}

// The editor's flag changes before the edit is queued, so a drain that
// catches up in between sends the gesture as the editor has it and the
// queued edit then counts as a repeat.
void EditQueue::Begin(int index) {
    if (index < 0 || index >= mCount) return;
    mOpen[index].store(true, std::memory_order_release);
    if (!Push(Edit{Kind::kBegin, index, 0.0})) mLost.store(true, std::memory_order_release);
}

void EditQueue::Value(int index, double value) {
    if (index < 0 || index >= mCount) return;
    if (Push(Edit{Kind::kValue, index, value})) return;
    mLostValue[index].store(true, std::memory_order_relaxed);
    mLost.store(true, std::memory_order_release);
}

void EditQueue::End(int index) {
    if (index < 0 || index >= mCount) return;
    mOpen[index].store(false, std::memory_order_release);
    if (!Push(Edit{Kind::kEnd, index, 0.0})) mLost.store(true, std::memory_order_release);
}

bool EditQueue::Admit(const Edit& edit) const {
    switch (edit.kind) {
        case Kind::kBegin:
            return !mSentOpen[edit.index];
        case Kind::kEnd:
            return mSentOpen[edit.index];
        case Kind::kValue:
            return true;
    }
    return false;
}

bool EditQueue::Pending() const {
    return mHead.load(std::memory_order_acquire) != mTail.load(std::memory_order_acquire) ||
           mLost.load(std::memory_order_acquire);
}
