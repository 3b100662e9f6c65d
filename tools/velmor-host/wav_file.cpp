#include "tools/velmor-host/wav_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/sample_codec.h"
#include "tools/velmor-host/wav_metadata.h"

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
constexpr int kMaxChannels = 1024;
constexpr std::uint32_t kMaxSampleRate = 10000000;
// Bytes 2..15 of the KSDATAFORMAT_SUBTYPE GUIDs for PCM and IEEE float; the
// first two bytes carry the plain format tag.
constexpr std::uint8_t kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutId(std::vector<std::uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(id[i]));
}

bool ReadAt(std::FILE* file, std::int64_t offset, void* buffer, std::size_t size) {
    return SeekFile(file, offset) && std::fread(buffer, 1, size, file) == size;
}

// Maps the fmt chunk's tag and container size to an encoding.
bool EncodingFor(std::uint16_t tag, int bits, AudioEncoding& encoding) {
    if (tag == kTagPcm) {
        switch (bits) {
            case 8:
                encoding = AudioEncoding::kPcm8;
                return true;
            case 16:
                encoding = AudioEncoding::kPcm16;
                return true;
            case 24:
                encoding = AudioEncoding::kPcm24;
                return true;
            case 32:
                encoding = AudioEncoding::kPcm32;
                return true;
        }
    } else if (tag == kTagFloat) {
        if (bits == 32) encoding = AudioEncoding::kFloat32;
        if (bits == 64) encoding = AudioEncoding::kFloat64;
        return bits == 32 || bits == 64;
    }
    return false;
}

class WavReader final : public AudioReader {
public:
    ~WavReader() override {
        if (mFile) std::fclose(mFile);
    }

    bool Open(const std::string& path, std::string& error) {
        mFile = OpenFileUtf8(path, "rb");
        if (!mFile) {
            error = "cannot open " + path + ": " + ErrnoText(errno);
            return false;
        }
        const std::int64_t fileSize = FileSize(mFile);
        std::uint8_t riff[12];
        if (fileSize < 12 || !ReadAt(mFile, 0, riff, sizeof riff) ||
            (std::memcmp(riff, "RIFF", 4) != 0 && std::memcmp(riff, "RF64", 4) != 0) ||
            std::memcmp(riff + 8, "WAVE", 4) != 0) {
            error = path + " is not a WAV file (no RIFF/WAVE header)";
            return false;
        }
        const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
        std::int64_t rf64DataBytes = -1;  // from the ds64 chunk

        // Walk the chunks. Each step advances at least 8 bytes and never
        // past the file's end, so the walk ends on any input.
        bool haveFormat = false;
        bool haveData = false;
        std::int64_t dataOffset = 0;
        std::int64_t dataBytes = 0;
        std::int64_t declaredBytes = 0;
        std::int64_t offset = 12;
        // The whole file is walked: metadata chunks may follow the audio.
        while (offset + 8 <= fileSize) {
            std::uint8_t header[8];
            if (!ReadAt(mFile, offset, header, sizeof header)) break;
            std::int64_t size = U32(header + 4);
            const std::int64_t body = offset + 8;
            if (rf64 && std::memcmp(header, "ds64", 4) == 0 && size >= 16 && body + 16 <= fileSize) {
                // RIFF size, then data size, 64-bit each; the data chunk's
                // own size field holds 0xFFFFFFFF.
                std::uint8_t sizes[16];
                if (ReadAt(mFile, body, sizes, sizeof sizes)) {
                    const std::uint64_t data = U32(sizes + 8) | (static_cast<std::uint64_t>(U32(sizes + 12)) << 32);
                    rf64DataBytes =
                        data > static_cast<std::uint64_t>(fileSize) ? fileSize : static_cast<std::int64_t>(data);
                }
            }
            if (std::memcmp(header, "data", 4) == 0 && size == 0xFFFFFFFF && rf64DataBytes >= 0) size = rf64DataBytes;
            if (std::memcmp(header, "fmt ", 4) == 0 && !haveFormat) {
                if (size < 16 || body + size > fileSize) {
                    error = path + ": truncated or malformed fmt chunk";
                    return false;
                }
                std::uint8_t fmt[40] = {};
                const std::size_t wanted = size < 40 ? static_cast<std::size_t>(size) : 40;
                if (!ReadAt(mFile, body, fmt, wanted) || !ParseFormat(fmt, wanted, path, error)) {
                    if (error.empty()) error = "cannot read " + path;
                    return false;
                }
                haveFormat = true;
            } else if (IsWavMetadataChunk(reinterpret_cast<const char*>(header)) && body + size <= fileSize &&
                       static_cast<std::uint64_t>(size) <= kMaxWavMetadataChunk) {
                std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
                if (bytes.empty() || ReadAt(mFile, body, bytes.data(), bytes.size()))
                    mMetadata.wavChunks.emplace_back(std::string(reinterpret_cast<const char*>(header), 4),
                                                     std::move(bytes));
            } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
                haveData = true;
                dataOffset = body;
                // A data chunk longer than the file is a recording cut short
                // (or one whose writer never patched the size): keep what is
                // there.
                dataBytes = body + size > fileSize ? fileSize - body : size;
                declaredBytes = size;
            }
            offset = body + size + (size & 1);
        }
        if (!haveFormat) {
            error = path + ": no fmt chunk";
            return false;
        }
        if (!haveData) {
            error = path + ": no data chunk";
            return false;
        }
        mDataOffset = dataOffset;
        ParseWavMetadata(mMetadata);
        mFormat.frames = dataBytes / mBlockAlign;
        // A streamed file whose writer never came back to fill in the size
        // (0xFFFFFFFF) is not a cut one.
        mFormat.declaredFrames = declaredBytes == 0xFFFFFFFF ? mFormat.frames : declaredBytes / mBlockAlign;
        return true;
    }

    const AudioFormat& Format() const override { return mFormat; }
    const AudioMetadata& Metadata() const override { return mMetadata; }

    std::int64_t Read(double* interleaved, std::int64_t frames, std::string& error) override {
        const std::int64_t left = mFormat.frames - mPosition;
        if (frames > left) frames = left;
        if (frames <= 0) return 0;
        mBytes.resize(static_cast<std::size_t>(frames * mBlockAlign));
        if (!ReadAt(mFile, mDataOffset + mPosition * mBlockAlign, mBytes.data(), mBytes.size())) {
            error = "read error in WAV data";
            return -1;
        }
        DecodeSamples(mFormat.encoding, mBytes.data(), static_cast<std::size_t>(frames * mFormat.channels),
                      interleaved);
        mPosition += frames;
        return frames;
    }

