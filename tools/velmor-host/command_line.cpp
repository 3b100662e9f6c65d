#include "tools/velmor-host/command_line.h"

#include <cerrno>
#include <cstdlib>

#include "tools/velmor-host/hosted_plugin.h"

const char kUsage[] =
    "usage: velmor-host render IN OUT [--plugin PATH] [--set NAME=VALUE]... [--block N] [--double] [--state FILE]\n"
    "       velmor-host info [--plugin PATH]\n"
    "       velmor-host state save FILE [--plugin PATH] [--set NAME=VALUE]... [--state FILE]\n"
    "\n"
    "  render      runs IN (WAV, AIFF or FLAC, mono or stereo) through a VST 2.4 effect into OUT,\n"
    "              keeping IN's sample rate, channels and (where OUT's type allows) encoding\n"
    "  info        shows the effect record and every parameter's range, default and display text\n"
    "  state save  writes the effect's program state (its chunk) to FILE\n"
    "\n"
    "  --plugin PATH      the plug-in library (default: the one beside velmor-host)\n"
    "  --set NAME=VALUE   a parameter by name, VALUE in its units (\"Pres Comp=18\") or one of\n"
    "                     its display texts (\"Mode=B\", \"Power=off\"); may be repeated\n"
    "  --state FILE       loads a saved state before the --set values apply\n"
    "  --block N          frames per processing block (default 512)\n"
    "  --double           64-bit processing (processDoubleReplacing)\n";

namespace {

bool ParseBlockSize(const std::string& text, int& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 8) return false;
    const long parsed = std::strtol(text.c_str(), nullptr, 10);
    if (parsed < 1 || parsed > kMaxBlockSize) return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    line = CommandLine{};
    if (args.empty()) {
        error = "no command given (try --help)";
        return false;
    }
    std::size_t next = 1;
    std::size_t fileCount = 0;
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        line.command = CommandLine::Command::kHelp;
        return true;
    } else if (command == "render") {
        line.command = CommandLine::Command::kRender;
        fileCount = 2;
    } else if (command == "info") {
        line.command = CommandLine::Command::kInfo;
    } else if (command == "state") {
        if (args.size() < 2 || args[1] != "save") {
            error = "unknown state command (use: state save FILE)";
            return false;
        }
        line.command = CommandLine::Command::kStateSave;
        fileCount = 1;
        next = 2;
    } else {
        error = "unknown command \"" + command + "\" (render, info or state save)";
        return false;
    }

    const bool isRender = line.command == CommandLine::Command::kRender;
    const bool takesSettings = isRender || line.command == CommandLine::Command::kStateSave;
    for (std::size_t i = next; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            line.files.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        const bool wantsValue = name == "--plugin" || name == "--set" || name == "--block" || name == "--state";
        if (wantsValue && !hasValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (!wantsValue && hasValue) {
            error = name + " takes no value";
            return false;
        }
        const bool allowed = name == "--plugin" || ((name == "--set" || name == "--state") && takesSettings) ||
                             ((name == "--block" || name == "--double") && isRender);
        if (!allowed) {
            error = "unknown option " + name + " for " + command;
            return false;
        }
        if (name == "--plugin") {
            line.pluginPath = value;
        } else if (name == "--set") {
            line.settings.push_back(value);
        } else if (name == "--state") {
            line.statePath = value;
        } else if (name == "--double") {
            line.doublePrecision = true;
        } else if (!ParseBlockSize(value, line.blockSize)) {
            error =
                "--block expects a whole number from 1 to " + std::to_string(kMaxBlockSize) + ", got \"" + value + "\"";
            return false;
        }
    }
    if (line.files.size() != fileCount) {
        error = isRender         ? "render needs IN and OUT files"
                : fileCount == 1 ? "state save needs one FILE"
                                 : "info takes no file names";
        return false;
    }
    return true;
}
