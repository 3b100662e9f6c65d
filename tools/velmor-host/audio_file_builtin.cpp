// Audio files in a build without libsndfile: WAV only, through the built-in
// reader and writer.
#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/wav_file.h"

bool CanWrite(const AudioFormat& format) {
    return format.container == AudioContainer::kWav && format.encoding != AudioEncoding::kLossy;
}

const char* WritableTypesNote() { return " (this build writes only WAV files)"; }

std::unique_ptr<AudioReader> OpenAudioReader(const std::string& path, std::string& error) {
    return OpenWavReader(path, error);
}

std::unique_ptr<AudioWriter> OpenAudioWriter(const AudioDestination& destination, const AudioFormat& format,
                                             std::string& error, const AudioMetadata* metadata) {
    return OpenWavWriter(destination, format, error, kRiffSizeLimit, metadata);
}
