#include "tools/velmor-host/host_commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include "base/decimal_text.h"
#include "raster/png_encode.h"
#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/audio_metadata.h"
#include "tools/velmor-host/command_line.h"
#include "tools/velmor-host/editor_photo.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/interrupt.h"
#include "tools/velmor-host/output_file.h"
#include "tools/velmor-host/parameter_access.h"
#include "tools/velmor-host/plugin_loader.h"
#include "tools/velmor-host/plugin_state.h"
#include "tools/velmor-host/progress_bar.h"
#include "tools/velmor-host/render.h"
#include "tools/velmor-host/sample_codec.h"
#include "tools/velmor-host/state_file.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first.
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr double kDefaultSampleRate = 44100.0;
constexpr int kDefaultBlockSize = 512;
// Rates a plug-in can be expected to run at; outside them a hand-made or
// damaged header is far likelier than real audio.
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 768000;

// A character device, FIFO or socket (links followed).
bool IsSpecialFile(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathOfUtf8(path), ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(PathOfUtf8(a), PathOfUtf8(b), ec)) return true;
    return a == b;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// AIFF and AU keep 32-bit sizes and have no 64-bit variant: an output that
// would pass 4 GiB is refused before rendering rather than written with a
// size that wraps (WAV turns into RF64; W64, CAF and FLAC have room).
bool FitsContainer(const AudioFormat& format, const std::string& outPath, std::string& error) {
    if (format.container != AudioContainer::kAiff && format.container != AudioContainer::kAifc &&
        format.container != AudioContainer::kAu)
        return true;
    constexpr std::uint64_t kHeaderRoom = 4096;
    const std::uint64_t bytes = static_cast<std::uint64_t>(format.frames) *
                                static_cast<std::uint64_t>(format.channels) *
                                static_cast<std::uint64_t>(BytesPerSample(format.encoding));
    if (bytes + kHeaderRoom <= 0xFFFFFFFFull) return true;
    error = "cannot write " + outPath + ": " + ContainerName(format.container) +
            " files end at 4 GiB and this render needs " + std::to_string(bytes >> 20) +
            " MiB; use WAV (RF64), W64, CAF or FLAC";
    return false;
}

// Copies standard input into a temporary file of `spool` (unnamed where the
// system allows) and answers a path the readers can open it by.
bool SpoolStandardInput(OutputFile& spool, std::string& readPath, std::string& error) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmor-host-stdin";
    if (!spool.Open(folder.u8string(), error)) {
        error = "cannot create a temporary file for standard input: " + error;
        return false;
    }
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    readPath = spool.WritePath();
#else
    readPath =
        spool.CleanupPath().empty() ? "/proc/self/fd/" + std::to_string(spool.Descriptor()) : spool.CleanupPath();
#endif
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), stdin);
        if (n > 0 && !spool.WriteAll(buffer.data(), n, error)) ok = false;
        if (n < buffer.size() || !ok) break;
    }
    if (std::ferror(stdin)) {
        error = "cannot read standard input: " + ErrnoText(errno);
        return false;
    }
    if (!ok) error = "cannot copy standard input to a temporary file: " + error;
    return ok;
}

// Clears the file a second signal would remove when the render is over.
struct CleanupFileScope {
    explicit CleanupFileScope(const std::string& path) { SetInterruptCleanupFile(path.c_str()); }
    ~CleanupFileScope() { SetInterruptCleanupFile(nullptr); }
};

std::string VersionText(int version) {
    return std::to_string(version / 10000) + "." + std::to_string(version / 100 % 100) + "." +
           std::to_string(version % 100);
}

// Columns of a UTF-8 text on a terminal: one per code point (the units and
// names plug-ins use, "°C" or "µs", take one column each).
std::size_t TextColumns(const std::string& text) {
    std::size_t columns = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
    return columns;
}

std::string PadRight(const std::string& text, std::size_t columns) {
    const std::size_t used = TextColumns(text);
    return used >= columns ? text : text + std::string(columns - used, ' ');
}

class Command {
public:
    Command(const CommandLine& line, const HostEnvironment& environment, std::ostream& out, std::ostream& err)
        : mLine(line), mEnvironment(environment), mOut(out), mErr(err) {}

