#include "tools/velmor-host/audio_file.h"

#include <cctype>

#include "tools/velmor-host/audio_metadata.h"

const AudioMetadata& AudioReader::Metadata() const {
    static const AudioMetadata kNone;
    return kNone;
}

std::unique_ptr<AudioWriter> OpenAudioWriter(const std::string& path, const AudioFormat& format, std::string& error) {
    AudioDestination destination;
    destination.path = path;
    destination.name = path;
    return OpenAudioWriter(destination, format, error);
}

namespace {

struct TypeName {
    const char* name;
    AudioContainer container;
};

const TypeName kTypeNames[] = {
    {"wav", AudioContainer::kWav},  {"wave", AudioContainer::kWav},  {"aiff", AudioContainer::kAiff},
    {"aif", AudioContainer::kAiff}, {"aifc", AudioContainer::kAifc}, {"flac", AudioContainer::kFlac},
    {"caf", AudioContainer::kCaf},  {"w64", AudioContainer::kW64},   {"au", AudioContainer::kAu},
    {"snd", AudioContainer::kAu},   {"raw", AudioContainer::kRaw},   {"ogg", AudioContainer::kOgg},
    {"oga", AudioContainer::kOgg},  {"opus", AudioContainer::kOpus}, {"mp3", AudioContainer::kMp3},
};

const char kTypeList[] = "wav, aiff, aifc, flac, caf, w64, au, raw, ogg, opus, mp3";

bool IsLossy(AudioContainer c) {
    return c == AudioContainer::kOgg || c == AudioContainer::kOpus || c == AudioContainer::kMp3;
}

AudioEncoding IntegerEncoding(int bits) {
    return bits == 8    ? AudioEncoding::kPcm8
           : bits == 16 ? AudioEncoding::kPcm16
           : bits == 24 ? AudioEncoding::kPcm24
                        : AudioEncoding::kPcm32;
}

}  // namespace

int IntegerBits(AudioEncoding encoding) {
    switch (encoding) {
        case AudioEncoding::kPcm8:
            return 8;
        case AudioEncoding::kPcm16:
            return 16;
        case AudioEncoding::kPcm24:
            return 24;
        case AudioEncoding::kPcm32:
            return 32;
        default:
            return 0;
    }
}

bool ContainerFromName(const std::string& name, AudioContainer& container) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const TypeName& t : kTypeNames) {
        if (lower == t.name) {
            container = t.container;
            return true;
        }
    }
    return false;
}

std::string ExtensionOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    if (dot == (slash == std::string::npos ? 0 : slash + 1)) return std::string();  // ".name" is a name
    return path.substr(dot + 1);
}

bool ChooseOutputFormat(const AudioFormat& input, const std::string& outPath, const std::string& type,
                        const SampleRequest& request, AudioFormat& output, std::string& error) {
    output = input;
    output.frames = 0;
    const std::string extension = ExtensionOf(outPath);
    if (!type.empty()) {
        if (!ContainerFromName(type, output.container)) {
            error = "unknown output type \"" + type + "\" (known: " + kTypeList + ")";
            return false;
        }
    } else if (outPath == "-") {
        output.container = input.container;
    } else if (extension.empty()) {
        error = "cannot tell the output type from the name " + outPath + "; add --type (" + kTypeList + ")";
        return false;
    } else if (!ContainerFromName(extension, output.container)) {
        error = "unknown output type \"." + extension + "\" (" + outPath + "); use a known extension or --type (" +
                kTypeList + ")";
        return false;
    }
    const char* name = ContainerName(output.container);
    AudioFormat probe = output;
    probe.encoding = IsLossy(output.container) ? AudioEncoding::kLossy : AudioEncoding::kPcm16;
    if (!CanWrite(probe)) {
        error = "cannot write " + outPath + ": this build cannot write " + name + WritableTypesNote();
        return false;
    }

    if (IsLossy(output.container)) {
        if (request.bits != 0 || request.integer || request.floating) {
            error = std::string(name) + " output has no sample format to choose; leave out --bits, -e and --float";
            return false;
        }
        output.encoding = AudioEncoding::kLossy;
    } else if (request.floating || request.bits == 64) {
        output.encoding = request.bits == 64 ? AudioEncoding::kFloat64 : AudioEncoding::kFloat32;
    } else if (request.integer || request.bits != 0) {
        output.encoding = IntegerEncoding(request.bits != 0 ? request.bits : 24);
    } else if (output.encoding == AudioEncoding::kLossy) {
        output.encoding = AudioEncoding::kPcm24;  // lossy input: a plain lossless encoding
    } else if (output.container == AudioContainer::kFlac &&
               (output.encoding == AudioEncoding::kPcm32 || IsFloat(output.encoding))) {
        // FLAC stores integers of at most 24 bits: wider or float input
        // keeps the most precision FLAC has.
        output.encoding = AudioEncoding::kPcm24;
    }
    if (output.container == AudioContainer::kFlac &&
        (output.encoding == AudioEncoding::kPcm32 || IsFloat(output.encoding))) {
        error = "FLAC holds integer samples of 8, 16 or 24 bits, not " + std::string(EncodingName(output.encoding));
        return false;
    }
    if (!CanWrite(output)) {
        error = "cannot write " + outPath + ": this build cannot write " + name +
                (IsLossy(output.container) ? std::string()
                                           : std::string(" with ") + EncodingName(output.encoding) + " samples");
        return false;
    }
    return true;
}

const char* ContainerName(AudioContainer container) {
    switch (container) {
        case AudioContainer::kWav:
            return "WAV";
        case AudioContainer::kAiff:
            return "AIFF";
        case AudioContainer::kAifc:
            return "AIFF-C";
        case AudioContainer::kFlac:
            return "FLAC";
        case AudioContainer::kCaf:
            return "CAF";
        case AudioContainer::kW64:
            return "W64";
        case AudioContainer::kAu:
            return "AU";
        case AudioContainer::kRaw:
            return "raw";
        case AudioContainer::kOgg:
            return "Ogg Vorbis";
        case AudioContainer::kOpus:
            return "Opus";
        case AudioContainer::kMp3:
            return "MP3";
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
        case AudioEncoding::kLossy:
            return "lossy";
    }
    return "?";
}
