// The host's one view of audio files. Everything else reads and writes
// interleaved doubles in [-1, 1] through these two interfaces and never
// learns whether libsndfile or the built-in WAV code is underneath.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Output types, chosen from OUT's extension or --type as sox does. Only kWav
// exists in a build without libsndfile.
enum class AudioContainer { kWav, kAiff, kAifc, kFlac, kCaf, kW64, kAu, kRaw, kOgg, kOpus, kMp3 };

// Sample encodings the host keeps from input to output. Anything else a
// reader meets (ADPCM, mu-law, MP3...) is reported as kPcm24 so that the
// rendered file gets a sensible lossless encoding rather than a lossy one.
// kLossy is the one encoding of the lossy types (Vorbis, Opus, MP3).
enum class AudioEncoding { kPcm8, kPcm16, kPcm24, kPcm32, kFloat32, kFloat64, kLossy };

inline bool IsFloat(AudioEncoding e) { return e == AudioEncoding::kFloat32 || e == AudioEncoding::kFloat64; }
// Bits of an integer encoding; 0 for float and lossy ones.
int IntegerBits(AudioEncoding encoding);

struct AudioFormat {
    AudioContainer container = AudioContainer::kWav;
    AudioEncoding encoding = AudioEncoding::kPcm16;
    int sampleRate = 0;
    int channels = 0;
    std::int64_t frames = 0;  // as announced by the file; readers may deliver fewer
    // What the header claims where it claims more than the file holds (a
    // file cut short); else equal to `frames`.
    std::int64_t declaredFrames = 0;
};

struct AudioMetadata;

class AudioReader {
public:
    virtual ~AudioReader() = default;
    virtual const AudioFormat& Format() const = 0;
    // Texts, markers and the format's own chunks, as far as the reader
    // knows them (audio_metadata.h).
    virtual const AudioMetadata& Metadata() const;
    // Reads up to `frames` interleaved frames; answers the number read, 0 at
    // the end, -1 on a read error (with `error` set).
    virtual std::int64_t Read(double* interleaved, std::int64_t frames, std::string& error) = 0;
};

class AudioWriter {
public:
    virtual ~AudioWriter() = default;
    virtual bool Write(const double* interleaved, std::int64_t frames, std::string& error) = 0;
    // Finishes the file (header sizes, flush). A writer destroyed without
    // Close leaves an incomplete file behind.
    virtual bool Close(std::string& error) = 0;
};

// Opens IN for reading; null with a one-line error on failure.
std::unique_ptr<AudioReader> OpenAudioReader(const std::string& path, std::string& error);

// Where a writer writes: an open descriptor it writes through without
// taking it over (a dup of it is closed by Close), or a path ("-": standard
// output). `name` is the output's name in messages. A destination that
// cannot be rewound (a pipe, a FIFO) gets WAV with the sizes of
// `format.frames` frames in its header, and any other type written whole
// to an unnamed temporary file first and copied to it on Close, since
// their writers go back to fill in their headers.
struct AudioDestination {
    int fd = -1;
    std::string path;
    std::string name;
    bool seekable = true;
};

// `metadata` (may be null) is written where the type holds it.
std::unique_ptr<AudioWriter> OpenAudioWriter(const AudioDestination& destination, const AudioFormat& format,
                                             std::string& error, const AudioMetadata* metadata = nullptr);

// Creates OUT with `format`'s rate, channels, container and encoding (the
// caller picks these with ChooseOutputFormat) for `format.frames` frames
// (0: not known; a WAV header sent down a pipe needs it); null with an
// error on failure. "-" is standard output.
std::unique_ptr<AudioWriter> OpenAudioWriter(const std::string& path, const AudioFormat& format, std::string& error);

// Whether this build (libsndfile or the built-in WAV code) writes `format`'s
// container with its encoding.
bool CanWrite(const AudioFormat& format);
// Added to the message for a type this build cannot write.
const char* WritableTypesNote();

// The container named by a type name or extension (wav, aif/aiff, aifc,
// flac, caf, w64, au/snd, raw, ogg/oga, opus, mp3; any case).
bool ContainerFromName(const std::string& name, AudioContainer& container);
// The extension of a path's file name without the dot; empty if none.
std::string ExtensionOf(const std::string& path);

// What the user asked of the output's samples: bits (0: not asked) and
// integer or float (neither: not asked).
struct SampleRequest {
    int bits = 0;
    bool integer = false;
    bool floating = false;
};

// Output format of a render: the input's rate and channels; the container
// of `type` when given, else of OUT's extension (the input's for "-"); the
// requested encoding, else the input's when that container can hold it,
// else the nearest lossless one. False with a one-line error for an unknown
// or missing type, a sample format the container cannot hold, or one this
// build cannot write.
bool ChooseOutputFormat(const AudioFormat& input, const std::string& outPath, const std::string& type,
                        const SampleRequest& request, AudioFormat& output, std::string& error);

const char* ContainerName(AudioContainer container);
const char* EncodingName(AudioEncoding encoding);