    int Run() {
        switch (mLine.command) {
            case CommandLine::Command::kHelp:
                mOut << UsageText(mLine.helpTopic);
                return kExitOk;
            case CommandLine::Command::kVersion:
                return Version();
            case CommandLine::Command::kRender:
                return Render();
            case CommandLine::Command::kInfo:
                return Info();
            case CommandLine::Command::kStateSave:
                return SaveState();
            case CommandLine::Command::kEditor:
                return Editor();
        }
        return kExitFailure;
    }

private:
    int Fail(const std::string& message) {
        mErr << "velmor-host: " << message << "\n";
        return kExitFailure;
    }

    // What --plugin names is a file or a folder, never a name for the
    // dynamic loader to look up on its search path: a bare name is taken
    // from the current folder, as any other file argument is. URIs (LV2)
    // are passed on as they are.
    std::string PluginPath() const {
        if (!mLine.pluginGiven) return mEnvironment.defaultPluginPath;
        const std::string& path = mLine.pluginPath;
        if (path.empty() || path.find_first_of("/\\") != std::string::npos) return path;
        const std::size_t colon = path.find(':');
#if defined(_WIN32)
        if (colon != std::string::npos) return path;
        return ".\\" + path;
#else
        if (colon != std::string::npos && colon > 0) return path;
        return "./" + path;
#endif
    }

    // --state or --chunk first, then every --set in order.
    bool Configure(std::string& error) {
        if (!mLine.statePath.empty() && !LoadStateFile(*mPlugin, mLine.statePath, error)) return false;
        if (!mLine.chunkPath.empty() && !LoadBareChunk(*mPlugin, mLine.chunkPath, error)) return false;
        ParameterAccess parameters(*mPlugin);
        for (const std::string& setting : mLine.settings)
            if (!parameters.Apply(setting, error)) return false;
        return true;
    }

    // Standard input can feed one thing.
    bool CheckStandardInput(const std::string& in, std::string& error) const {
        int readers = IsStdStream(in) ? 1 : 0;
        if (IsStdStream(mLine.statePath)) ++readers;
        if (IsStdStream(mLine.chunkPath)) ++readers;
        if (IsStdStream(mLine.playPath)) ++readers;
        if (readers <= 1) return true;
        error = "standard input (\"-\") can be read only once: give files for the others";
        return false;
    }

