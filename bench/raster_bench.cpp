// Speed of what the editor does on every frame (blitting 128 x 128 frames
// onto its 456 x 416 surface) and once per image (decoding a 240-frame knob
// strip).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "raster/blit.h"
#include "raster/mem_bitmap.h"
#include "raster/png_loader.h"
#include "raster/sys_bitmap.h"
#include "tests/raster/png_test_writer.h"

namespace {

constexpr int kFrame = 128;
constexpr int kSurfaceWidth = 456;
constexpr int kSurfaceHeight = 416;
constexpr int kFrames = 240;

// RGBA bytes of knob frame `index`: a transparent corner area, an opaque
// disc, an anti-aliased rim of partial alpha and a half-transparent shadow
// ring. About 38 % of the pixels are transparent, 45 % opaque, 17 % blended.
std::vector<std::uint8_t> KnobFrameRgba(int index) {
    std::vector<std::uint8_t> rgba(kFrame * kFrame * 4);
    const double angle = 2.0 * M_PI * index / kFrames;
    for (int y = 0; y < kFrame; ++y) {
        for (int x = 0; x < kFrame; ++x) {
            const double dx = x - 63.5, dy = y - 63.5;
            const double r = std::sqrt(dx * dx + dy * dy);
            std::uint8_t* p = &rgba[(y * kFrame + x) * 4];
            int alpha = 0;
            if (r < 48)
                alpha = 255;
            else if (r < 52)
                alpha = static_cast<int>(255 * (52 - r) / 4);
            else if (r < 60)
                alpha = 90;
            const double along = dx * std::cos(angle) + dy * std::sin(angle);
            const bool pointer = r < 44 && std::fabs(-dx * std::sin(angle) + dy * std::cos(angle)) < 3 && along > 0;
            p[0] = static_cast<std::uint8_t>(pointer ? 250 : 60 + (x + y) / 4);
            p[1] = static_cast<std::uint8_t>(pointer ? 240 : 64 + x / 3);
            p[2] = static_cast<std::uint8_t>(pointer ? 230 : 70 + y / 3);
            p[3] = static_cast<std::uint8_t>(alpha);
        }
    }
    return rgba;
}

std::unique_ptr<MemBitmap> KnobFrame() {
    const auto png = rastertest::EncodePng(rastertest::RgbaImage(kFrame, kFrame, KnobFrameRgba(17)));
    return LoadPngFromMemory(png.data(), static_cast<int>(png.size()));
}

void FillSurface(SysBitmap& surface) {
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.RowStride(); ++x)
            surface.PixelPointer()[y * surface.RowStride() + x] =
                PackedPixel{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 90, 255};
}

// The editor's common case: a knob frame drawn with its alpha at full weight.
void BM_SourceAlphaCopyFrame(benchmark::State& state) {
    SysBitmap surface(kSurfaceWidth, kSurfaceHeight);
    FillSurface(surface);
    const auto frame = KnobFrame();
    for (auto _ : state) {
        BlitBitmap(&surface, frame.get(), 101, 77, nullptr, 1.0f, UseSourceAlpha | BlendCopy);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrame * kFrame);
}
BENCHMARK(BM_SourceAlphaCopyFrame);

// The same frame at weight 0.5 (a control drawn faded): the general path.
void BM_SourceAlphaCopyFrameHalfWeight(benchmark::State& state) {
    SysBitmap surface(kSurfaceWidth, kSurfaceHeight);
    FillSurface(surface);
    const auto frame = KnobFrame();
    for (auto _ : state) {
        BlitBitmap(&surface, frame.get(), 101, 77, nullptr, 0.5f, UseSourceAlpha | BlendCopy);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrame * kFrame);
}
BENCHMARK(BM_SourceAlphaCopyFrameHalfWeight);

// Plain copy at weight 1 against memcpy of the same rows between the same
// buffers: the ratio of the two is the copy path's overhead.
void BM_PlainCopyFrame(benchmark::State& state) {
    SysBitmap surface(kSurfaceWidth, kSurfaceHeight);
    FillSurface(surface);
    const auto frame = KnobFrame();
    for (auto _ : state) {
        BlitBitmap(&surface, frame.get(), 101, 77, nullptr, 1.0f, BlendCopy);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrame * kFrame);
}
BENCHMARK(BM_PlainCopyFrame);

