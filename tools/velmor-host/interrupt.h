// Ctrl-C, SIGTERM and SIGHUP during a command. The first signal only raises a flag
// that the render loop polls between blocks, so the command can remove its
// temporary output and leave an existing OUT untouched. A second signal
// means the user does not want to wait (a plug-in may be stuck inside a
// block): the handler then removes the registered temporary file itself and
// ends the process at once. main() installs the handlers; the in-process
// tests never do, so for them the flag stays clear.
#pragma once

// Installs the handlers (SIGINT, SIGTERM, and SIGHUP, which a closed
// terminal or multiplexer session sends: treated as SIGTERM) and ignores SIGXFSZ, so that
// writing past a file-size limit fails with an error the command reports
// and cleans up after instead of killing the process.
void InstallInterruptHandlers();

// The signal that asked the process to stop, or 0.
int InterruptSignal();

// Exit status for a command stopped by `signal`: 128 + its number, as
// shells report it (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).
int InterruptExitStatus(int signal);

// The file a second signal removes before the process ends. The path is
// copied into a fixed buffer (the handler may not allocate); null clears it.
// Called from the main thread only.
void SetInterruptCleanupFile(const char* path);
