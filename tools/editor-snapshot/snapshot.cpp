// velmor-snapshot: Velmor's editor as a host shows it, written as a PNG.
//
//   velmor-snapshot OUT.png [--play IN] [--seconds S] [--set NAME=VALUE]...
//                   [--ticks N] [--scale S]
//
// Builds one Velmor instance in this process, opens it as a host does
// (effOpen, rate, block size, processing on), applies the settings (a
// parameter's own units or one of its display texts, as a host's text
// entry takes them), paints the whole editor as a window does when it
// opens, then plays IN through the plug-in in blocks of one timer tick
// (40 ms), painting after each as the editor's timer would, for at most S
// seconds; then runs N more ticks on silence, as a host keeps processing
// (the lamp's animations take 59). Errors are one line on stderr and a
// non-zero exit status; OUT is only ever replaced by a complete picture.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor.h"
#include "plugin/velmor.h"
#include "raster/png_encode.h"
#include "tools/velmor-host/audio_file.h"
#include "vst/in_process_effect.h"
#include "vst/vst2_abi.h"

namespace {

constexpr int kTicksPerSecond = 25;
constexpr double kDefaultRate = 48000.0;

struct Options {
    std::string out;
    std::string play;
    double seconds = 1e9;
    int ticks = 0;
    double scale = 1.0;  // the editor's scale, 1 to 2
    std::vector<std::string> settings;
};

// One instance, closed with effClose (which deletes it) however main ends.
class Instance {
public:
    Instance() : mEffect(Host) {}
    AEffect* Record() const { return mEffect.Record(); }
    Velmor* Plugin() const { return mEffect.Record() ? &mEffect.As<Velmor>() : nullptr; }

private:
    static VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    InProcessEffect mEffect;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "velmor-snapshot: %s\n", message.c_str());
    return 1;
}

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--play" && hasValue) {
            o.play = argv[++i];
        } else if (arg == "--seconds" && hasValue) {
            if (!ParseNumber(argv[++i], o.seconds) || !(o.seconds >= 0))
                return error = "--seconds needs a number >= 0", false;
        } else if (arg == "--ticks" && hasValue) {
            double t = 0;
            if (!ParseNumber(argv[++i], t) || t < 0 || t > 100000)
                return error = "--ticks needs a count 0..100000", false;
            o.ticks = static_cast<int>(t);
        } else if (arg == "--scale" && hasValue) {
            if (!ParseNumber(argv[++i], o.scale) || !(o.scale >= 1.0 && o.scale <= 2.0))
                return error = "--scale needs a number from 1 to 2", false;
        } else if (arg == "--set" && hasValue) {
            o.settings.push_back(argv[++i]);
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg +
                    " (usage: velmor-snapshot OUT.png [--play IN] [--seconds S] "
                    "[--set NAME=VALUE]... [--ticks N] [--scale S])";
            return false;
        } else if (o.out.empty()) {
            o.out = arg;
        } else {
            return error = "more than one output file given", false;
        }
    }
    if (o.out.empty()) return error = "no output file (usage: velmor-snapshot OUT.png [options])", false;
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ApplySetting(AEffect* fx, Velmor& velmor, const std::string& setting, std::string& error) {
    const std::size_t eq = setting.find('=');
    if (eq == std::string::npos) return error = "--set needs NAME=VALUE, got \"" + setting + "\"", false;
    const std::string name = setting.substr(0, eq);
    std::string value = setting.substr(eq + 1);
    for (int i = 0; i < velmor.ParamCount(); ++i) {
        const IParameter* param = velmor.GetParam(i);
        if (Lower(param->Name()) != Lower(name)) continue;
        // Display texts in any case ("Off", "ON"), as velmor-host takes them.
        for (int t = 0; t < param->DisplayTextCount(); ++t) {
            if (Lower(param->DisplayTextAt(t)->text) == Lower(value)) value = param->DisplayTextAt(t)->text;
        }
        if (fx->dispatcher(fx, effString2Parameter, i, 0, &value[0], 0.0f) == 1) return true;
        return error = "\"" + value + "\" is not a value of " + name, false;
    }
    return error = "no parameter named \"" + name + "\"", false;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) return Fail(error);

    std::unique_ptr<AudioReader> reader;
    if (!o.play.empty()) {
        reader = OpenAudioReader(o.play, error);
        if (!reader) return Fail(error);
    }
    const double rate = reader ? reader->Format().sampleRate : kDefaultRate;
    const int channels = reader ? reader->Format().channels : 2;
    const int tickFrames = std::max(1, static_cast<int>(rate / kTicksPerSecond));

    Instance instance;
    Velmor* velmor = instance.Plugin();
    if (!velmor || !velmor->EditorView()) return Fail("the plug-in has no editor");
    AEffect* fx = instance.Record();
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    fx->dispatcher(fx, effSetBlockSize, 0, tickFrames, nullptr, 0.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
    for (const std::string& s : o.settings) {
        if (!ApplySetting(fx, *velmor, s, error)) return Fail(error);
    }

    IEditor* editor = velmor->EditorView();
    editor->SetScale(o.scale);
    editor->PaintAll();

    // One tick: a block of the file (silence once it ends, as a host keeps
    // processing), then the repaint the editor's timer would run.
    std::vector<double> interleaved(static_cast<std::size_t>(tickFrames) * channels);
    std::vector<float> left(static_cast<std::size_t>(tickFrames)), right(left.size());
    std::vector<float> outLeft(left.size()), outRight(left.size());
    auto tick = [&](std::int64_t frames) {
        for (std::int64_t i = 0; i < frames; ++i) {
            const auto at = static_cast<std::size_t>(i * channels);
            left[static_cast<std::size_t>(i)] = static_cast<float>(interleaved[at]);
            right[static_cast<std::size_t>(i)] = static_cast<float>(interleaved[at + (channels > 1 ? 1 : 0)]);
        }
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        fx->processReplacing(fx, inputs, outputs, static_cast<VstInt32>(frames));
        editor->RepaintDirty();
    };
    if (reader) {
        const auto maxTicks = static_cast<long long>(o.seconds * kTicksPerSecond);
        for (long long t = 0; t < maxTicks; ++t) {
            const std::int64_t got = reader->Read(interleaved.data(), tickFrames, error);
            if (got < 0) return Fail(error);
            if (got == 0) break;
            tick(got);
        }
    }
    std::fill(interleaved.begin(), interleaved.end(), 0.0);
    for (int t = 0; t < o.ticks; ++t) tick(tickFrames);

    if (!WritePngFile(*editor->Surface(), o.out.c_str())) return Fail("cannot write " + o.out);
    return 0;
}
