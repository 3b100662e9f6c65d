#include "editor/picture_resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLobes = 3.0;

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }
double Lanczos(double x) { return std::fabs(x) < kLobes ? Sinc(x) * Sinc(x / kLobes) : 0.0; }

// The taps of one output position along one axis: the source indexes it
// reads (clamped at the edges) and their normalised weights.
struct Taps {
    std::vector<int> first;  // per output position, its first tap's slot in index/weight
    std::vector<int> count;  // per output position, how many taps
    std::vector<int> index;  // source positions
    std::vector<double> weight;
};

Taps MakeTaps(int sourceLength, int outputLength) {
    Taps t;
    const double ratio = static_cast<double>(sourceLength) / outputLength;
    // Shrinking widens the filter to the source's spacing of output pixels.
    const double stretch = std::max(1.0, ratio);
    const double support = kLobes * stretch;
    for (int o = 0; o < outputLength; ++o) {
        const double centre = (o + 0.5) * ratio - 0.5;
        const int lo = static_cast<int>(std::floor(centre - support)) + 1;
        const int hi = static_cast<int>(std::floor(centre + support));
        t.first.push_back(static_cast<int>(t.index.size()));
        double sum = 0.0;
        const std::size_t start = t.weight.size();
        for (int s = lo; s <= hi; ++s) {
            const double w = Lanczos((s - centre) / stretch);
            if (w == 0.0) continue;
            t.index.push_back(std::clamp(s, 0, sourceLength - 1));
            t.weight.push_back(w);
            sum += w;
        }
        for (std::size_t i = start; i < t.weight.size(); ++i) t.weight[i] /= sum;
        t.count.push_back(static_cast<int>(t.weight.size() - start));
    }
    return t;
}

// Premultiplied colour of one pixel, 0..255 per channel.
struct Premultiplied {
    double b = 0, g = 0, r = 0, a = 0;
};

}  // namespace

bool ResampleFrameInto(const IRasterBitmap& source, int frames, int f, MemBitmap& out) {
    const PackedPixel* pixels = source.PixelPointer();
    if (!pixels || frames <= 0 || f < 0 || f >= frames || !out.PixelPointer()) return false;
    const int sourceFrameHeight = source.Height() / frames;
    const int sourceWidth = source.Width();
    const int width = out.Width();
    const int frameHeight = out.Height();
    if (sourceFrameHeight <= 0 || sourceWidth <= 0 || width <= 0 || frameHeight <= 0) return false;

    const Taps across = MakeTaps(sourceWidth, width);
    const Taps down = MakeTaps(sourceFrameHeight, frameHeight);
    std::vector<Premultiplied> rows(static_cast<std::size_t>(sourceFrameHeight) * width);
    {
        // Across first, every row of the frame.
        for (int y = 0; y < sourceFrameHeight; ++y) {
            const PackedPixel* in =
                pixels + static_cast<std::ptrdiff_t>(f * sourceFrameHeight + y) * source.RowStride();
            for (int x = 0; x < width; ++x) {
                Premultiplied sum;
                for (int k = 0; k < across.count[x]; ++k) {
                    const int slot = across.first[x] + k;
                    const PackedPixel& p = in[across.index[slot]];
                    const double w = across.weight[slot] * p.a / 255.0;
                    sum.b += w * p.b;
                    sum.g += w * p.g;
                    sum.r += w * p.r;
                    sum.a += across.weight[slot] * p.a;
                }
                rows[static_cast<std::size_t>(y) * width + x] = sum;
            }
        }
        // Then down, into the frame's cell, back to straight alpha.
        for (int y = 0; y < frameHeight; ++y) {
            PackedPixel* o = out.PixelPointer() + static_cast<std::ptrdiff_t>(y) * out.RowStride();
            for (int x = 0; x < width; ++x) {
                Premultiplied sum;
                for (int k = 0; k < down.count[y]; ++k) {
                    const int slot = down.first[y] + k;
                    const Premultiplied& p = rows[static_cast<std::size_t>(down.index[slot]) * width + x];
                    const double w = down.weight[slot];
                    sum.b += w * p.b;
                    sum.g += w * p.g;
                    sum.r += w * p.r;
                    sum.a += w * p.a;
                }
                const auto channel = [](double v) {
                    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
                };
                const double a = std::clamp(sum.a, 0.0, 255.0);
                PackedPixel& px = o[x];
                px.a = channel(a);
                if (px.a == 0) {
                    px.b = px.g = px.r = 0;
                } else {
                    const double k = 255.0 / a;
                    px.b = channel(sum.b * k);
                    px.g = channel(sum.g * k);
                    px.r = channel(sum.r * k);
                }
            }
        }
    }
    return true;
}
