// velmor-host's command line:
//   velmor-host render IN OUT [--plugin PATH] [--set NAME=VALUE]... [--block N] [--double] [--state FILE]
//   velmor-host info [--plugin PATH]
//   velmor-host state save FILE [--plugin PATH] [--set NAME=VALUE]... [--state FILE]
//   velmor-host --help
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    enum class Command { kHelp, kRender, kInfo, kStateSave };
    Command command = Command::kHelp;
    std::vector<std::string> files;  // render: IN, OUT; state save: FILE
    std::string pluginPath;          // empty: the default beside the executable
    std::vector<std::string> settings;
    int blockSize = 512;
    bool doublePrecision = false;
    std::string statePath;
};

// Parses the arguments after the program name. Options may come before,
// between or after the file names, as "--opt VALUE" or "--opt=VALUE".
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

extern const char kUsage[];
