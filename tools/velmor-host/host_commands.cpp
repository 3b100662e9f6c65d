#include "tools/velmor-host/host_commands.h"

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
#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/command_line.h"
#include "tools/velmor-host/editor_photo.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/hosted_plugin.h"
#include "tools/velmor-host/interrupt.h"
#include "tools/velmor-host/output_file.h"
#include "tools/velmor-host/parameter_access.h"
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

std::filesystem::path PathOf(const std::string& utf8) {
#if defined(__cpp_char8_t)
    return std::filesystem::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
#else
    return std::filesystem::u8path(utf8);
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(PathOf(a), PathOf(b), ec)) return true;
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
    if (format.container != AudioContainer::kAiff && format.container != AudioContainer::kAu) return true;
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

#if !defined(_WIN32)
// A PE image: "MZ", then at the offset in bytes 60..63 the "PE\0\0" signature.
bool IsWindowsDll(const std::string& path) {
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (!file) return false;
    unsigned char head[64] = {};
    unsigned char signature[4] = {};
    bool pe = std::fread(head, 1, sizeof head, file) == sizeof head && head[0] == 'M' && head[1] == 'Z';
    if (pe) {
        const long offset = head[60] | (head[61] << 8) | (head[62] << 16) | (static_cast<long>(head[63] & 0x7F) << 24);
        pe = std::fseek(file, offset, SEEK_SET) == 0 && std::fread(signature, 1, 4, file) == 4 &&
             std::memcmp(signature, "PE\0\0", 4) == 0;
    }
    std::fclose(file);
    return pe;
}
#endif

// Copies standard input into a temporary file of `spool`.
bool SpoolStandardInput(PendingOutput& spool, std::string& error) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmor-host-stdin";
    if (!spool.Create(folder.u8string(), error)) return false;
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::FILE* file = OpenFileUtf8(spool.TempPath(), "wb");
    if (!file) {
        error = "cannot create a temporary file for standard input: " + ErrnoText(errno);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), stdin);
        if (n > 0 && std::fwrite(buffer.data(), 1, n, file) != n) ok = false;
        if (n < buffer.size() || !ok) break;
    }
    ok = !std::ferror(stdin) && ok;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) error = "cannot copy standard input to a temporary file";
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