    int Render() {
        const std::string& inPath = mLine.files[0];
        const std::string& outPath = mLine.files[1];
        std::string error;
        if (!CheckStandardInput(inPath, error)) return Fail(error);
        if (!IsStdStream(inPath) && !IsStdStream(outPath) && SameFile(inPath, outPath))
            return Fail("OUT must be another file than IN (" + outPath + ")");
        if (std::filesystem::is_directory(PathOfUtf8(inPath), mIgnored))
            return Fail(inPath + " is a directory, not an audio file");
        // Standard input is copied whole to a temporary file first: the
        // readers seek, and the length is known for the progress display.
        OutputFile spool;
        std::string readPath = inPath;
        if (IsStdStream(inPath)) {
            if (!SpoolStandardInput(spool, readPath, error))
                return InterruptSignal() != 0 ? Interrupted(outPath, true) : Fail(error);
        }
        std::unique_ptr<AudioReader> reader = OpenAudioReader(readPath, error);
        if (!reader) {
            if (IsStdStream(inPath)) ReplaceAll(error, readPath, "standard input");
            return Fail(error);
        }
        const AudioFormat& format = reader->Format();
        if (format.sampleRate < kMinSampleRate || format.sampleRate > kMaxSampleRate)
            return Fail(inPath + " has a sample rate of " + std::to_string(format.sampleRate) +
                        " Hz; velmor-host renders from " + std::to_string(kMinSampleRate) + " to " +
                        std::to_string(kMaxSampleRate) + " Hz");
        AudioFormat outFormat;
        SampleRequest request;
        request.bits = mLine.bits;
        request.integer = mLine.sampleKind == CommandLine::SampleKind::kInteger;
        request.floating = mLine.sampleKind == CommandLine::SampleKind::kFloat;
        // A device or FIFO without an extension gets the input's type, as
        // standard output does.
        const bool streamed = IsStdStream(outPath) || (ExtensionOf(outPath).empty() && IsSpecialFile(outPath));
        if (!ChooseOutputFormat(format, streamed ? "-" : outPath, mLine.type, request, outFormat, error))
            return Fail(error);
        outFormat.frames = format.frames;  // compensated latency keeps the input's length
        if (!FitsContainer(outFormat, outPath, error)) return Fail(error);

        if (!LoadPlugin(format.sampleRate, mLine.blockSize, error)) return Fail(error);
        if (!CheckChannels(*mPlugin, format.channels, error)) return Fail(error + " (" + inPath + ")");
        if (mLine.doublePrecision && !mPlugin->CanProcessDouble())
            return Fail("the plug-in does not support 64-bit processing; leave out --double");
        if (!Configure(error)) return Fail(error);
        if (mLine.verbose)
            Note("writing " + std::string(ContainerName(outFormat.container)) +
                 (outFormat.encoding == AudioEncoding::kLossy ? ""
                                                              : std::string(", ") + EncodingName(outFormat.encoding)) +
                 ", " + std::to_string(outFormat.sampleRate) + " Hz, " + std::to_string(outFormat.channels) +
                 (outFormat.channels == 1 ? " channel" : " channels"));
        if (mLine.verbose && !reader->Metadata().Empty()) {
            std::vector<std::string> kept, dropped;
            MetadataFate(reader->Metadata(), outFormat.container, kept, dropped);
            if (!kept.empty()) Note("metadata kept: " + JoinTexts(kept));
            if (!dropped.empty())
                Note("metadata dropped (" + std::string(ContainerName(outFormat.container)) +
                     " cannot hold it): " + JoinTexts(dropped));
        }

        if (InterruptSignal() != 0) return Interrupted(outPath, false);

        // A file is written under a temporary name (or none) and replaces
        // OUT only when complete; devices, FIFOs and standard output are
        // written as they come.
        OutputFile output;
        if (!output.Open(outPath, error)) return InterruptSignal() != 0 ? Interrupted(outPath, false) : Fail(error);
        CleanupFileScope cleanup(output.CleanupPath());
        AudioDestination destination;
        destination.fd = output.Descriptor();
        destination.path = output.WritePath();
        destination.name = output.Name();
        destination.seekable = output.Seekable();
        std::unique_ptr<AudioWriter> writer = OpenAudioWriter(destination, outFormat, error, &reader->Metadata());
        bool ok = writer != nullptr;
        RenderReport report;
        if (ok) {
            ProgressBar progress(mErr, mEnvironment.showProgress && !mLine.quiet, mEnvironment.terminalColumns);
            RenderSettings settings;
            settings.blockSize = mLine.blockSize;
            settings.doublePrecision = mLine.doublePrecision;
            settings.latencyCompensation = mLine.latencyCompensation;
            settings.mixToMono = mLine.mixToMono;
            settings.outputEncoding = outFormat.encoding;
            settings.dither = mLine.dither;
            settings.interrupted = InterruptSignal;
            ok = RenderAudio(*mPlugin, *reader, *writer, settings, &progress, error, &report) && writer->Close(error);
        }
        const int announcedLatency = mPlugin->Latency();
        const std::string level = report.clipped > 0 ? OutputLevelName() : std::string();
        mPlugin->Close();
        writer.reset();
        // Decided once: a signal arriving after the rename must not report
        // a replaced OUT as not written.
        const bool stopped = InterruptSignal() != 0;
        if (ok && !stopped) ok = output.Commit(error);
        if (stopped) return Interrupted(outPath, output.Direct());
        if (!ok) {
            if (IsStdStream(inPath)) ReplaceAll(error, readPath, "standard input");
            return Fail(error);
        }
        Report(report, format, inPath, outFormat, level, announcedLatency);
        return kExitOk;
    }

    // The plug-in's own output level, if it has a parameter named so.
    std::string OutputLevelName() {
        ParameterAccess parameters(*mPlugin);
        for (int i = 0; i < parameters.Count(); ++i) {
            const std::string name = parameters.Name(i);
            const std::string lower = Lower(name);
            if (lower.find("output") != std::string::npos || lower.find("out gain") != std::string::npos ||
                lower == "out" || lower == "volume" || lower == "master")
                return name;
        }
        return std::string();
    }

