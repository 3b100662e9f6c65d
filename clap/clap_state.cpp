// The state extension: the program chunk's bytes (the same in every
// format), written and read through the host's streams, which may take or
// give fewer bytes than asked. The streams run without the plug-in lock;
// only the chunk's save and load take it, briefly.
#include <cstring>

#include "clap/effect_clap.h"

namespace {

// Far more than any state of this plug-in (an 8-byte header and a double
// per parameter): a stream that goes on past it is not one of ours.
constexpr std::int64_t kLargestState = 1 << 20;

}  // namespace

bool IEffectCLAP::SaveState(const clap_ostream* stream) {
    if (!stream || !stream->write) return false;
    if (!mExporter.SaveProgram(mStateChunk)) return false;
    const unsigned char* next = mStateChunk.Data();
    std::int64_t left = mStateChunk.Length();
    while (left > 0) {
        // 0 would loop for ever; more than asked is a broken stream.
        const std::int64_t written = stream->write(stream, next, static_cast<std::uint64_t>(left));
        if (written <= 0 || written > left) return false;
        next += written;
        left -= written;
    }
    return true;
}

bool IEffectCLAP::LoadState(const clap_istream* stream) {
    if (!stream || !stream->read) return false;
    mStateChunk.Clear();
    unsigned char buffer[512];
    for (;;) {
        const std::int64_t got = stream->read(stream, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0 || got > static_cast<std::int64_t>(sizeof buffer)) return false;
        if (mStateChunk.Length() + got > kLargestState) return false;
        if (!mStateChunk.AppendRaw(buffer, static_cast<int>(got))) return false;
    }
    {
        IEffectBase& p = Plugin();
        LockGuard guard(p.Lock());
        // A chunk that does not hold a whole state changes nothing.
        if (mStateChunk.Length() == 0 || !mExporter.LoadChunk(mStateChunk, false)) return false;
        RefreshValues();
    }
    // Values the host did not set: it reads them again, and records no
    // automation for them.
    if (mHostParams) mHostParams->rescan(mHost, kClapParamRescanValues | kClapParamRescanText);
    return true;
}