void BM_MemcpyFrameRows(benchmark::State& state) {
    SysBitmap surface(kSurfaceWidth, kSurfaceHeight);
    FillSurface(surface);
    const auto frame = KnobFrame();
    for (auto _ : state) {
        for (int y = 0; y < kFrame; ++y) {
            std::memcpy(surface.PixelPointer() + (77 + y) * surface.RowStride() + 101,
                        frame->PixelPointer() + y * frame->RowStride(), kFrame * 4);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrame * kFrame);
}
BENCHMARK(BM_MemcpyFrameRows);

// The whole background drawn onto the surface, and memcpy of those rows.
void BM_PlainCopyBackground(benchmark::State& state) {
    SysBitmap surface(kSurfaceWidth, kSurfaceHeight);
    MemBitmap background(kSurfaceWidth, kSurfaceHeight);
    FillSurface(surface);
    std::memset(background.PixelPointer(), 0x40, background.RowStride() * kSurfaceHeight * 4);
    for (auto _ : state) {
        BlitBitmap(&surface, &background, 0, 0, nullptr, 1.0f, BlendCopy);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSurfaceWidth * kSurfaceHeight);
}
BENCHMARK(BM_PlainCopyBackground);

void BM_MemcpyBackgroundRows(benchmark::State& state) {
    SysBitmap surface(kSurfaceWidth, kSurfaceHeight);
    MemBitmap background(kSurfaceWidth, kSurfaceHeight);
    FillSurface(surface);
    std::memset(background.PixelPointer(), 0x40, background.RowStride() * kSurfaceHeight * 4);
    for (auto _ : state) {
        for (int y = 0; y < kSurfaceHeight; ++y) {
            std::memcpy(surface.PixelPointer() + y * surface.RowStride(),
                        background.PixelPointer() + y * background.RowStride(), kSurfaceWidth * 4);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSurfaceWidth * kSurfaceHeight);
}
BENCHMARK(BM_MemcpyBackgroundRows);

const std::vector<std::uint8_t>& KnobStripPng() {
    static const std::vector<std::uint8_t> png = [] {
        std::vector<std::uint8_t> rgba;
        rgba.reserve(static_cast<std::size_t>(kFrame) * kFrame * kFrames * 4);
        for (int i = 0; i < kFrames; ++i) {
            const auto frame = KnobFrameRgba(i);
            rgba.insert(rgba.end(), frame.begin(), frame.end());
        }
        return rastertest::EncodePng(rastertest::RgbaImage(kFrame, kFrame * kFrames, rgba));
    }();
    return png;
}

// Allocation accounting for one decode: malloc is passed through to glibc's
// own allocator and, while counting, tallied. Decoding straight into the
// bitmap allocates the bitmap (128 x 30720 x 4 bytes + 63 = 15 MiB) plus the
// row table and libpng's small buffers; an intermediate image buffer would
// show as a second allocation of the image's size.
std::atomic<bool> gCounting{false};
std::atomic<std::size_t> gAllocated{0};
std::atomic<std::size_t> gLargest{0};
std::atomic<std::size_t> gSecondLargest{0};

void Tally(std::size_t n) {
    gAllocated += n;
    if (n > gLargest) {
        gSecondLargest = gLargest.load();
        gLargest = n;
    } else if (n > gSecondLargest) {
        gSecondLargest = n;
    }
}

}  // namespace

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* malloc(std::size_t n) {
    if (gCounting.load(std::memory_order_relaxed)) Tally(n);
    return __libc_malloc(n);
}

namespace {

void BM_DecodeKnobStrip(benchmark::State& state) {
    const auto& png = KnobStripPng();
    for (auto _ : state) {
        auto bitmap = LoadPngFromMemory(png.data(), static_cast<int>(png.size()));
        if (!bitmap) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(bitmap.get());
    }
    state.SetItemsProcessed(state.iterations() * kFrame * kFrame * kFrames);
    state.counters["png_KiB"] = static_cast<double>(png.size()) / 1024.0;
    gAllocated = gLargest = gSecondLargest = 0;
    gCounting = true;
    auto counted = LoadPngFromMemory(png.data(), static_cast<int>(png.size()));
    gCounting = false;
    const double mib = 1024.0 * 1024.0;
    state.counters["alloc_total_MiB"] = static_cast<double>(gAllocated) / mib;
    state.counters["alloc_largest_MiB"] = static_cast<double>(gLargest) / mib;
    state.counters["alloc_2nd_MiB"] = static_cast<double>(gSecondLargest) / mib;
}
BENCHMARK(BM_DecodeKnobStrip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