    // A fix for clipping that exists for this plug-in and this output: the
    // plug-in's own output level where it has one, a float output where the
    // output type holds float samples.
    static std::string ClippingHint(const AudioFormat& output, const std::string& level) {
        std::vector<std::string> fixes;
        if (!level.empty()) fixes.push_back("lower " + level);
        AudioFormat floating = output;
        floating.encoding = AudioEncoding::kFloat32;
        if (CanWrite(floating) && output.container != AudioContainer::kFlac)
            fixes.push_back("use a float output (--float)");
        else
            fixes.push_back("write a float WAV instead (-t wav --float)");
        return JoinTexts(fixes, " or ");
    }

    // What the user should know about a finished render (always), and what
    // was done to fit the file to the plug-in (with --verbose).
    void Report(const RenderReport& report, const AudioFormat& input, const std::string& inPath,
                const AudioFormat& output, const std::string& level, int announcedLatency) {
        if (mLine.verbose) {
            if (report.monoToBothInputs)
                Note(std::string("mono input fed to both of the plug-in's first two inputs; output: ") +
                     (mLine.mixToMono ? "the mean of its first two outputs" : "its first (left) output"));
            const int fed = report.pluginInputs - report.silentInputs;
            if (report.silentInputs > 0)
                Note("the plug-in's " + Range("input", fed + 1, fed + report.silentInputs) + " fed silence");
            const int kept = report.pluginOutputs - report.droppedOutputs;
            if (report.droppedOutputs > 0)
                Note("the plug-in's " + Range("output", kept + 1, kept + report.droppedOutputs) + " dropped");
            if (!mLine.latencyCompensation) {
                Note("latency compensation off; the output keeps the plug-in's delay of " +
                     std::to_string(announcedLatency) + " frames");
            } else if (report.latency == 0) {
                Note("latency: none reported");
            } else {
                Note("latency: " + std::to_string(report.latency) + " frames compensated" +
                     (report.latencyAnnouncedLate ? " (announced after the first block)" : ""));
            }
        }
        if (report.silentInputs > 0 && report.peak == 0.0 && report.inputPeak > 0.0)
            Note("warning: the output is silent; the plug-in may need its other " +
                 std::to_string(report.silentInputs) + " input" + (report.silentInputs == 1 ? "" : "s") +
                 " (a sidechain?), which were fed silence");
        if (report.latencyChangeFrame >= 0)
            Note("warning: the plug-in changed its latency from " + std::to_string(report.previousLatency) + " to " +
                 std::to_string(report.latency) + " frames after " + std::to_string(report.latencyChangeFrame) +
                 " output frames; the output before that point is out of line by the difference");
        if (input.declaredFrames > report.framesRead)
            Note("warning: input ends after " + std::to_string(report.framesRead) + " of " +
                 std::to_string(input.declaredFrames) + " frames (" + inPath +
                 " is cut short); rendered what is there");
        if (report.nonFinite > 0)
            Note("warning: the plug-in produced " + std::to_string(report.nonFinite) +
                 " non-finite samples (NaN or infinity), written as silence");
        if (report.clipped > 0) {
            // "." whatever the locale, and a sign on every level.
            const double peakDb = 20.0 * std::log10(report.peak);
            const std::string peak = (std::signbit(peakDb) ? "" : "+") + FormatFixed(peakDb, 1);
            Note("clipped " + std::to_string(report.clipped) + (report.clipped == 1 ? " sample" : " samples") +
                 " (peak " + peak + " dBFS); " + ClippingHint(output, level));
        }
    }

    static std::string Range(const char* what, int first, int last) {
        return first == last
                   ? std::string(what) + " " + std::to_string(first) + " is"
                   : std::string(what) + "s " + std::to_string(first) + " to " + std::to_string(last) + " are";
    }

    void Note(const std::string& message) { mErr << "velmor-host: " << message << "\n"; }

    bool LoadPlugin(double sampleRate, int blockSize, std::string& error) {
        PluginRequest request;
        request.location = PluginPath();
        request.className = mLine.className;
        mPlugin = LoadPluginInstance(request, sampleRate, blockSize, error);
        return mPlugin != nullptr;
    }