private:
    bool ParseFormat(const std::uint8_t* fmt, std::size_t size, const std::string& path, std::string& error) {
        std::uint16_t tag = U16(fmt);
        const int channels = U16(fmt + 2);
        const std::uint32_t rate = U32(fmt + 4);
        const int blockAlign = U16(fmt + 12);
        const int bits = U16(fmt + 14);
        if (tag == kTagExtensible) {
            // cbSize (22 or more), valid bits, channel mask, then the subtype
            // GUID whose first two bytes are the plain tag.
            if (size < 40 || U16(fmt + 16) < 22 || std::memcmp(fmt + 26, kSubtypeTail, sizeof kSubtypeTail) != 0) {
                error = path + ": unsupported WAVE_FORMAT_EXTENSIBLE subtype";
                return false;
            }
            tag = U16(fmt + 24);
        }
        if (!EncodingFor(tag, bits, mFormat.encoding)) {
            error = path + ": unsupported WAV encoding (format tag " + std::to_string(tag) + ", " +
                    std::to_string(bits) + " bits)";
            return false;
        }
        if (channels < 1 || channels > kMaxChannels) {
            error = path + ": invalid channel count " + std::to_string(channels);
            return false;
        }
        if (rate < 1 || rate > kMaxSampleRate) {
            error = path + ": invalid sample rate " + std::to_string(rate);
            return false;
        }
        if (blockAlign != channels * BytesPerSample(mFormat.encoding)) {
            error = path + ": block alignment " + std::to_string(blockAlign) + " does not match " +
                    std::to_string(channels) + " channels of " + std::to_string(bits) + " bits";
            return false;
        }
        mFormat.container = AudioContainer::kWav;
        mFormat.channels = channels;
        mFormat.sampleRate = static_cast<int>(rate);
        mBlockAlign = blockAlign;
        return true;
    }

    std::FILE* mFile = nullptr;
    AudioFormat mFormat;
    AudioMetadata mMetadata;
    std::int64_t mBlockAlign = 1;
    std::int64_t mDataOffset = 0;
    std::int64_t mPosition = 0;
    std::vector<std::uint8_t> mBytes;
};

