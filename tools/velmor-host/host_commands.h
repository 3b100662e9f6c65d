// velmor-host's commands, callable in-process (the tests do so): parses
// the arguments, runs the command and answers the exit status. Errors are
// one line on `err`, prefixed "velmor-host: ".
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct HostEnvironment {
    std::string defaultPluginPath;  // used when --plugin is absent
    bool showProgress = false;      // stderr is a terminal
    int terminalColumns = 0;        // its width; 0: not known (80 is assumed)
};

enum : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// `args` are the arguments after the program name.
int RunHost(const std::vector<std::string>& args, const HostEnvironment& environment, std::ostream& out,
            std::ostream& err);

// velmor.so (Velmor.dll on Windows) in the folder of the running executable.
std::string DefaultPluginPath();