    // A command stopped by SIGINT, SIGTERM or SIGHUP: a temporary file is
    // gone (OutputFile's destructor) and OUT is as it was, unless it is
    // written directly.
    int Interrupted(const std::string& outPath, bool direct) {
        mErr << "velmor-host: interrupted; "
             << (direct ? (IsStdStream(outPath) ? std::string("the output is incomplete") : outPath + " is incomplete")
                        : "nothing written to " + outPath)
             << "\n";
        return InterruptExitStatus(InterruptSignal());
    }

    // Writes whole bytes to a command's output file, or to standard output.
    int WriteOutput(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::string error;
        if (IsStdStream(path) && &mOut != &std::cout) {
            // In-process callers (the tests) read standard output from `mOut`.
            mOut.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            return mOut.flush() ? kExitOk : Fail("cannot write to standard output");
        }
        if (IsStdStream(path)) std::cout.flush();
        OutputFile output;
        if (!output.Open(path, error)) return Fail(error);
        CleanupFileScope cleanup(output.CleanupPath());
        if (!output.WriteAll(bytes.data(), bytes.size(), error)) return Fail(error);
        if (InterruptSignal() != 0) return Interrupted(path, output.Direct());
        if (!output.Commit(error)) return Fail(error);
        return kExitOk;
    }

    // The display first: without one, nothing is loaded.
    int Editor() {
        std::string error;
        const std::string& outPath = mLine.files[0];
        if (!IsStdStream(outPath) && Lower(ExtensionOf(outPath)) != "png")
            return Fail("editor writes a PNG picture: name it NAME.png (or - for standard output), not " + outPath);
        if (!CheckStandardInput("", error)) return Fail(error);
        if (!EditorDisplayAvailable(error)) return Fail(error);
        EditorPhotoRequest request;
        request.afterMs = mLine.afterMs;
        request.scale = mLine.scale;
        request.interrupted = InterruptSignal;
        double rate = kDefaultSampleRate;
        std::unique_ptr<AudioReader> play;
        OutputFile spool;
        if (!mLine.playPath.empty()) {
            std::string readPath = mLine.playPath;
            if (IsStdStream(readPath) && !SpoolStandardInput(spool, readPath, error)) return Fail(error);
            play = OpenAudioReader(readPath, error);
            if (!play) return Fail(error);
            rate = play->Format().sampleRate;
            if (rate < kMinSampleRate || rate > kMaxSampleRate)
                return Fail(mLine.playPath + " has a sample rate of " + std::to_string(play->Format().sampleRate) +
                            " Hz; velmor-host plays from " + std::to_string(kMinSampleRate) + " to " +
                            std::to_string(kMaxSampleRate) + " Hz");
            request.play = play.get();
        }
        if (!LoadPlugin(rate, mLine.blockSize, error)) return Fail(error);
        if (play && !CheckChannels(*mPlugin, play->Format().channels, error))
            return Fail(error + " (" + mLine.playPath + ")");
        if (!Configure(error)) return Fail(error);
        if (InterruptSignal() != 0) return Interrupted(outPath, false);
        const std::unique_ptr<MemBitmap> pixels = PhotographEditor(*mPlugin, request, error);
        mPlugin->Close();
        if (InterruptSignal() != 0) return Interrupted(outPath, false);
        if (!pixels) return Fail(error);
        const std::vector<std::uint8_t> png = EncodePng(*pixels);
        if (png.empty()) return Fail("cannot encode the editor's picture as PNG");
        return WriteOutput(outPath, png);
    }

