// Audio files through libsndfile: WAV, AIFF and FLAC (and whatever else it
// reads, rendered to a lossless encoding).
#include <sndfile.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/audio_metadata.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/wav_file.h"

namespace {

AudioEncoding EncodingOf(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return AudioEncoding::kPcm8;
        case SF_FORMAT_PCM_16:
            return AudioEncoding::kPcm16;
        case SF_FORMAT_PCM_24:
            return AudioEncoding::kPcm24;
        case SF_FORMAT_PCM_32:
            return AudioEncoding::kPcm32;
        case SF_FORMAT_FLOAT:
            return AudioEncoding::kFloat32;
        case SF_FORMAT_DOUBLE:
            return AudioEncoding::kFloat64;
        default:
            return AudioEncoding::kLossy;  // lossy or exotic input: the output picks a plain lossless encoding
    }
}

int SubtypeOf(AudioEncoding encoding, AudioContainer container) {
    switch (encoding) {
        case AudioEncoding::kPcm8:
            return container == AudioContainer::kWav || container == AudioContainer::kW64 ? SF_FORMAT_PCM_U8
                                                                                          : SF_FORMAT_PCM_S8;
        case AudioEncoding::kPcm16:
            return SF_FORMAT_PCM_16;
        case AudioEncoding::kPcm24:
            return SF_FORMAT_PCM_24;
        case AudioEncoding::kPcm32:
            return SF_FORMAT_PCM_32;
        case AudioEncoding::kFloat32:
            return SF_FORMAT_FLOAT;
        case AudioEncoding::kFloat64:
            return SF_FORMAT_DOUBLE;
        case AudioEncoding::kLossy:
            return container == AudioContainer::kOpus  ? SF_FORMAT_OPUS
                   : container == AudioContainer::kMp3 ? SF_FORMAT_MPEG_LAYER_III
                                                       : SF_FORMAT_VORBIS;
    }
    return SF_FORMAT_PCM_24;
}

struct Major {
    AudioContainer container;
    int major;
};

// Ogg holds Vorbis and Opus alike: the subtype tells them apart.
const Major kMajors[] = {
    {AudioContainer::kWav, SF_FORMAT_WAV},   {AudioContainer::kAiff, SF_FORMAT_AIFF},
    {AudioContainer::kAifc, SF_FORMAT_AIFF}, {AudioContainer::kFlac, SF_FORMAT_FLAC},
    {AudioContainer::kCaf, SF_FORMAT_CAF},   {AudioContainer::kW64, SF_FORMAT_W64},
    {AudioContainer::kAu, SF_FORMAT_AU},     {AudioContainer::kRaw, SF_FORMAT_RAW},
    {AudioContainer::kOgg, SF_FORMAT_OGG},   {AudioContainer::kOpus, SF_FORMAT_OGG},
    {AudioContainer::kMp3, SF_FORMAT_MPEG},
};

int MajorOf(AudioContainer container) {
    for (const Major& m : kMajors)
        if (m.container == container) return m.major;
    return SF_FORMAT_WAV;
}

AudioContainer ContainerOf(int major, int subtype) {
    if (major == SF_FORMAT_OGG && subtype == SF_FORMAT_OPUS) return AudioContainer::kOpus;
    if (major == SF_FORMAT_RF64) return AudioContainer::kWav;
    for (const Major& m : kMajors)
        if (m.major == major) return m.container;
    return AudioContainer::kWav;
}

SF_INFO InfoOf(const AudioFormat& format) {
    SF_INFO info{};
    info.samplerate = format.sampleRate;
    info.channels = format.channels;
    info.format = MajorOf(format.container) | SubtypeOf(format.encoding, format.container);
    // libsndfile writes integer AIFF as plain AIFF; little-endian integers
    // are AIFF-C's "sowt" kind, which every reader of AIFF-C knows. Float
    // is AIFF-C in either case.
    if (format.container == AudioContainer::kAifc && !IsFloat(format.encoding)) info.format |= SF_ENDIAN_LITTLE;
    return info;
}

