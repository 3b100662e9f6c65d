// velmor-host's command line: one command, then options and file names in
// any order (see UsageText). New commands are one entry in the command table
// and one in the option table's command sets.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    enum class Command { kHelp, kVersion, kRender, kInfo, kStateSave, kEditor };
    Command command = Command::kHelp;
    // kHelp: the command whose help was asked for ("render --help"), empty
    // for the general help.
    std::string helpTopic;
    std::vector<std::string> files;  // render: IN, OUT; state save: FILE; editor: OUT
    std::string pluginPath;          // as given with --plugin
    bool pluginGiven = false;        // false: the default beside the executable
    std::string className;           // --class: one plug-in of a bundle
    std::vector<std::string> settings;
    int blockSize = 512;
    bool doublePrecision = false;  // processDoubleReplacing
    std::string statePath;         // a velmor-host state file
    std::string chunkPath;         // a bare program chunk (older state files)

    // Output file: type by name ("wav", "flac"...; empty: from OUT's
    // extension), sample format (0 / kDefault: the input's).
    std::string type;
    int bits = 0;
    enum class SampleKind { kDefault, kInteger, kFloat };
    SampleKind sampleKind = SampleKind::kDefault;
    bool dither = true;

    // editor: audio played meanwhile, and the time to the photograph.
    std::string playPath;
    int afterMs = 3000;
    double scale = 1.0;  // editor: 1, 1.25, 1.5, 1.75 or 2

    bool latencyCompensation = true;
    bool mixToMono = false;  // a mono file through a stereo plug-in: mix its outputs
    bool verbose = false;
    bool quiet = false;
};

// Parses the arguments after the program name. Options may come before,
// between or after the file names, as "--opt VALUE", "--opt=VALUE" or, for
// those with a short form, "-o VALUE"; "--" ends the options and "-" is a
// file name (standard input or output).
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

// Help text: the whole of it, or one command's ("render", "info", "state",
// "editor").
std::string UsageText(const std::string& topic = "");