    int Info() {
        std::string error;
        if (!LoadPlugin(kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        if (!CheckStandardInput("", error) || !Configure(error)) return Fail(error);
        const PluginDescription description = mPlugin->Describe();
        mOut << PadRight("plug-in", 15) << description.location << "\n"
             << PadRight("format", 15) << description.format << "\n";
        for (const auto& [label, value] : description.details) mOut << PadRight(label, 15) << value << "\n";

        ParameterAccess parameters(*mPlugin);
        std::vector<ParameterDescription> all;
        std::size_t nameWidth = 4;
        std::size_t rangeWidth = 5;
        std::vector<std::string> ranges;
        for (int i = 0; i < parameters.Count(); ++i) {
            all.push_back(parameters.Describe(i));
            const ParameterDescription& d = all.back();
            std::string range = d.numeric ? d.lowText + " to " + d.highText : ChoiceText(d);
            if (d.numeric && !d.label.empty()) range += " " + d.label;
            ranges.push_back(range);
            nameWidth = std::max(nameWidth, TextColumns(d.name));
            rangeWidth = std::max(rangeWidth, TextColumns(range));
        }
        if (all.empty()) return kExitOk;
        const bool configured = !mLine.settings.empty() || !mLine.statePath.empty() || !mLine.chunkPath.empty();
        mOut << "\n"
             << PadRight("#", 4) << PadRight("name", nameWidth + 2) << PadRight("range", rangeWidth + 2)
             << PadRight(configured ? "value" : "default", 9) << "display\n";
        for (std::size_t i = 0; i < all.size(); ++i) {
            const ParameterDescription& d = all[i];
            std::string shown = d.display;
            if (!d.label.empty()) shown += " " + d.label;
            mOut << PadRight(std::to_string(i), 4) << PadRight(d.name, nameWidth + 2)
                 << PadRight(ranges[i], rangeWidth + 2) << PadRight(FormatFixed(d.defaultValue, 4), 9) << shown << "\n";
        }
        return kExitOk;
    }

    // A parameter with display texts, with the numbers --set also takes for
    // them: "0=off | 1=on".
    static std::string ChoiceText(const ParameterDescription& d) {
        std::vector<std::string> choices;
        for (std::size_t i = 0; i < d.texts.size(); ++i) choices.push_back(std::to_string(i) + "=" + d.texts[i]);
        return JoinTexts(choices, " | ") + (d.textsComplete ? "" : " | ...");
    }

    static std::string Lower(std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    int SaveState() {
        const std::string& path = mLine.files[0];
        std::string error;
        if (!CheckStandardInput("", error)) return Fail(error);
        if (!LoadPlugin(kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        if (!Configure(error)) return Fail(error);
        PluginState state;
        if (!mPlugin->SaveState(state, error)) return Fail(error + "; nothing written to " + path);
        return WriteOutput(path, EncodeState(state));
    }

    int Version() {
        mOut << "velmor-host " << VersionText(kHostVendorVersion) << "\n";
        if (!mLine.pluginGiven) return kExitOk;
        std::string error;
        if (!LoadPlugin(kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        const PluginDescription d = mPlugin->Describe();
        mOut << "plug-in " << d.location << " (" << d.format << "): " << d.name << " by " << d.vendor << ", version "
             << d.version << ", unique id " << d.id << "\n";
        return kExitOk;
    }

    const CommandLine& mLine;
    const HostEnvironment& mEnvironment;
    std::ostream& mOut;
    std::ostream& mErr;
    std::unique_ptr<PluginInstance> mPlugin;
    std::error_code mIgnored;
};

}  // namespace

int RunHost(const std::vector<std::string>& args, const HostEnvironment& environment, std::ostream& out,
            std::ostream& err) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(args, line, error)) {
        err << "velmor-host: " << error << "\n";
        if (args.empty()) err << UsageText();
        return kExitUsage;
    }
    // Buffers follow the block size and the plug-in's channel counts, which
    // together can ask for more memory than there is: say so rather than
    // abort. Every file is closed (and a temporary output removed) on the
    // way out.
    try {
        return Command(line, environment, out, err).Run();
    } catch (const std::bad_alloc&) {
        err << "velmor-host: not enough memory (try a smaller --block)\n";
        return kExitFailure;
    }
}

std::string DefaultPluginPath() {
#if defined(_WIN32)
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    const std::filesystem::path exe(buffer);
    return (exe.parent_path() / L"Velmor.dll").u8string();
#else
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", &buffer[0], buffer.size() - 1);
    if (n <= 0) return "velmor.so";
    buffer.resize(static_cast<std::size_t>(n));
    return (std::filesystem::path(buffer).parent_path() / "velmor.so").string();
#endif
}
