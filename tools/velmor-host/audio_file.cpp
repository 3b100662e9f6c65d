#include "tools/velmor-host/audio_file.h"

#include <cctype>

bool ContainerFromExtension(const std::string& path, AudioContainer& container) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "wav" || ext == "wave") {
        container = AudioContainer::kWav;
    } else if (ext == "aif" || ext == "aiff" || ext == "aifc") {
        container = AudioContainer::kAiff;
    } else if (ext == "flac") {
        container = AudioContainer::kFlac;
    } else {
        return false;
    }
    return true;
}

bool ChooseOutputFormat(const AudioFormat& input, const std::string& outPath, AudioFormat& output, std::string& error) {
    output = input;
    output.frames = 0;
    if (!ContainerFromExtension(outPath, output.container)) output.container = input.container;
    if (!CanWriteContainer(output.container)) {
        error = "cannot write " + outPath + ": this build writes only WAV files";
        return false;
    }
    // FLAC stores integers of at most 24 bits: wider or float input keeps
    // the most precision FLAC has.
    if (output.container == AudioContainer::kFlac &&
        (input.encoding == AudioEncoding::kPcm32 || input.encoding == AudioEncoding::kFloat32 ||
         input.encoding == AudioEncoding::kFloat64)) {
        output.encoding = AudioEncoding::kPcm24;
    }
    return true;
}

const char* ContainerName(AudioContainer container) {
    switch (container) {
        case AudioContainer::kWav:
            return "WAV";
        case AudioContainer::kAiff:
            return "AIFF";
        case AudioContainer::kFlac:
            return "FLAC";
    }
    return "?";
}

const char* EncodingName(AudioEncoding encoding) {
    switch (encoding) {
        case AudioEncoding::kPcm8:
            return "8-bit PCM";
        case AudioEncoding::kPcm16:
            return "16-bit PCM";
        case AudioEncoding::kPcm24:
            return "24-bit PCM";
        case AudioEncoding::kPcm32:
            return "32-bit PCM";
        case AudioEncoding::kFloat32:
            return "32-bit float";
        case AudioEncoding::kFloat64:
            return "64-bit float";
    }
    return "?";
}
