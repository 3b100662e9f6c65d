#include "core/state_chunk.h"

#include <climits>
#include <cstdint>

bool IStateChunk::AppendRaw(const void* bytes, int count) {
    if (count < 0 || (count > 0 && !bytes)) return false;
    const int old = Length();
    if (count > INT_MAX - old) return false;
    mBytes.SetLength(old + count);
    if (Length() != old + count) return false;  // out of memory: still at the old length
    if (count > 0) std::memcpy(mBytes.Data() + old, bytes, static_cast<std::size_t>(count));
    return true;
}

bool IStateChunk::AppendText(const std::string& text) {
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return false;
    const int old = Length();
    const auto length = static_cast<std::int32_t>(text.size());
    if (AppendValue(length) && AppendRaw(text.data(), length)) return true;
    // Never leave a length without its bytes behind; shrinking without
    // reallocation cannot fail.
    mBytes.SetLength(old, false);
    return false;
}

bool IStateChunk::AppendFlag(bool b) {
    const std::uint8_t byte = b ? 1 : 0;
    return AppendRaw(&byte, 1);
}

bool IStateChunk::AppendBytes(const IStateChunk& other) {
    if (&other != this) return AppendRaw(other.Data(), other.Length());
    // Appending a chunk to itself: the source moves when the buffer grows.
    const int old = Length();
    if (old > INT_MAX - old) return false;
    mBytes.SetLength(old * 2);
    if (Length() != old * 2) return false;
    if (old > 0) std::memcpy(mBytes.Data() + old, mBytes.Data(), static_cast<std::size_t>(old));
    return true;
}

int IStateChunk::ReadText(std::string& text, int position) const {
    std::int32_t length = 0;
    const int afterLength = ReadValue(length, position);
    if (afterLength < 0 || length < 0) return -1;
    // The next position may lie past the end (the following read fails),
    // but it must still be a valid int.
    if (length > INT_MAX - afterLength) return -1;
    if (length > 0 && Fits(afterLength, length)) {
        text.assign(reinterpret_cast<const char*>(mBytes.Data() + afterLength), static_cast<std::size_t>(length));
    }
    return afterLength + length;
}

int IStateChunk::ReadFlag(bool& b, int position) const {
    if (position < 0 || position >= Length()) return -1;
    b = mBytes.Data()[position] != 0;
    return position + 1;
}

bool IStateChunk::Resize(int n) {
    if (n < 0) return false;
    const int old = Length();
    mBytes.SetLength(n);
    if (Length() != n) return false;
    if (n > old) std::memset(mBytes.Data() + old, 0, static_cast<std::size_t>(n - old));
    return true;
}

bool BeginStateChunk(IStateChunk& chunk) {
    chunk.Clear();
    const std::int32_t magic = kStateChunkMagic;
    const std::int32_t version = kStateFormatVersion;
    return chunk.AppendValue(magic) && chunk.AppendValue(version);
}

int ReadStateHeader(const IStateChunk& chunk, int& position) {
    std::int32_t magic = 0;
    const int afterMagic = chunk.ReadValue(magic, position);
    if (afterMagic < 0 || magic != kStateChunkMagic) return 0;
    std::int32_t version = 0;
    const int afterVersion = chunk.ReadValue(version, afterMagic);
    if (afterVersion < 0) {
        position = -1;
        return 0;
    }
    position = afterVersion;
    return version;
}