void CopyName(char* to, std::size_t size, const std::string& from) {
    const std::size_t n = from.size() < size - 1 ? from.size() : size - 1;
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

struct TextKind {
    MetadataText kind;
    int sndfile;
};

const TextKind kTextKinds[] = {
    {MetadataText::kTitle, SF_STR_TITLE},       {MetadataText::kCopyright, SF_STR_COPYRIGHT},
    {MetadataText::kSoftware, SF_STR_SOFTWARE}, {MetadataText::kArtist, SF_STR_ARTIST},
    {MetadataText::kComment, SF_STR_COMMENT},   {MetadataText::kDate, SF_STR_DATE},
    {MetadataText::kAlbum, SF_STR_ALBUM},       {MetadataText::kLicense, SF_STR_LICENSE},
    {MetadataText::kTrack, SF_STR_TRACKNUMBER}, {MetadataText::kGenre, SF_STR_GENRE},
};

AudioMetadata ReadMetadata(SNDFILE* file) {
    AudioMetadata metadata;
    for (const TextKind& t : kTextKinds)
        if (const char* text = sf_get_string(file, t.sndfile)) metadata.texts.emplace_back(t.kind, text);
    std::uint32_t count = 0;
    if (sf_command(file, SFC_GET_CUE_COUNT, &count, sizeof count) && count > 0) {
        SF_CUES cues{};
        if (sf_command(file, SFC_GET_CUE, &cues, sizeof cues)) {
            for (std::uint32_t i = 0; i < cues.cue_count && i < 100; ++i) {
                CuePoint cue;
                cue.id = static_cast<std::uint32_t>(cues.cue_points[i].indx);
                cue.frame = cues.cue_points[i].sample_offset;
                cues.cue_points[i].name[sizeof cues.cue_points[i].name - 1] = '\0';
                cue.name = cues.cue_points[i].name;
                metadata.cues.push_back(cue);
            }
        }
    }
    return metadata;
}

// Before the first samples: libsndfile writes texts and markers into the
// header it has not written yet.
void WriteMetadata(SNDFILE* file, const AudioMetadata& metadata, AudioContainer container) {
    for (const auto& [kind, text] : metadata.texts)
        for (const TextKind& t : kTextKinds)
            if (t.kind == kind && ContainerKeepsText(container, kind)) sf_set_string(file, t.sndfile, text.c_str());
    if (metadata.cues.empty() || !ContainerKeepsMarkers(container)) return;
    SF_CUES cues{};
    for (const CuePoint& cue : metadata.cues) {
        if (cues.cue_count == 100) break;  // SF_CUES holds 100
        SF_CUE_POINT& point = cues.cue_points[cues.cue_count++];
        point.indx = static_cast<std::int32_t>(cue.id);
        point.position = static_cast<std::uint32_t>(cue.frame);
        point.sample_offset = static_cast<std::uint32_t>(cue.frame);
        point.fcc_chunk = 0x61746164;  // "data"
        CopyName(point.name, sizeof point.name, cue.name);
    }
    sf_command(file, SFC_SET_CUE, &cues, sizeof cues);
}

// libsndfile's own message, without its trailing full stop.
std::string SndfileError(SNDFILE* file) {
    std::string text = sf_strerror(file);
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    return text;
}

class SndfileReader final : public AudioReader {
public:
    explicit SndfileReader(SNDFILE* file, const SF_INFO& info) : mFile(file), mMetadata(ReadMetadata(file)) {
        mFormat.container = ContainerOf(info.format & SF_FORMAT_TYPEMASK, info.format & SF_FORMAT_SUBMASK);
        mFormat.encoding = EncodingOf(info.format & SF_FORMAT_SUBMASK);
        mFormat.sampleRate = info.samplerate;
        mFormat.channels = info.channels;
        mFormat.frames = info.frames;
        mFormat.declaredFrames = info.frames;
    }
    ~SndfileReader() override { sf_close(mFile); }

    const AudioFormat& Format() const override { return mFormat; }
    const AudioMetadata& Metadata() const override { return mMetadata; }

    std::int64_t Read(double* interleaved, std::int64_t frames, std::string& error) override {
        const sf_count_t got = sf_readf_double(mFile, interleaved, frames);
        if (got < frames && sf_error(mFile) != SF_ERR_NO_ERROR) {
            error = "read error: " + SndfileError(mFile);
            return -1;
        }
        return got;
    }

private:
    SNDFILE* mFile;
    AudioFormat mFormat;
    AudioMetadata mMetadata;
};

class SndfileWriter final : public AudioWriter {
public:
    // `spool`: the unnamed temporary file the audio goes to first, copied to
    // `destination` on Close; null when libsndfile writes to it directly.
    SndfileWriter(SNDFILE* file, std::string path, std::FILE* spool = nullptr, int destination = -1)
        : mFile(file), mPath(std::move(path)), mSpool(spool), mDestination(destination) {}
    ~SndfileWriter() override {
        if (mFile) sf_close(mFile);
        if (mSpool) std::fclose(mSpool);
    }

    bool Write(const double* interleaved, std::int64_t frames, std::string& error) override {
        if (sf_writef_double(mFile, interleaved, frames) != frames) {
            error = "cannot write " + mPath + ": " + SndfileError(mFile);
            return false;
        }
        return true;
    }

    bool Close(std::string& error) override {
        if (!mFile) return true;
        const int result = sf_close(mFile);
        mFile = nullptr;
        if (result != 0) {
            error = "cannot write " + mPath + ": " + sf_error_number(result);
            return false;
        }
        return !mSpool || CopySpool(error);
    }

private:
    bool CopySpool(std::string& error) {
        std::rewind(mSpool);
        char buffer[1 << 16];
        for (;;) {
            const std::size_t n = std::fread(buffer, 1, sizeof buffer, mSpool);
            for (std::size_t done = 0; done < n;) {
                const ssize_t w = write(mDestination, buffer + done, n - done);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    error = "cannot write " + mPath + ": " + ErrnoText(w < 0 ? errno : EIO);
                    return false;
                }
                done += static_cast<std::size_t>(w);
            }
            if (n < sizeof buffer) break;
        }
        if (std::ferror(mSpool)) {
            error = "cannot write " + mPath + ": the temporary copy could not be read back";
            return false;
        }
        std::fclose(mSpool);
        mSpool = nullptr;
        return true;
    }

    SNDFILE* mFile;
    std::string mPath;
    std::FILE* mSpool;
    int mDestination;
};

}  // namespace