class WavWriter final : public AudioWriter {
public:
    explicit WavWriter(std::uint64_t riffLimit) : mRiffLimit(riffLimit) {}
    ~WavWriter() override {
        if (mFile && mFile != stdout) std::fclose(mFile);
    }

    bool Open(const AudioDestination& destination, const AudioFormat& format, const AudioMetadata* metadata,
              std::string& error) {
        const std::string& path = destination.name;
        if (metadata) mChunks = WavMetadataChunks(*metadata);
        if (format.channels < 1 || format.channels > kMaxChannels || format.sampleRate < 1 ||
            static_cast<std::uint32_t>(format.sampleRate) > kMaxSampleRate) {
            error = "cannot write " + path + ": invalid channel count or sample rate";
            return false;
        }
        mFormat = format;
        mPath = path;
        mBlockAlign = format.channels * BytesPerSample(format.encoding);
        if (destination.fd >= 0) {
            // A stream of our own over the descriptor: closing it leaves the
            // caller's descriptor open.
#if defined(_WIN32)
            const int fd = _dup(destination.fd);
            mFile = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
            if (!mFile && fd >= 0) _close(fd);
#else
            const int fd = dup(destination.fd);
            mFile = fd >= 0 ? fdopen(fd, "wb") : nullptr;
            if (!mFile && fd >= 0) close(fd);
#endif
        } else if (destination.path == "-") {
#if defined(_WIN32)
            _setmode(_fileno(stdout), _O_BINARY);
#endif
            mFile = stdout;
        } else {
            mFile = OpenFileUtf8(destination.path, "wb");
        }
        if (!mFile) {
            error = "cannot create " + path + ": " + ErrnoText(errno);
            return false;
        }
        // RIFF/WAVE, JUNK or ds64, fmt (with cbSize for float), fact for float, data.
        mHeaderBytes = 12 + 36 + 8 + (IsFloat() ? 18 : 16) + (IsFloat() ? 12 : 0) + 8;
        for (const auto& chunk : mChunks) mHeaderBytes += 8 + chunk.second.size() + (chunk.second.size() & 1);
        // The sizes the caller expects: final when the output is a pipe,
        // which cannot be rewound to patch them.
        mPlannedFrames = format.frames > 0 ? static_cast<std::uint64_t>(format.frames) : 0;
        const std::vector<std::uint8_t> header =
            Header(mPlannedFrames * static_cast<std::uint64_t>(mBlockAlign), mPlannedFrames);
        if (std::fwrite(header.data(), 1, header.size(), mFile) != header.size()) {
            error = "cannot write " + path + ": " + ErrnoText(errno);
            return false;
        }
        return true;
    }

    bool Write(const double* interleaved, std::int64_t frames, std::string& error) override {
        if (frames <= 0) return true;
        const std::uint64_t bytes = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(mBlockAlign);
        mBytes.resize(static_cast<std::size_t>(bytes));
        EncodeSamples(mFormat.encoding, interleaved, static_cast<std::size_t>(frames * mFormat.channels),
                      mBytes.data());
        if (std::fwrite(mBytes.data(), 1, mBytes.size(), mFile) != mBytes.size()) {
            error = "cannot write " + mPath + ": " + ErrnoText(errno);
            return false;
        }
        mDataBytes += bytes;
        mFrames += static_cast<std::uint64_t>(frames);
        return true;
    }

    bool Close(std::string& error) override {
        if (!mFile) return true;
        bool ok = true;
        if (mDataBytes & 1) ok = std::fputc(0, mFile) != EOF;  // chunks are padded to even sizes
        const std::vector<std::uint8_t> header = Header(mDataBytes, mFrames);
        const bool planned = mFrames == mPlannedFrames;
        const bool pipe = !SeekFile(mFile, 0);
        if (!pipe) {
            ok = ok && SeekFile(mFile, 0) && std::fwrite(header.data(), 1, header.size(), mFile) == header.size();
        }
        ok = (mFile == stdout ? std::fflush(mFile) == 0 : std::fclose(mFile) == 0) && ok;
        mFile = nullptr;
        if (pipe && !planned) {
            error = "the output to a pipe holds " + std::to_string(mFrames) + " frames, not the " +
                    std::to_string(mPlannedFrames) + " its header announced";
            return false;
        }
        if (!ok) error = "cannot write " + mPath + ": " + ErrnoText(errno);
        return ok;
    }

private:
    bool IsFloat() const {
        return mFormat.encoding == AudioEncoding::kFloat32 || mFormat.encoding == AudioEncoding::kFloat64;
    }

