#include "tools/velmor-host/host_commands.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <sstream>

#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/command_line.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/hosted_plugin.h"
#include "tools/velmor-host/interrupt.h"
#include "tools/velmor-host/output_file.h"
#include "tools/velmor-host/parameter_access.h"
#include "tools/velmor-host/progress_bar.h"
#include "tools/velmor-host/render.h"
#include "tools/velmor-host/state_file.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr double kDefaultSampleRate = 44100.0;
constexpr int kDefaultBlockSize = 512;
constexpr std::size_t kMaxStateBytes = 64u << 20;

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

// Clears the file a second signal would remove when the render is over.
struct CleanupFileScope {
    explicit CleanupFileScope(const std::string& path) { SetInterruptCleanupFile(path.c_str()); }
    ~CleanupFileScope() { SetInterruptCleanupFile(nullptr); }
};

std::string FourChars(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::string();
        text += c;
    }
    return text;
}

std::string Hex(VstInt32 value) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << static_cast<std::uint32_t>(value);
    return s.str();
}

// A unique ID as hosts show it: "HtGn (0x4874476E)", or the number alone.
std::string IdText(VstInt32 id) {
    const std::string chars = FourChars(id);
    return chars.empty() ? Hex(id) : chars + " (" + Hex(id) + ")";
}

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
    std::string text = Hex(flags);
    VstInt32 known = 0;
    for (const auto& entry : kNames) {
        known |= entry.bit;
        if (flags & entry.bit) text += std::string(" ") + entry.name;
    }
    if (flags & ~known) text += " +" + Hex(flags & ~known);
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
        if (!mLine.statePath.empty() && !LoadState(mLine.statePath, error)) return false;
        if (!mLine.chunkPath.empty() && !LoadBareChunk(mLine.chunkPath, error)) return false;
        ParameterAccess parameters(mPlugin);
        for (const std::string& setting : mLine.settings)
            if (!parameters.Apply(setting, error)) return false;
        return true;
    }

    bool LoadState(const std::string& path, std::string& error) {
        std::vector<std::uint8_t> bytes;
        PluginState state;
        if (!ReadWholeFile(path, kMaxStateBytes, bytes, error) || !DecodeState(bytes, path, state, error)) return false;
        const AEffect& effect = *mPlugin.Effect();
        if (state.pluginId != effect.uniqueID) {
            error = path + " holds the state of plug-in " + IdText(state.pluginId) + ", not of this one, " +
                    IdText(effect.uniqueID);
            return false;
        }
        if (state.kind == StateKind::kParameters)
            return SetParameterValues(path, DecodeParameterValues(state.payload), error);
        if (!(effect.flags & effFlagsProgramChunks)) {
            error = path + " holds a chunk, but the plug-in takes its state as parameter values";
            return false;
        }
        const VstInt32 index = state.kind == StateKind::kProgramChunk ? 1 : 0;
        if (state.payload.empty() || mPlugin.Dispatch(effSetChunk, index, static_cast<VstIntPtr>(state.payload.size()),
                                                      state.payload.data()) == 0) {
            error = "the plug-in did not accept the state in " + path;
            return false;
        }
        return true;
    }

    bool SetParameterValues(const std::string& path, const std::vector<float>& values, std::string& error) {
        ParameterAccess parameters(mPlugin);
        if (static_cast<int>(values.size()) != parameters.Count()) {
            error = path + " holds " + std::to_string(values.size()) + " parameter values; the plug-in has " +
                    std::to_string(parameters.Count()) + " parameters";
            return false;
        }
        // Checked whole before any is set, so a bad file changes nothing.
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!(values[i] >= 0.0f && values[i] <= 1.0f)) {
                error = path + " holds an invalid value for parameter " + std::to_string(i);
                return false;
            }
        }
        for (std::size_t i = 0; i < values.size(); ++i) parameters.Set(static_cast<int>(i), values[i]);
        return true;
    }

    // A program chunk without a header, as velmor-host wrote state files
    // before they had one. Nothing tells its origin: the user vouches for it.
    bool LoadBareChunk(const std::string& path, std::string& error) {
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(path, kMaxStateBytes, bytes, error)) return false;
        if (bytes.empty()) {
            error = path + " is empty";
            return false;
        }
        if (mPlugin.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(bytes.size()), bytes.data()) == 0) {
            error = "the plug-in did not accept the state in " + path;
            return false;
        }
        return true;
    }

    int Render() {
        const std::string& inPath = mLine.files[0];
        const std::string& outPath = mLine.files[1];
        std::string error;
        if (SameFile(inPath, outPath)) return Fail("OUT must be another file than IN (" + outPath + ")");
        std::unique_ptr<AudioReader> reader = OpenAudioReader(inPath, error);
        if (!reader) return Fail(error);
        const AudioFormat& format = reader->Format();
        if (format.channels > 2)
            return Fail(inPath + " has " + std::to_string(format.channels) +
                        " channels; only mono and stereo files can be rendered");
        AudioFormat outFormat;
        if (!ChooseOutputFormat(format, outPath, outFormat, error)) return Fail(error);

        if (!mPlugin.Load(PluginPath(), format.sampleRate, mLine.blockSize, error)) return Fail(error);
        if (!CheckChannels(*mPlugin.Effect(), format.channels, error)) return Fail(error + " (" + inPath + ")");
        if (mLine.doublePrecision && !mPlugin.CanProcessDouble())
            return Fail(
                "the plug-in does not support 64-bit processing (no processDoubleReplacing); leave out --double");
        if (!Configure(error)) return Fail(error);

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
        if (ok) {
            ProgressBar progress(mErr, mEnvironment.showProgress);
            RenderSettings settings;
            settings.blockSize = mLine.blockSize;
            settings.doublePrecision = mLine.doublePrecision;
            settings.interrupted = InterruptSignal;
            ok = RenderAudio(mPlugin, *reader, *writer, settings, &progress, error) && writer->Close(error);
        }
        mPlugin.Close();
        writer.reset();
        if (ok && InterruptSignal() == 0 && !IsStdStream(outPath)) ok = pending.Commit(error);
        if (InterruptSignal() != 0) return Interrupted(outPath);
        if (!ok) {
            ReplaceAll(error, writePath, outPath);
            return Fail(error);
        }
        return kExitOk;
    }

    // A render stopped by SIGINT or SIGTERM: the temporary file is gone
    // (PendingOutput's destructor), OUT is as it was.
    int Interrupted(const std::string& outPath) {
        mErr << "velmor-host: interrupted; "
             << (IsStdStream(outPath) ? std::string("the output is incomplete") : "nothing written to " + outPath)
             << "\n";
        return InterruptExitStatus(InterruptSignal());
    }

    int Info() {
        std::string error;
        if (!mPlugin.Load(PluginPath(), kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        const AEffect& e = *mPlugin.Effect();
        const std::string id = FourChars(e.uniqueID);
        mOut << "plug-in        " << mPlugin.Path() << "\n"
             << "magic          " << FourChars(e.magic) << " (" << Hex(e.magic) << ")\n"
             << "unique id      " << (id.empty() ? "-" : id) << " (" << Hex(e.uniqueID) << ")\n"
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
            std::ostringstream value;
            value << std::fixed << std::setprecision(4) << d.defaultValue;
            std::string shown = d.display;
            if (!d.label.empty()) shown += " " + d.label;
            mOut << std::left << std::setw(4) << i << std::setw(static_cast<int>(nameWidth) + 2) << d.name
                 << std::setw(static_cast<int>(rangeWidth) + 2) << ranges[i] << std::setw(9) << value.str() << shown
                 << "\n";
        }
        return kExitOk;
    }

    int SaveState() {
        const std::string& path = mLine.files[0];
        std::string error;
        if (!mPlugin.Load(PluginPath(), kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        if (!Configure(error)) return Fail(error);
        const AEffect& effect = *mPlugin.Effect();
        PluginState state;
        state.pluginId = effect.uniqueID;
        state.pluginVersion = effect.version;
        if (effect.flags & effFlagsProgramChunks) {
            void* data = nullptr;
            const VstIntPtr size = mPlugin.Dispatch(effGetChunk, 1, 0, &data);
            if (size <= 0 || !data) return Fail("the plug-in gives no state chunk; nothing written to " + path);
            if (static_cast<std::size_t>(size) > kMaxStateBytes)
                return Fail("the plug-in's state chunk is implausibly large (" + std::to_string(size) + " bytes)");
            // The chunk belongs to the plug-in until its next chunk call:
            // copy it before anything else is asked of the plug-in.
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            state.kind = StateKind::kProgramChunk;
            state.payload.assign(bytes, bytes + size);
        } else {
            // Without program chunks a plug-in's state is its parameters,
            // which is how hosts keep it.
            ParameterAccess parameters(mPlugin);
            if (parameters.Count() == 0)
                return Fail("the plug-in has neither a state chunk nor parameters; nothing written to " + path);
            std::vector<float> values;
            for (int i = 0; i < parameters.Count(); ++i) values.push_back(parameters.Get(i));
            state.kind = StateKind::kParameters;
            state.payload = EncodeParameterValues(values);
        }
        const std::vector<std::uint8_t> bytes = EncodeState(state);
        if (IsStdStream(path)) {
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
        if (!mPlugin.Load(PluginPath(), kDefaultSampleRate, kDefaultBlockSize, error)) return Fail(error);
        const AEffect& e = *mPlugin.Effect();
        mOut << "plug-in " << mPlugin.Path() << ": " << DispatchText(mPlugin, effGetEffectName) << " by "
             << DispatchText(mPlugin, effGetVendorString) << ", version " << e.version << ", vendor version "
             << mPlugin.Dispatch(effGetVendorVersion) << ", unique id " << IdText(e.uniqueID) << "\n";
        return kExitOk;
    }

    const CommandLine& mLine;
    const HostEnvironment& mEnvironment;
    std::ostream& mOut;
    std::ostream& mErr;
    HostedPlugin mPlugin;
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
    return Command(line, environment, out, err).Run();
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
