// The host's one view of audio files. Everything else reads and writes
// interleaved doubles in [-1, 1] through these two interfaces and never
// learns whether libsndfile or the built-in WAV code is underneath.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class AudioContainer { kWav, kAiff, kFlac };

// Sample encodings the host keeps from input to output. Anything else a
// reader meets (ADPCM, mu-law, MP3...) is reported as kPcm24 so that the
// rendered file gets a sensible lossless encoding rather than a lossy one.
enum class AudioEncoding { kPcm8, kPcm16, kPcm24, kPcm32, kFloat32, kFloat64 };

struct AudioFormat {
    AudioContainer container = AudioContainer::kWav;
    AudioEncoding encoding = AudioEncoding::kPcm16;
    int sampleRate = 0;
    int channels = 0;
    std::int64_t frames = 0;  // as announced by the file; readers may deliver fewer
};

class AudioReader {
public:
    virtual ~AudioReader() = default;
    virtual const AudioFormat& Format() const = 0;
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

// Creates OUT with `format`'s rate, channels, container and encoding (the
// caller picks these with ChooseOutputFormat); null with an error on failure.
std::unique_ptr<AudioWriter> OpenAudioWriter(const std::string& path, const AudioFormat& format, std::string& error);

// Whether this build (libsndfile or the built-in WAV code) writes `container`.
bool CanWriteContainer(AudioContainer container);

// The container named by the file name's extension (.wav, .aif/.aiff/.aifc,
// .flac, any case); false when the extension names none of them.
bool ContainerFromExtension(const std::string& path, AudioContainer& container);

// Output format of a render: the input's rate and channels; the container of
// OUT's extension (the input's when OUT has none we know); the input's
// encoding when that container can hold it, else the nearest lossless one.
// False with an error when this build cannot write the container.
bool ChooseOutputFormat(const AudioFormat& input, const std::string& outPath, AudioFormat& output, std::string& error);

const char* ContainerName(AudioContainer container);
const char* EncodingName(AudioEncoding encoding);
