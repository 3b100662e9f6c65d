// A render's OUT is written under a temporary name in OUT's own folder and
// renamed over OUT only once it is complete, so a failed or interrupted
// render never leaves a partial file and never destroys an existing OUT.
// The rename is atomic on one file system, which is why the temporary file
// lives beside OUT rather than in the system's temporary folder.
#pragma once

#include <string>

class PendingOutput {
public:
    PendingOutput() = default;
    // Removes the temporary file unless Commit succeeded.
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Reserves a fresh temporary name beside `outPath` (creating the file
    // exclusively, so two renders into one folder never share it). OUT
    // itself is not touched. False with a one-line error when OUT's folder
    // is missing or not writable, or OUT is a directory.
    bool Create(const std::string& outPath, std::string& error);

    const std::string& TempPath() const { return mTemp; }

    // Replaces OUT with the finished temporary file (keeping an existing
    // OUT's permissions). False with an error, the temporary file removed
    // and OUT as it was, when the rename fails.
    bool Commit(std::string& error);

    // Removes the temporary file now (also done by the destructor).
    void Discard();

private:
    std::string mOut;
    std::string mTemp;
};

// Whether a path names standard input or output ("-").
inline bool IsStdStream(const std::string& path) { return path == "-"; }
