// PNG decoding into 32-bit bitmaps (B, G, R, A bytes, colour not
// premultiplied, alpha 255 where the image has none). Every colour type and
// depth is normalised; the shipped artwork is 8-bit RGBA.
//
// The loaders keep no state and may run on any thread; each call owns its
// own decoder. Failures give null and leak nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "raster/mem_bitmap.h"
#include "raster/raster_bitmap.h"

// The read source of the memory loader: libpng asks for bytes, it hands out
// what is left and zeros past the end (which libpng reports as damage).
struct MemoryReadState {
    const std::uint8_t* next;
    std::int32_t remaining;
    // Zero bytes handed out past the end so far (see kMaxZeroFillBytes).
    std::uint64_t zeroFilled;
};

// A damaged stream may claim a chunk of up to 2 GiB that libpng then reads
// (as zeros) to its CRC. Past this many zero bytes the read fails instead;
// complete data never reads past its end at all.
constexpr std::uint64_t kMaxZeroFillBytes = 1u << 20;

// Hostile headers must not make us allocate without bound. The largest
// artwork is the needle strip drawn at 2x, 528 x 65280 (34.5 M pixels);
// images beyond these limits are refused before any pixel storage is
// allocated.
constexpr std::uint32_t kMaxPngSide = 1u << 17;
constexpr std::uint64_t kMaxPngPixels = 1u << 26;

// Decodes the complete PNG file image data[0..length) (resource memory the
// caller keeps alive for the call). Null when length <= 7, the signature is
// wrong, the stream is damaged or the image is too large.
std::unique_ptr<MemBitmap> LoadPngFromMemory(const void* data, int length);

// Decodes the file at `path` (UTF-8, or the system code page when that does
// not open). With a destination the image is decoded into it (resized with
// SetSize; it stays the caller's even on failure, contents then undefined) and
// that bitmap is returned; otherwise a new MemBitmap is returned, which the
// caller owns. Null on any failure.
IRasterBitmap* LoadPngFromFile(const char* path, IRasterBitmap* destination = nullptr);

// The PNG entry of the image-loader list. With checkExtension set, a path
// whose extension is not ".png" (any case) gives null without opening
// anything.
IRasterBitmap* LoadImageByExtension(const char* path, bool checkExtension, IRasterBitmap* destination);

// True when the text from the last '.' or '/' of path equals ".png" ignoring
// case; a backslash met first while searching backwards means no extension.
bool HasPngExtension(const char* path);

// File-dialog filter: "PNG files (*.PNG)", NUL, "*.PNG", NUL, NUL.
const char* PngFileFilter();
