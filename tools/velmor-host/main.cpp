// velmor-host: a command-line VST 2.4 host. The work is in
// velmor_host_core; this only collects the arguments.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/velmor-host/host_commands.h"
#include "tools/velmor-host/interrupt.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// shellapi.h needs windows.h first.
#include <io.h>
#include <shellapi.h>
#define VELMOR_ISATTY(fd) _isatty(fd)
#define VELMOR_FILENO(f) _fileno(f)
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define VELMOR_ISATTY(fd) isatty(fd)
#define VELMOR_FILENO(f) fileno(f)
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
#if defined(_WIN32)
    // argv is in the ANSI code page; file names are taken as UTF-8 everywhere.
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        args.clear();
        for (int i = 1; i < count; ++i) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string arg(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
            if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], n, nullptr, nullptr);
            arg.resize(arg.size() - 1);
            args.push_back(arg);
        }
        LocalFree(wide);
    }
#endif
    InstallInterruptHandlers();
    HostEnvironment environment;
    environment.defaultPluginPath = DefaultPluginPath();
    environment.showProgress = VELMOR_ISATTY(VELMOR_FILENO(stderr)) != 0;
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO console;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &console))
        environment.terminalColumns = console.srWindow.Right - console.srWindow.Left + 1;
#else
    winsize size{};
    if (environment.showProgress && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        environment.terminalColumns = size.ws_col;
#endif
    return RunHost(args, environment, std::cout, std::cerr);
}
