#include "raster/png_decode.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace raster {
namespace {

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* state = static_cast<MemoryReadState*>(png_get_io_ptr(png));
    // Past the end the reader sees zeros, which libpng rejects as a damaged
    // stream; it never sees bytes beyond the caller's data.
    std::memset(out, 0, count);
    const png_size_t available = state->remaining > 0 ? static_cast<png_size_t>(state->remaining) : 0;
    const png_size_t taken = std::min(available, count);
    if (taken > 0) {
        std::memcpy(out, state->next, taken);
        state->next += taken;
        state->remaining -= static_cast<std::int32_t>(taken);
    }
    state->zeroFilled += count - taken;
    // Long-jumps to the decoder's recovery point; nothing in this frame
    // needs unwinding.
    if (state->zeroFilled > kMaxZeroFillBytes) png_error(png, "read far past the end of the data");
}

// Asks libpng for every colour type and depth to arrive as 4 bytes per pixel
// in the order alpha, red, green, blue. The order of the requests matters:
// tRNS adds the alpha bit before the grey and filler decisions read it.
void RequestArgbRows(png_structp png, png_infop info, int colorType, int bitDepth) {
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        colorType |= PNG_COLOR_MASK_ALPHA;
    }
    if (bitDepth == 16) png_set_strip_16(png);
    if (bitDepth < 8) png_set_packing(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0) {
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    } else {
        png_set_swap_alpha(png);
    }
}

// A, R, G, B bytes read as a little-endian word are the byte-reversed
// 0xAARRGGBB, so one byte swap per pixel gives B, G, R, A.
void ArgbToPacked(std::uint8_t* row, std::uint32_t width) {
    for (std::uint32_t x = 0; x < width; ++x, row += 4) StorePixelWord(row, __builtin_bswap32(LoadPixelWord(row)));
}

}  // namespace

// No object with a destructor may live in this frame: libpng's errors
// long-jump back into it. What the recovery branch releases is volatile, so
// it reads the values current at the jump.
IRasterBitmap* DecodePng(MemoryReadState* memory, std::FILE* file, IRasterBitmap* destination) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }

    IRasterBitmap* volatile created = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete created;
        std::free(rows);
        return nullptr;
    }

    if (memory) {
        png_set_read_fn(png, memory, ReadFromMemory);
    } else {
        png_init_io(png, file);
    }
    // libpng refuses larger headers itself (an error, so the jump above).
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    // Only IHDR, PLTE, tRNS, IDAT and IEND make the picture; every other
    // chunk is skipped unread. libpng would otherwise read some ancillary
    // chunks whole into a buffer as long as the chunk claims to be: its size
    // check is only a warning, and a 100-byte file could claim 2 GB of sPLT.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Fuzz builds only: mutated chunks almost never keep a valid CRC, which
    // would stop every input at its first chunk.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif

    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    int compression = 0;
    int filter = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, &compression, &filter);
    RequestArgbRows(png, info, colorType, bitDepth);
    // Interlaced images are assembled by libpng during png_read_image.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // The rows go straight into the bitmap, so their size must be exactly
    // what the bitmap holds: refuse anything else rather than overrun it.
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
    const bool fits = width > 0 && height > 0 && pixels <= kMaxPngPixels &&
                      png_get_rowbytes(png, info) == static_cast<png_size_t>(width) * 4;
    IRasterBitmap* bitmap = nullptr;
    if (fits) {
        if (destination) {
            destination->SetSize(static_cast<int>(width), static_cast<int>(height));
            bitmap = destination;
        } else {
            bitmap = new (std::nothrow) MemBitmap(static_cast<int>(width), static_cast<int>(height));
            created = bitmap;
        }
    }
    if (!bitmap || bitmap->Width() != static_cast<int>(width) || bitmap->Height() != static_cast<int>(height) ||
        !bitmap->PixelPointer() || bitmap->RowStride() < bitmap->Width()) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete created;
        return nullptr;
    }

    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!rows) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete created;
        return nullptr;
    }
    // Image row i goes to storage row i, or height - 1 - i for bottom-up
    // storage; libpng decodes into the bitmap itself, with no image buffer.
    const std::ptrdiff_t strideBytes = static_cast<std::ptrdiff_t>(bitmap->RowStride()) * 4;
    auto* base = reinterpret_cast<std::uint8_t*>(bitmap->PixelPointer());
    const bool bottomUp = bitmap->IsBottomUp();
    for (png_uint_32 i = 0; i < height; ++i) {
        const png_uint_32 storageRow = bottomUp ? height - 1 - i : i;
        rows[i] = base + static_cast<std::ptrdiff_t>(storageRow) * strideBytes;
    }
    png_read_image(png, rows);
    png_destroy_read_struct(&png, &info, nullptr);

    for (png_uint_32 i = 0; i < height; ++i) ArgbToPacked(rows[i], width);
    std::free(rows);
    return bitmap;
}

}  // namespace raster
