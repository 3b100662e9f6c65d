#include "tools/velmor-host/command_line.h"

#include <cstdlib>

#include "tools/velmor-host/plugin_instance.h"

namespace {

enum CommandSet : unsigned { kRender = 1, kInfo = 2, kState = 4, kVersion = 8, kEditor = 16, kAll = 31 };

const char kRenderUsage[] =
    "usage: velmor-host render IN OUT [--plugin PATH] [--set NAME=VALUE]... [--state FILE] [options]\n"
    "\n"
    "  Runs IN through a plug-in into OUT, keeping IN's sample rate, channels and\n"
    "  (unless told otherwise) sample format. IN or OUT may be \"-\" for standard input or\n"
    "  output. A file is written under a temporary name and replaces OUT only when\n"
    "  complete (a link's target is replaced; a device or FIFO is written directly);\n"
    "  an error or Ctrl-C leaves OUT as it was. Metadata is kept where OUT's type has room.\n"
    "\n"
    "  --plugin PATH            the plug-in (default: the one beside velmor-host)\n"
    "  --class NAME             one plug-in of a bundle that holds several\n"
    "  --set NAME=VALUE         a parameter by name or index (\"#19\"), VALUE in its units\n"
    "                           (\"Pres Comp=18\"), one of its display texts (\"Mode=B\") or\n"
    "                           that text's number from 0 (\"Mode=1\"); may be repeated\n"
    "  --state FILE             loads a state saved with `state save` before the --set values\n"
    "  --chunk FILE             loads a bare program chunk (state files of older versions)\n"
    "  -t, --type TYPE          output type when OUT's extension does not say it: wav, aiff,\n"
    "                           aifc, flac, caf, w64, au, ogg, opus, mp3 (Windows build: wav)\n"
    "  -b, --bits N             output sample size: 8, 16, 24, 32 or 64 (64: float)\n"
    "  -e, --encoding KIND      output samples signed (integer) or float\n"
    "  --float                  32-bit float output (--bits 64 with it: 64-bit)\n"
    "  --no-dither              integer output of 16 bits or fewer is rounded without the\n"
    "                           default TPDF dither\n"
    "  --no-latency-compensation  keeps the plug-in's delay in the output\n"
    "  --mix-to-mono            a mono file through a stereo plug-in: mix its two outputs\n"
    "                           (default: keep the left one)\n"
    "  --block N                frames per processing block (default 512)\n"
    "  --double                 64-bit processing (processDoubleReplacing)\n"
    "  -v, --verbose            says what was done to fit the file to the plug-in, and\n"
    "                           which metadata was kept\n"
    "  -q, --quiet              no progress display\n";

const char kInfoUsage[] =
    "usage: velmor-host info [--plugin PATH] [--set NAME=VALUE]... [--state FILE]\n"
    "\n"
    "  Shows the plug-in's record and every parameter's index, range, value and display\n"
    "  text; --state, --chunk and --set apply first, so it shows what a render would use.\n";

const char kStateUsage[] =
    "usage: velmor-host state save FILE [--plugin PATH] [--set NAME=VALUE]... [--state FILE]\n"
    "\n"
    "  Writes the effect's state to FILE: its program chunk, or for a plug-in without\n"
    "  program chunks its parameters' values, behind a header naming the plug-in.\n"
    "  --state and --chunk load a state first; --set values apply on top.\n";

const char kEditorUsage[] =
    "usage: velmor-host editor OUT.png [--plugin PATH] [--set NAME=VALUE]... [--play IN] [--after MS] [--scale S]\n"
    "\n"
    "  Opens the effect's editor (any VST 2.4 plug-in with an X11 editor) in a window of\n"
    "  its own on the current X display, drives it as a Linux host does, and writes the\n"
    "  window's pixels to OUT.png. Needs a display: DISPLAY, or xvfb-run without one.\n"
    "\n"
    "  --plugin PATH            the plug-in (default: the one beside velmor-host)\n"
    "  --set NAME=VALUE         a parameter, as for render; may be repeated\n"
    "  --state FILE             loads a state saved with `state save` before the --set values\n"
    "  --play IN                plays IN through the effect in real time meanwhile (at IN's\n"
    "                           sample rate; until it ends or the photograph is taken)\n"
    "  --after MS               milliseconds from opening to the photograph (default 3000)\n"
    "  --scale S                the editor at 1, 1.25, 1.5, 1.75 or 2 times its size: through\n"
    "                           the format's scale call, or for VST 2.4 the X server's Xft.dpi\n"
    "                           (set for the photograph and put back after)\n"
    "  --block N                frames per processing block of --play (default 512)\n";

const char kGeneralUsage[] =
    "usage: velmor-host render IN OUT [--plugin PATH] [--set NAME=VALUE]... [--state FILE] [options]\n"
    "       velmor-host info [--plugin PATH]\n"
    "       velmor-host state save FILE [--plugin PATH] [--set NAME=VALUE]... [--state FILE]\n"
    "       velmor-host editor OUT.png [--plugin PATH] [--set NAME=VALUE]... [--play IN] [--after MS]\n"
    "       velmor-host --version [--plugin PATH]\n"
    "       velmor-host COMMAND --help\n"
    "\n"
    "  render      runs IN through a plug-in into OUT\n"
    "  info        shows the effect record and every parameter\n"
    "  state save  writes the effect's state to FILE\n"
    "  editor      opens the effect's editor on the X display and writes its picture\n";

struct OptionSpec {
    const char* name;
    char shortName;  // 0: none
    bool takesValue;
    unsigned commands;
};

const OptionSpec kOptions[] = {
    {"--plugin", 0, true, kAll},
    {"--class", 0, true, kAll},
    {"--set", 0, true, kRender | kInfo | kState | kEditor},
    {"--state", 0, true, kRender | kInfo | kState | kEditor},
    {"--chunk", 0, true, kRender | kInfo | kState | kEditor},
    {"--block", 0, true, kRender | kEditor},
    {"--play", 0, true, kEditor},
    {"--after", 0, true, kEditor},
    {"--scale", 0, true, kEditor},
    {"--double", 0, false, kRender},
    {"--type", 't', true, kRender},
    {"--bits", 'b', true, kRender},
    {"--encoding", 'e', true, kRender},
    {"--float", 0, false, kRender},
    {"--no-dither", 0, false, kRender},
    {"--no-latency-compensation", 0, false, kRender},
    {"--mix-to-mono", 0, false, kRender},
    {"--verbose", 'v', false, kRender},
    {"--quiet", 'q', false, kRender},
    {"--help", 'h', false, kAll},
};

bool ParseWholeNumber(const std::string& text, long low, long high, int& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 8) return false;
    const long parsed = std::strtol(text.c_str(), nullptr, 10);
    if (parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool Apply(const std::string& name, const std::string& value, CommandLine& line, std::string& error) {
    if (name == "--plugin") {
        line.pluginPath = value;
        line.pluginGiven = true;
    } else if (name == "--class") {
        line.className = value;
    } else if (name == "--set") {
        line.settings.push_back(value);
    } else if (name == "--state") {
        line.statePath = value;
    } else if (name == "--chunk") {
        line.chunkPath = value;
    } else if (name == "--double") {
        line.doublePrecision = true;
    } else if (name == "--block") {
        if (!ParseWholeNumber(value, 1, kMaxBlockSize, line.blockSize)) {
            error =
                "--block expects a whole number from 1 to " + std::to_string(kMaxBlockSize) + ", got \"" + value + "\"";
            return false;
        }
    } else if (name == "--play") {
        line.playPath = value;
    } else if (name == "--scale") {
        // Read by its text, not the locale's number format.
        static const struct {
            const char* text;
            double scale;
        } kScales[] = {{"1", 1.0},    {"1.0", 1.0},   {"1.00", 1.0}, {"1.25", 1.25}, {"1.5", 1.5},
                       {"1.50", 1.5}, {"1.75", 1.75}, {"2", 2.0},    {"2.0", 2.0},   {"2.00", 2.0}};
        bool known = false;
        for (const auto& k : kScales) {
            if (value == k.text) {
                line.scale = k.scale;
                known = true;
            }
        }
        if (!known) {
            error = "--scale expects 1, 1.25, 1.5, 1.75 or 2, got \"" + value + "\"";
            return false;
        }
    } else if (name == "--after") {
        if (!ParseWholeNumber(value, 0, 3600000, line.afterMs)) {
            error = "--after expects milliseconds from 0 to 3600000, got \"" + value + "\"";
            return false;
        }
    } else if (name == "--type") {
        line.type = value;
    } else if (name == "--bits") {
        if (!ParseWholeNumber(value, 8, 64, line.bits) ||
            (line.bits != 8 && line.bits != 16 && line.bits != 24 && line.bits != 32 && line.bits != 64)) {
            error = "--bits expects 8, 16, 24, 32 or 64, got \"" + value + "\"";
            return false;
        }
    } else if (name == "--encoding") {
        if (value == "signed" || value == "signed-integer" || value == "integer") {
            line.sampleKind = CommandLine::SampleKind::kInteger;
        } else if (value == "float" || value == "floating-point") {
            line.sampleKind = CommandLine::SampleKind::kFloat;
        } else {
            error = "--encoding expects signed or float, got \"" + value + "\"";
            return false;
        }
    } else if (name == "--float") {
        line.sampleKind = CommandLine::SampleKind::kFloat;
    } else if (name == "--no-dither") {
        line.dither = false;
    } else if (name == "--no-latency-compensation") {
        line.latencyCompensation = false;
    } else if (name == "--mix-to-mono") {
        line.mixToMono = true;
    } else if (name == "--verbose") {
        line.verbose = true;
    } else if (name == "--quiet") {
        line.quiet = true;
    }
    return true;
}

// The output sample format asked for must be one that exists.
bool CheckSampleFormat(const CommandLine& line, std::string& error) {
    using Kind = CommandLine::SampleKind;
    if (line.sampleKind == Kind::kFloat && line.bits != 0 && line.bits != 32 && line.bits != 64) {
        error = "float output has 32 or 64 bits, not " + std::to_string(line.bits);
        return false;
    }
    if (line.sampleKind == Kind::kInteger && line.bits == 64) {
        error = "integer output has at most 32 bits (64 bits is float: use --float --bits 64)";
        return false;
    }
    return true;
}

}  // namespace

std::string UsageText(const std::string& topic) {
    if (topic == "render") return kRenderUsage;
    if (topic == "info") return kInfoUsage;
    if (topic == "state") return kStateUsage;
    if (topic == "editor") return kEditorUsage;
    return kGeneralUsage;
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    line = CommandLine{};
    if (args.empty()) {
        error = "no command given (try --help)";
        return false;
    }
    std::size_t next = 1;
    std::size_t fileCount = 0;
    unsigned set = 0;
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        line.command = CommandLine::Command::kHelp;
        if (args.size() > 1) line.helpTopic = args[1];
        return true;
    } else if (command == "--version" || command == "version") {
        line.command = CommandLine::Command::kVersion;
        set = kVersion;
    } else if (command == "render") {
        line.command = CommandLine::Command::kRender;
        fileCount = 2;
        set = kRender;
    } else if (command == "editor") {
        line.command = CommandLine::Command::kEditor;
        fileCount = 1;
        set = kEditor;
    } else if (command == "info") {
        line.command = CommandLine::Command::kInfo;
        set = kInfo;
    } else if (command == "state") {
        set = kState;
        if (args.size() >= 2 && (args[1] == "--help" || args[1] == "-h")) {
            line.command = CommandLine::Command::kHelp;
            line.helpTopic = "state";
            return true;
        }
        if (args.size() < 2 || args[1] != "save") {
            error = "unknown state command (use: state save FILE)";
            return false;
        }
        line.command = CommandLine::Command::kStateSave;
        fileCount = 1;
        next = 2;
    } else {
        error = "unknown command \"" + command + "\" (render, info, state save or editor)";
        return false;
    }
    const std::string topic = command == "--version" ? "version" : command;