std::string DecodeFlags(VstInt32 flags) {
    static const struct {
        VstInt32 bit;
        const char* name;
    } kNames[] = {{effFlagsHasEditor, "HasEditor"},
                  {effFlagsHasClip, "HasClip"},
                  {effFlagsHasVu, "HasVu"},
                  {effFlagsCanMono, "CanMono"},
                  {effFlagsCanReplacing, "CanReplacing"},
                  {effFlagsProgramChunks, "ProgramChunks"},
                  {effFlagsIsSynth, "IsSynth"},
                  {effFlagsNoSoundInStop, "NoSoundInStop"},
                  {effFlagsExtIsAsync, "ExtIsAsync"},
                  {effFlagsExtHasBuffer, "ExtHasBuffer"},
                  {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    std::string text = HexText(flags);
    VstInt32 known = 0;
    for (const auto& entry : kNames) {
        known |= entry.bit;
        if (flags & entry.bit) text += std::string(" ") + entry.name;
    }
    if (flags & ~known) text += " +" + HexText(flags & ~known);
    return text;
}

std::string DispatchText(HostedPlugin& plugin, VstInt32 opcode) {
    char buffer[256] = {};
    plugin.Dispatch(opcode, 0, 0, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer[0] ? std::string(buffer) : std::string("(none)");
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

    // The library named by --plugin is a file, never a name for the
    // dynamic loader to look up on its search path: a bare name is taken
    // from the current folder, as any other file argument is.
    std::string PluginPath() const {
        if (mLine.pluginPath.empty()) return mEnvironment.defaultPluginPath;
        if (mLine.pluginPath.find_first_of("/\\") != std::string::npos) return mLine.pluginPath;
#if defined(_WIN32)
        if (mLine.pluginPath.find(':') != std::string::npos) return mLine.pluginPath;
        return ".\\" + mLine.pluginPath;
#else
        return "./" + mLine.pluginPath;
#endif
    }

    // --state or --chunk first, then every --set in order.
    bool Configure(std::string& error) {
        if (!mLine.statePath.empty() && !LoadStateFile(mPlugin, mLine.statePath, error)) return false;
        if (!mLine.chunkPath.empty() && !LoadBareChunk(mPlugin, mLine.chunkPath, error)) return false;
        ParameterAccess parameters(mPlugin);
        for (const std::string& setting : mLine.settings)
            if (!parameters.Apply(setting, error)) return false;
        return true;
    }

    int Render() {
        const std::string& inPath = mLine.files[0];
        const std::string& outPath = mLine.files[1];
        std::string error;
        if (!IsStdStream(inPath) && !IsStdStream(outPath) && SameFile(inPath, outPath))
            return Fail("OUT must be another file than IN (" + outPath + ")");
        if (std::filesystem::is_directory(PathOf(inPath), mIgnored))
            return Fail(inPath + " is a directory, not an audio file");
        // Standard input is copied whole to a temporary file first: the
        // readers seek, and the length is known for the progress display.
        PendingOutput spool;
        std::string readPath = inPath;
        if (IsStdStream(inPath)) {
            if (!SpoolStandardInput(spool, error)) return InterruptSignal() != 0 ? Interrupted(outPath) : Fail(error);
            readPath = spool.TempPath();
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
        if (!ChooseOutputFormat(format, outPath, mLine.type, request, outFormat, error)) return Fail(error);
        outFormat.frames = format.frames;  // compensated latency keeps the input's length
        if (!FitsContainer(outFormat, outPath, error)) return Fail(error);

        if (!LoadPlugin(format.sampleRate, mLine.blockSize, error)) return Fail(error);
        if (!CheckChannels(*mPlugin.Effect(), format.channels, error)) return Fail(error + " (" + inPath + ")");
        if (mLine.doublePrecision && !mPlugin.CanProcessDouble())
            return Fail(
                "the plug-in does not support 64-bit processing (no processDoubleReplacing); leave out --double");
        if (!Configure(error)) return Fail(error);
        if (mLine.verbose)
            Note("writing " + std::string(ContainerName(outFormat.container)) +
                 (outFormat.encoding == AudioEncoding::kLossy ? ""
                                                              : std::string(", ") + EncodingName(outFormat.encoding)) +
                 ", " + std::to_string(outFormat.sampleRate) + " Hz, " + std::to_string(outFormat.channels) +
                 (outFormat.channels == 1 ? " channel" : " channels"));

        if (InterruptSignal() != 0) return Interrupted(outPath);

        // The render goes to a temporary file beside OUT that replaces OUT
        // only when complete; its name stays out of the messages.
        PendingOutput pending;
        std::string writePath = outPath;
        if (!IsStdStream(outPath)) {
            if (!pending.Create(outPath, error)) return Fail(error);
            writePath = pending.TempPath();
        }
        CleanupFileScope cleanup(pending.TempPath());
        std::unique_ptr<AudioWriter> writer = OpenAudioWriter(writePath, outFormat, error);
        bool ok = writer != nullptr;
        RenderReport report;
        if (ok) {
            ProgressBar progress(mErr, mEnvironment.showProgress && !mLine.quiet);
            RenderSettings settings;
            settings.blockSize = mLine.blockSize;
            settings.doublePrecision = mLine.doublePrecision;
            settings.latencyCompensation = mLine.latencyCompensation;
            settings.mixToMono = mLine.mixToMono;
            settings.outputEncoding = outFormat.encoding;
            settings.dither = mLine.dither;
            settings.interrupted = InterruptSignal;
            ok = RenderAudio(mPlugin, *reader, *writer, settings, &progress, error, &report) && writer->Close(error);
        }
        const int announcedLatency = mPlugin.Latency();
        mPlugin.Close();
        writer.reset();
        // Decided once: a signal arriving after the rename must not report
        // a replaced OUT as not written.
        const bool stopped = InterruptSignal() != 0;
        if (ok && !stopped && !IsStdStream(outPath)) ok = pending.Commit(error);
        if (stopped) return Interrupted(outPath);
        if (!ok) {
            ReplaceAll(error, writePath, outPath);
            if (IsStdStream(inPath)) ReplaceAll(error, readPath, "standard input");
            return Fail(error);
        }
        Report(report, format, inPath, announcedLatency);
        return kExitOk;
    }

    // What the user should know about a finished render (always), and what
    // was done to fit the file to the plug-in (with --verbose).
    void Report(const RenderReport& report, const AudioFormat& input, const std::string& inPath, int announcedLatency) {
        if (mLine.verbose) {
            if (report.monoToBothInputs)
                Note(std::string("mono input fed to both of the plug-in's first two inputs; output: ") +
                     (mLine.mixToMono ? "the mean of its first two outputs" : "its first (left) output"));
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
            Note("clipped " + std::to_string(report.clipped) + " samples (peak " + peak +
                 " dBFS); lower Db Output or use a float output");
        }
    }

    void Note(const std::string& message) { mErr << "velmor-host: " << message << "\n"; }

    // Loads the plug-in; a Windows DLL given to the Linux build is named as
    // such rather than reported as an unreadable library.
    bool LoadPlugin(double sampleRate, int blockSize, std::string& error) {
        const std::string path = PluginPath();
        if (mPlugin.Load(path, sampleRate, blockSize, error)) return true;
#if !defined(_WIN32)
        if (IsWindowsDll(path)) error = path + ": this is a Windows DLL; use the Windows build of velmor-host";
#endif
        return false;
    }

    // A render stopped by SIGINT or SIGTERM: the temporary file is gone
    // (PendingOutput's destructor), OUT is as it was.
    int Interrupted(const std::string& outPath) {
        mErr << "velmor-host: interrupted; "
             << (IsStdStream(outPath) ? std::string("the output is incomplete") : "nothing written to " + outPath)
             << "\n";
        return InterruptExitStatus(InterruptSignal());
    }

    // The display first: without one, nothing is loaded.
    int Editor() {
        std::string error;
        if (!EditorDisplayAvailable(error)) return Fail(error);
        EditorPhotoRequest request;
        request.outPath = mLine.files[0];
        request.afterMs = mLine.afterMs;
        double rate = kDefaultSampleRate;
        std::unique_ptr<AudioReader> play;
        if (!mLine.playPath.empty()) {
            play = OpenAudioReader(mLine.playPath, error);
            if (!play) return Fail(error);
            rate = play->Format().sampleRate;
            if (rate < kMinSampleRate || rate > kMaxSampleRate)
                return Fail(mLine.playPath + " has a sample rate of " + std::to_string(play->Format().sampleRate) +
                            " Hz; velmor-host plays from " + std::to_string(kMinSampleRate) + " to " +
                            std::to_string(kMaxSampleRate) + " Hz");
            request.play = play.get();
        }
        if (!LoadPlugin(rate, mLine.blockSize, error)) return Fail(error);
        if (!Configure(error)) return Fail(error);
        if (!PhotographEditor(mPlugin, request, error)) return Fail(error);
        return kExitOk;
    }

    int Info() {
        std::string error;
        if (!LoadPlugin(kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        const AEffect& e = *mPlugin.Effect();
        const std::string id = FourChars(e.uniqueID);
        mOut << "plug-in        " << mPlugin.Path() << "\n"
             << "magic          " << FourChars(e.magic) << " (" << HexText(e.magic) << ")\n"
             << "unique id      " << (id.empty() ? "-" : id) << " (" << HexText(e.uniqueID) << ")\n"
             << "version        " << e.version << "\n"
             << "flags          " << DecodeFlags(e.flags) << "\n"
             << "inputs         " << e.numInputs << "\n"
             << "outputs        " << e.numOutputs << "\n"
             << "programs       " << e.numPrograms << "\n"
             << "parameters     " << e.numParams << "\n"
             << "initialDelay   " << e.initialDelay << "\n"
             << "effect name    " << DispatchText(mPlugin, effGetEffectName) << "\n"
             << "vendor         " << DispatchText(mPlugin, effGetVendorString) << "\n"
             << "product        " << DispatchText(mPlugin, effGetProductString) << "\n"
             << "vendor version " << mPlugin.Dispatch(effGetVendorVersion) << "\n"
             << "VST version    " << mPlugin.Dispatch(effGetVstVersion) << "\n";

        ParameterAccess parameters(mPlugin);
        std::vector<ParameterDescription> all;
        std::size_t nameWidth = 4;
        std::size_t rangeWidth = 5;
        std::vector<std::string> ranges;
        for (int i = 0; i < parameters.Count(); ++i) {
            all.push_back(parameters.Describe(i));
            const ParameterDescription& d = all.back();
            std::string range = d.numeric ? d.lowText + " to " + d.highText
                                          : JoinTexts(d.texts, " | ") + (d.textsComplete ? "" : " | ...");
            if (d.numeric && !d.label.empty()) range += " " + d.label;
            ranges.push_back(range);
            nameWidth = std::max(nameWidth, d.name.size());
            rangeWidth = std::max(rangeWidth, range.size());
        }
        if (all.empty()) return kExitOk;
        mOut << "\n"
             << std::left << std::setw(4) << "#" << std::setw(static_cast<int>(nameWidth) + 2) << "name"
             << std::setw(static_cast<int>(rangeWidth) + 2) << "range"
             << "default  display\n";
        for (std::size_t i = 0; i < all.size(); ++i) {
            const ParameterDescription& d = all[i];
            const std::string value = FormatFixed(d.defaultValue, 4);
            std::string shown = d.display;
            if (!d.label.empty()) shown += " " + d.label;
            mOut << std::left << std::setw(4) << i << std::setw(static_cast<int>(nameWidth) + 2) << d.name
                 << std::setw(static_cast<int>(rangeWidth) + 2) << ranges[i] << std::setw(9) << value << shown << "\n";
        }
        return kExitOk;
    }

    int SaveState() {
        const std::string& path = mLine.files[0];
        std::string error;
        if (!LoadPlugin(kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        if (!Configure(error)) return Fail(error);
        PluginState state;
        if (!CaptureState(mPlugin, state, error)) return Fail(error + "; nothing written to " + path);
        const std::vector<std::uint8_t> bytes = EncodeState(state);
        if (IsStdStream(path)) {
#if defined(_WIN32)
            if (&mOut == &std::cout) _setmode(_fileno(stdout), _O_BINARY);
#endif
            mOut.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            return mOut.flush() ? kExitOk : Fail("cannot write the state to standard output");
        }
        PendingOutput pending;
        if (!pending.Create(path, error)) return Fail(error);
        if (!WriteWholeFile(pending.TempPath(), bytes.data(), bytes.size(), error) || !pending.Commit(error)) {
            ReplaceAll(error, pending.TempPath(), path);
            return Fail(error);
        }
        return kExitOk;
    }

    int Version() {
        mOut << "velmor-host " << VersionText(kHostVendorVersion) << "\n";
        if (mLine.pluginPath.empty()) return kExitOk;
        std::string error;
        if (!LoadPlugin(kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        const AEffect& e = *mPlugin.Effect();
        mOut << "plug-in " << mPlugin.Path() << ": " << DispatchText(mPlugin, effGetEffectName) << " by "
             << DispatchText(mPlugin, effGetVendorString) << ", version " << e.version << ", vendor version "
             << mPlugin.Dispatch(effGetVendorVersion) << ", unique id " << UniqueIdText(e.uniqueID) << "\n";
        return kExitOk;
    }

    const CommandLine& mLine;
    const HostEnvironment& mEnvironment;
    std::ostream& mOut;
    std::ostream& mErr;
    HostedPlugin mPlugin;
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
