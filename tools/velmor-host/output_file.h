// Where a command's output (a render, a state file, an editor picture)
// goes, so that writing it never loses data and never leaves debris:
//
// - A regular file, or a name not yet taken, is written to a temporary
//   file in the folder of the file it will replace and linked into place
//   only when complete, atomically; an error, a signal or a full disk leave
//   an existing file as it was. A symbolic link is followed: its target is
//   replaced and the link stays. A replaced file keeps its owner, group and
//   mode (the owner where the caller may give files away). A file the
//   caller could not open for writing is refused with the system's reason,
//   before anything is rendered.
// - Where the file system allows it (Linux O_TMPFILE), the temporary file
//   has no name until it is complete, so that even SIGKILL or a power loss
//   leave nothing behind. Elsewhere it is a hidden name beside the output
//   (".NAME.velmor-host-PID-N.part"), and every run removes those of
//   processes that no longer exist.
// - Standard output ("-"), a character device, a FIFO or another file that
//   is not a regular one is written directly: no temporary file, no rename.
//
// Main thread.
#pragma once

#include <string>

class OutputFile {
public:
    OutputFile() = default;
    // Removes the temporary file unless Commit succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares `path` ("-": standard output). False with a one-line error
    // naming `path` when it cannot be written (a directory, a missing or
    // unwritable folder, a file the caller may not write). Opening a FIFO
    // waits for its reader, as any writer of one does.
    bool Open(const std::string& path, std::string& error);

    // Where to write: a descriptor (POSIX) that stays owned by this object,
    // or -1 where the writer opens WritePath() itself (Windows).
    int Descriptor() const { return mFd; }
    const std::string& WritePath() const { return mWritePath; }
    // Whether the destination can be rewound (a pipe or FIFO cannot).
    bool Seekable() const { return mSeekable; }
    // Written in place (standard output, a device, a FIFO): nothing to
    // commit, and an interrupted command leaves it incomplete.
    bool Direct() const { return mDirect; }
    // The name messages use: the path as given, or "standard output".
    const std::string& Name() const { return mName; }
    // A named temporary file that a second signal should remove, or empty.
    const std::string& CleanupPath() const { return mTempPath; }

    // Writes `size` bytes at the current position; false with the reason.
    bool WriteAll(const void* data, std::size_t size, std::string& error);

    // Flushes the finished output to the disk and moves it into place (a
    // direct output is only flushed). False with a one-line error, the
    // temporary file removed and the old file as it was.
    bool Commit(std::string& error);

    // Drops the temporary file now (also done by the destructor).
    void Discard();

private:
    std::string mName;
    std::string mTarget;    // the file that is replaced (symbolic links resolved)
    std::string mTempPath;  // a named temporary file, when one is used
    std::string mWritePath;
    int mFd = -1;
    bool mOwnsFd = false;
    bool mDirect = false;
    bool mSeekable = true;
    bool mUnnamed = false;  // O_TMPFILE
    bool mHadTarget = false;
    unsigned mMode = 0;  // of the replaced file
    long mOwner = -1, mGroup = -1;
};

// Whether a path names standard input or output ("-").
inline bool IsStdStream(const std::string& path) { return path == "-"; }

// Removes ".NAME.velmor-host-PID-N.part" files in `folder` whose process no
// longer runs. Called by OutputFile::Open; exposed for the tests.
void RemoveStaleTemporaryFiles(const std::string& folder);
