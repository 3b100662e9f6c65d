// State byte buffer: values appended in the machine's little-endian order,
// read back by position. A read answers the next position, or -1 when the
// data ran out (reading then stops).
#pragma once

#include <cstring>
#include <string>
#include <type_traits>

#include "core/heap_buffer.h"

class IStateChunk {
public:
    IStateChunk() : mBytes(4096) {}

    // Appends the raw bytes of a fixed-size value (int32, double). False when
    // memory ran out; the chunk then keeps its previous length.
    template <typename T>
    bool AppendValue(const T& v) {
        static_assert(std::is_trivially_copyable<T>::value, "raw value");
        return AppendRaw(&v, static_cast<int>(sizeof(T)));
    }
    // int32 length, then the bytes without terminator.
    bool AppendText(const std::string& text);
    bool AppendFlag(bool b);
    // All bytes of another chunk, no length in front.
    bool AppendBytes(const IStateChunk& other);
    bool AppendRaw(const void* bytes, int count);

    // Copies sizeof(T) bytes at position into v; returns position + sizeof(T),
    // or -1 (v untouched) when they do not lie within the chunk.
    template <typename T>
    int ReadValue(T& v, int position) const {
        static_assert(std::is_trivially_copyable<T>::value, "raw value");
        if (!Fits(position, static_cast<int>(sizeof(T)))) return -1;
        std::memcpy(&v, mBytes.Data() + position, sizeof(T));
        return position + static_cast<int>(sizeof(T));
    }
    // Reads an int32 length L; sets text from the L bytes only when L > 0
    // and they lie within the chunk. Returns position + 4 + L even past the
    // end (the next read then fails); -1 when the length cannot be read or
    // is negative, or the next position would overflow.
    int ReadText(std::string& text, int position) const;
    int ReadFlag(bool& b, int position) const;

    void Clear() { mBytes.SetLength(0); }
    // Resizes to exactly n bytes; new bytes are zero. False on memory failure.
    bool Resize(int n);
    int Length() const { return mBytes.Length(); }
    unsigned char* Data() { return mBytes.Data(); }
    const unsigned char* Data() const { return mBytes.Data(); }

private:
    bool Fits(int position, int size) const {
        return position >= 0 && size >= 0 && position <= Length() && size <= Length() - position;
    }
    IHeapBuffer mBytes;
};

// "tffp" read as a little-endian int32, then the state format version.
constexpr int kStateChunkMagic = 0x70666674;
constexpr int kStateFormatVersion = 0x10000;

// Empties the chunk and writes the 8-byte header.
bool BeginStateChunk(IStateChunk& chunk);
// Answers the format version and moves position past the header when the
// chunk starts with it at position; 0 with position unchanged when it does
// not; 0 with position -1 when the magic is there but the version is cut off.
int ReadStateHeader(const IStateChunk& chunk, int& position);