    // The header with the current sizes. Float data gets the cbSize field
    // and the fact chunk that non-PCM WAV files carry. The second chunk is
    // JUNK while the file fits RIFF's 32-bit sizes; past that it becomes the
    // ds64 chunk of an RF64 file (of the same length, so the audio never
    // moves), and every 32-bit size that overflowed reads 0xFFFFFFFF.
    std::vector<std::uint8_t> Header(std::uint64_t dataBytes, std::uint64_t frames) const {
        const int bits = 8 * BytesPerSample(mFormat.encoding);
        const std::uint64_t riffSize = mHeaderBytes - 8 + dataBytes + (dataBytes & 1);
        const bool rf64 = riffSize > mRiffLimit;
        const auto low = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };
        const auto high = [](std::uint64_t v) { return static_cast<std::uint32_t>(v >> 32); };
        std::vector<std::uint8_t> out;
        PutId(out, rf64 ? "RF64" : "RIFF");
        Put32(out, rf64 ? 0xFFFFFFFFu : low(riffSize));
        PutId(out, "WAVE");
        PutId(out, rf64 ? "ds64" : "JUNK");
        Put32(out, 28);  // RIFF size, data size, frame count (64-bit each), empty table
        for (const std::uint64_t v : {riffSize, dataBytes, frames}) {
            Put32(out, rf64 ? low(v) : 0);
            Put32(out, rf64 ? high(v) : 0);
        }
        Put32(out, 0);
        PutId(out, "fmt ");
        Put32(out, IsFloat() ? 18 : 16);
        Put16(out, IsFloat() ? kTagFloat : kTagPcm);
        Put16(out, static_cast<std::uint32_t>(mFormat.channels));
        Put32(out, static_cast<std::uint32_t>(mFormat.sampleRate));
        Put32(out, static_cast<std::uint32_t>(mFormat.sampleRate) * static_cast<std::uint32_t>(mBlockAlign));
        Put16(out, static_cast<std::uint32_t>(mBlockAlign));
        Put16(out, static_cast<std::uint32_t>(bits));
        if (IsFloat()) {
            Put16(out, 0);
            PutId(out, "fact");
            Put32(out, 4);
            Put32(out, rf64 ? 0xFFFFFFFFu : low(frames));
        }
        for (const auto& [id, body] : mChunks) {
            PutId(out, id.c_str());
            Put32(out, static_cast<std::uint32_t>(body.size()));
            out.insert(out.end(), body.begin(), body.end());
            if (body.size() & 1) out.push_back(0);
        }
        PutId(out, "data");
        Put32(out, rf64 ? 0xFFFFFFFFu : low(dataBytes));
        return out;
    }

    std::uint64_t mRiffLimit;
    std::FILE* mFile = nullptr;
    AudioFormat mFormat;
    std::string mPath;
    int mBlockAlign = 1;
    std::uint64_t mHeaderBytes = 0;
    std::uint64_t mDataBytes = 0;
    std::uint64_t mFrames = 0;
    std::uint64_t mPlannedFrames = 0;
    std::vector<std::uint8_t> mBytes;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> mChunks;  // metadata, before the audio
};

}  // namespace

std::unique_ptr<AudioReader> OpenWavReader(const std::string& path, std::string& error) {
    auto reader = std::make_unique<WavReader>();
    if (!reader->Open(path, error)) return nullptr;
    return reader;
}

std::unique_ptr<AudioWriter> OpenWavWriter(const AudioDestination& destination, const AudioFormat& format,
                                           std::string& error, std::uint64_t riffLimit, const AudioMetadata* metadata) {
    if (format.container != AudioContainer::kWav || format.encoding == AudioEncoding::kLossy) {
        error = "cannot write " + destination.name + ": only WAV files are written by this build";
        return nullptr;
    }
    auto writer = std::make_unique<WavWriter>(riffLimit);
    if (!writer->Open(destination, format, metadata, error)) return nullptr;
    return writer;
}

std::unique_ptr<AudioWriter> OpenWavWriter(const std::string& path, const AudioFormat& format, std::string& error,
                                           std::uint64_t riffLimit) {
    AudioDestination destination;
    destination.path = path;
    destination.name = path;
    return OpenWavWriter(destination, format, error, riffLimit);
}