bool CanWrite(const AudioFormat& format) {
    if (format.container == AudioContainer::kWav) return format.encoding != AudioEncoding::kLossy;  // built-in
    // Whether this libsndfile has the codec (Opus, MP3 and Vorbis are
    // optional when it is built); rate and channels are checked when the
    // file is opened.
    AudioFormat probe = format;
    probe.sampleRate = 48000;
    probe.channels = 1;
    SF_INFO info = InfoOf(probe);
    return sf_format_check(&info) != 0;
}

const char* WritableTypesNote() { return " (this machine's libsndfile lacks its codec)"; }

std::unique_ptr<AudioReader> OpenAudioReader(const std::string& path, std::string& error) {
    // PCM and float WAV go through the built-in reader, as in the Windows
    // build: the same files read the same everywhere, and it tells a file cut
    // short from a complete one. libsndfile takes everything else.
    std::string wavError;
    if (auto wav = OpenWavReader(path, wavError)) return wav;
    // Tell a missing or unreadable file apart from one libsndfile does not
    // understand; its own message for the first is less direct.
    if (std::FILE* probe = OpenFileUtf8(path, "rb")) {
        std::fclose(probe);
    } else {
        error = "cannot open " + path + ": " + ErrnoText(errno);
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "cannot read " + path + ": " + SndfileError(nullptr);
        return nullptr;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        error = path + ": invalid channel count or sample rate";
        return nullptr;
    }
    return std::make_unique<SndfileReader>(file, info);
}

std::unique_ptr<AudioWriter> OpenAudioWriter(const AudioDestination& destination, const AudioFormat& format,
                                             std::string& error, const AudioMetadata* metadata) {
    // WAV files go through the built-in writer on every platform: it turns a
    // file into RF64 when it passes 4 GiB, and writes to a pipe, which
    // libsndfile refuses for WAV.
    if (format.container == AudioContainer::kWav)
        return OpenWavWriter(destination, format, error, kRiffSizeLimit, metadata);
    const std::string& path = destination.name;
    SF_INFO info = InfoOf(format);
    if (!sf_format_check(&info)) {
        error = std::string("cannot write ") + ContainerName(format.container) + " with " +
                EncodingName(format.encoding) + " samples (" + path + ")";
        return nullptr;
    }
    // libsndfile's writers seek back to finish their headers (FLAC's stream
    // info, AIFF's sizes); to a pipe that corrupts the stream or fails after
    // the first bytes. Such a destination gets the finished file instead.
    const bool pipe = !destination.seekable || (destination.fd < 0 && destination.path == "-");
    std::FILE* spool = nullptr;
    SNDFILE* file = nullptr;
    if (pipe) {
        spool = std::tmpfile();
        if (!spool) {
            error = "cannot write " + path + ": no temporary file for the stream (" + ErrnoText(errno) + ")";
            return nullptr;
        }
        file = sf_open_fd(fileno(spool), SFM_WRITE, &info, SF_FALSE);
    } else if (destination.fd >= 0) {
        file = sf_open_fd(destination.fd, SFM_WRITE, &info, SF_FALSE);
    } else {
        file = sf_open(destination.path.c_str(), SFM_WRITE, &info);
    }
    if (!file) {
        error = "cannot create " + path + ": " + SndfileError(nullptr);
        if (spool) std::fclose(spool);
        return nullptr;
    }
    // Rendered audio may exceed full scale: integer formats must clip it,
    // not wrap around. Clipping also scales by 2^(bits-1), the inverse of
    // reading, so integer samples pass through unchanged.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (metadata) WriteMetadata(file, *metadata, format.container);
    const int target = destination.fd >= 0 ? destination.fd : 1;
    return std::make_unique<SndfileWriter>(file, path, spool, pipe ? target : -1);
}