    bool optionsEnded = false;
    bool optionLikeFile = false;  // a name after "--" that looks like an option
    for (std::size_t i = next; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            if (optionsEnded && arg.size() > 1 && arg[0] == '-') optionLikeFile = true;
            line.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const bool isLong = arg.compare(0, 2, "--") == 0;
        const std::size_t equals = arg.find('=');
        if (isLong && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& o : kOptions)
            if (isLong ? name == o.name : (arg.size() == 2 && o.shortName == arg[1])) option = &o;
        if (!option || !(option->commands & set)) {
            error = "unknown option " + name + " for " + topic + " (see velmor-host " + topic + " --help)";
            return false;
        }
        if (std::string(option->name) == "--help") {
            line = CommandLine{};
            line.command = CommandLine::Command::kHelp;
            line.helpTopic = topic;
            return true;
        }
        if (option->takesValue && !hasValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (!option->takesValue && hasValue) {
            error = name + " takes no value";
            return false;
        }
        if (!Apply(option->name, value, line, error)) return false;
    }
    if (line.files.size() > fileCount && fileCount > 0) {
        std::string extra;
        for (std::size_t i = fileCount; i < line.files.size(); ++i) extra += (extra.empty() ? "" : " ") + line.files[i];
        error = "too many arguments for " + topic + ": " + extra +
                (optionLikeFile ? " (after \"--\" every argument is a file name: put options before it)" : "");
        return false;
    }
    if (line.files.size() != fileCount) {
        error = line.command == CommandLine::Command::kRender      ? "render needs IN and OUT files"
                : line.command == CommandLine::Command::kStateSave ? "state save needs one FILE"
                : line.command == CommandLine::Command::kEditor    ? "editor needs one OUT.png file"
                                                                   : topic + " takes no file names";
        return false;
    }
    if (!line.statePath.empty() && !line.chunkPath.empty()) {
        error = "--state and --chunk both load a state; give one";
        return false;
    }
    return CheckSampleFormat(line, error);
}
