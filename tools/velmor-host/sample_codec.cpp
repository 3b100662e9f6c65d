#include "tools/velmor-host/sample_codec.h"

#include <cmath>
#include <cstring>

namespace {

std::uint32_t Load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t Load64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(Load32(p)) | (static_cast<std::uint64_t>(Load32(p + 4)) << 32);
}

void Store32(std::uint32_t v, std::uint8_t* p) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Store64(std::uint64_t v, std::uint8_t* p) {
    Store32(static_cast<std::uint32_t>(v), p);
    Store32(static_cast<std::uint32_t>(v >> 32), p + 4);
}

// Rounds x * scale to the nearest integer in [-scale, scale - 1]; NaN is 0.
std::int64_t Quantise(double x, double scale) {
    if (std::isnan(x)) return 0;
    const double v = std::nearbyint(x * scale);
    if (v <= -scale) return static_cast<std::int64_t>(-scale);
    if (v >= scale - 1) return static_cast<std::int64_t>(scale - 1);
    return static_cast<std::int64_t>(v);
}

}  // namespace

int BytesPerSample(AudioEncoding encoding) {
    switch (encoding) {
        case AudioEncoding::kPcm8:
            return 1;
        case AudioEncoding::kPcm16:
            return 2;
        case AudioEncoding::kPcm24:
            return 3;
        case AudioEncoding::kPcm32:
            return 4;
        case AudioEncoding::kFloat32:
            return 4;
        case AudioEncoding::kFloat64:
            return 8;
        case AudioEncoding::kLossy:
            return 0;
    }
    return 0;
}

void DecodeSamples(AudioEncoding encoding, const std::uint8_t* bytes, std::size_t count, double* samples) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes + i * static_cast<std::size_t>(BytesPerSample(encoding));
        switch (encoding) {
            case AudioEncoding::kPcm8:  // WAV stores 8-bit samples unsigned
                samples[i] = (static_cast<int>(p[0]) - 128) / 128.0;
                break;
            case AudioEncoding::kPcm16:
                samples[i] = static_cast<std::int16_t>(p[0] | (p[1] << 8)) / 32768.0;
                break;
            case AudioEncoding::kPcm24: {
                const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                        (static_cast<std::uint32_t>(p[2]) << 16);
                const std::int32_t s = static_cast<std::int32_t>(u << 8) / 256;  // sign-extend
                samples[i] = s / 8388608.0;
                break;
            }
            case AudioEncoding::kPcm32:
                samples[i] = static_cast<std::int32_t>(Load32(p)) / 2147483648.0;
                break;
            case AudioEncoding::kFloat32: {
                const std::uint32_t u = Load32(p);
                float f;
                std::memcpy(&f, &u, sizeof f);
                samples[i] = f;
                break;
            }
            case AudioEncoding::kFloat64: {
                const std::uint64_t u = Load64(p);
                std::memcpy(&samples[i], &u, sizeof(double));
                break;
            }
            case AudioEncoding::kLossy:
                samples[i] = 0.0;
                break;
        }
    }
}

void EncodeSamples(AudioEncoding encoding, const double* samples, std::size_t count, std::uint8_t* bytes) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = bytes + i * static_cast<std::size_t>(BytesPerSample(encoding));
        const double x = samples[i];
        switch (encoding) {
            case AudioEncoding::kPcm8:
                p[0] = static_cast<std::uint8_t>(Quantise(x, 128.0) + 128);
                break;
            case AudioEncoding::kPcm16: {
                const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(Quantise(x, 32768.0)));
                p[0] = static_cast<std::uint8_t>(v);
                p[1] = static_cast<std::uint8_t>(v >> 8);
                break;
            }
            case AudioEncoding::kPcm24: {
                const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(Quantise(x, 8388608.0)));
                for (int b = 0; b < 3; ++b) p[b] = static_cast<std::uint8_t>(v >> (8 * b));
                break;
            }
            case AudioEncoding::kPcm32:
                Store32(static_cast<std::uint32_t>(static_cast<std::int32_t>(Quantise(x, 2147483648.0))), p);
                break;
            case AudioEncoding::kFloat32: {
                const float f = static_cast<float>(x);
                std::uint32_t u;
                std::memcpy(&u, &f, sizeof u);
                Store32(u, p);
                break;
            }
            case AudioEncoding::kFloat64: {
                std::uint64_t u;
                std::memcpy(&u, &x, sizeof u);
                Store64(u, p);
                break;
            }
            case AudioEncoding::kLossy:
                break;
        }
    }
}
