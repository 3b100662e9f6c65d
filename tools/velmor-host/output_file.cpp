#include "tools/velmor-host/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tools/velmor-host/file_io.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string Utf8Of(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

int ProcessId() {
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

bool ProcessRuns(long pid) {
#if defined(_WIN32)
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    // EPERM: it runs, as another user.
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#endif
}

constexpr char kTempMarker[] = ".velmor-host-";
constexpr char kTempSuffix[] = ".part";

// The PID in ".NAME.velmor-host-PID-N.part", or -1 for any other name.
long TemporaryFileOwner(const std::string& name) {
    const std::size_t suffix = sizeof kTempSuffix - 1;
    if (name.size() < 2 || name[0] != '.' || name.size() <= suffix ||
        name.compare(name.size() - suffix, suffix, kTempSuffix) != 0)
        return -1;
    const std::size_t marker = name.rfind(kTempMarker);
    if (marker == std::string::npos || marker == 0) return -1;
    const std::string rest =
        name.substr(marker + sizeof kTempMarker - 1, name.size() - suffix - marker - (sizeof kTempMarker - 1));
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 >= rest.size()) return -1;
    if (rest.find_first_not_of("0123456789-") != std::string::npos || rest.find('-', dash + 1) != std::string::npos)
        return -1;
    return std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
}

#if !defined(_WIN32)
// Follows symbolic links to the file they name, which may not exist yet
// (a dangling link is written through, as cp does). Relative links are
// taken from their own folder.
bool ResolveLinks(const std::string& path, std::string& target, std::string& error) {
    fs::path current = path;
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) {
            target = current.string();
            return true;
        }
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) {
            error = "cannot write " + path + ": " + ec.message();
            return false;
        }
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    error = "cannot write " + path + ": " + ErrnoText(ELOOP);
    return false;
}
#endif

}  // namespace

void RemoveStaleTemporaryFiles(const std::string& folder) {
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::path(".") : PathOfUtf8(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const long pid = TemporaryFileOwner(Utf8Of(it->path().filename()));
        if (pid <= 0 || pid == ProcessId() || ProcessRuns(pid)) continue;
        std::error_code ignored;
        if (fs::is_regular_file(it->symlink_status(ignored))) fs::remove(it->path(), ignored);
    }
}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& path, std::string& error) {
    Discard();
    mName = IsStdStream(path) ? std::string("standard output") : path;
    mDirect = false;
    mSeekable = true;
    mHadTarget = false;
    if (IsStdStream(path)) {
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
        mFd = _fileno(stdout);
        mSeekable = _lseeki64(mFd, 0, SEEK_CUR) >= 0;
#else
        mFd = STDOUT_FILENO;
        mSeekable = lseek(mFd, 0, SEEK_CUR) >= 0;
#endif
        mOwnsFd = false;
        mDirect = true;
        return true;
    }
#if defined(_WIN32)
    const fs::path out = PathOfUtf8(path);
    std::error_code ec;
    if (fs::is_directory(out, ec)) {
        error = "cannot write " + path + ": it is a directory";
        return false;
    }
    if (fs::exists(out, ec)) {
        const int probe = _wopen(out.c_str(), _O_WRONLY | _O_BINARY);
        if (probe < 0) {
            error = "cannot write " + path + ": " + ErrnoText(errno);
            return false;
        }
        _close(probe);
    }
    mTarget = path;
    RemoveStaleTemporaryFiles(Utf8Of(out.parent_path()));
    std::string name = Utf8Of(out.filename());
    if (name.size() > 96) name.resize(96);
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path temp = out.parent_path() / PathOfUtf8("." + name + kTempMarker + std::to_string(ProcessId()) +
                                                             "-" + std::to_string(counter++) + kTempSuffix);
        const int fd = _wopen(temp.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            _close(fd);
            mTempPath = Utf8Of(temp);
            mWritePath = mTempPath;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot create " + path + ": " + ErrnoText(errno);
            return false;
        }
    }
    error = "cannot create " + path + ": no free temporary name in its folder";
    return false;
#else
    if (!ResolveLinks(path, mTarget, error)) return false;
    struct stat info {};
    if (stat(mTarget.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = "cannot write " + path + ": it is a directory";
            return false;
        }
        // Open it as a writer would: refuses what the caller may not write,
        // with the system's reason, and opens devices and FIFOs for good.
        const bool regular = S_ISREG(info.st_mode);
        const int fd = open(mTarget.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot write " + path + ": " + ErrnoText(errno);
            return false;
        }
        if (!regular) {
            mFd = fd;
            mOwnsFd = true;
            mDirect = true;
            mSeekable = lseek(fd, 0, SEEK_CUR) >= 0;
            return true;
        }
        close(fd);
        mHadTarget = true;
        mMode = info.st_mode & 07777;
        mOwner = static_cast<long>(info.st_uid);
        mGroup = static_cast<long>(info.st_gid);
    } else if (errno != ENOENT) {
        error = "cannot write " + path + ": " + ErrnoText(errno);
        return false;
    }
    const fs::path target = mTarget;
    const std::string folder = target.parent_path().empty() ? std::string(".") : target.parent_path().string();
    RemoveStaleTemporaryFiles(folder);
    // The umask applies to the new file's mode, as for any file created.
#if defined(O_TMPFILE)
    mFd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (mFd >= 0) {
        mOwnsFd = true;
        mUnnamed = true;
        return true;
    }
#endif
    std::string name = target.filename().string();
    if (name.size() > 96) name.resize(96);  // the suffix never pushes it past the name length limit
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = (target.parent_path() / ("." + name + kTempMarker + std::to_string(ProcessId()) + "-" +
                                                          std::to_string(counter++) + kTempSuffix))
                                     .string();
        mFd = open(temp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
        if (mFd >= 0) {
            mOwnsFd = true;
            mTempPath = temp;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot create " + path + ": " + ErrnoText(errno);
            return false;
        }
    }
    error = "cannot create " + path + ": no free temporary name in its folder";
    return false;
#endif
}

bool OutputFile::WriteAll(const void* data, std::size_t size, std::string& error) {
    const char* bytes = static_cast<const char*>(data);
#if defined(_WIN32)
    const int fd = mFd >= 0 ? mFd : _wopen(PathOfUtf8(mWritePath).c_str(), _O_WRONLY | _O_BINARY | _O_TRUNC);
    bool ok = fd >= 0;
    while (ok && size > 0) {
        const int n = _write(fd, bytes, static_cast<unsigned>(size > (1u << 30) ? (1u << 30) : size));
        ok = n > 0;
        if (ok) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    if (!ok) error = "cannot write " + mName + ": " + ErrnoText(errno);
    if (fd >= 0 && fd != mFd) ok = _close(fd) == 0 && ok;
    return ok;
#else
    while (size > 0) {
        const ssize_t n = write(mFd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write " + mName + ": " + ErrnoText(n < 0 ? errno : EIO);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
#endif
}

bool OutputFile::Commit(std::string& error) {
#if defined(_WIN32)
    if (mDirect) return true;
    if (mTempPath.empty()) {
        error = "cannot write " + mName + ": nothing was written";
        return false;
    }
    const fs::path out = PathOfUtf8(mTarget);
    const fs::path temp = PathOfUtf8(mTempPath);
    std::error_code ec;
    const fs::file_status status = fs::status(out, ec);
    if (!ec && fs::is_regular_file(status)) fs::permissions(temp, status.permissions(), ec);
    if (!MoveFileExW(temp.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = "cannot write " + mName + ": Windows error " + std::to_string(GetLastError());
        Discard();
        return false;
    }
    mTempPath.clear();
    return true;
#else
    if (mFd < 0) {
        error = "cannot write " + mName + ": nothing was written";
        return false;
    }
    if (mDirect) return true;
    auto fail = [&](int code) {
        error = "cannot write " + mName + ": " + ErrnoText(code);
        Discard();
        return false;
    };
    if (mHadTarget) {
        // The owner can be given away only by root; the group by members of
        // it. Mode last: chown clears set-id bits.
        if (fchown(mFd, static_cast<uid_t>(mOwner), static_cast<gid_t>(mGroup)) != 0)
            (void)!fchown(mFd, static_cast<uid_t>(-1), static_cast<gid_t>(mGroup));
        if (fchmod(mFd, static_cast<mode_t>(mMode)) != 0) return fail(errno);
    }
    // On the disk before it has a name: a power loss never leaves a named
    // file that is incomplete.
    if (fsync(mFd) != 0 && errno != EINVAL) return fail(errno);
    std::string from = mTempPath;
    if (mUnnamed) {
        // An unnamed file gets a hidden name beside the target, then takes
        // the target's place in one rename (linkat cannot replace a file).
        const fs::path target = mTarget;
        static std::atomic<int> counter{0};
        const std::string fdPath = "/proc/self/fd/" + std::to_string(mFd);
        for (int attempt = 0; attempt < 100 && from.empty(); ++attempt) {
            std::string name = target.filename().string();
            if (name.size() > 96) name.resize(96);
            const std::string candidate =
                (target.parent_path() / ("." + name + kTempMarker + std::to_string(ProcessId()) + "-" +
                                         std::to_string(100000 + counter++) + kTempSuffix))
                    .string();
            if (linkat(AT_FDCWD, fdPath.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                from = candidate;
            } else if (errno != EEXIST) {
                return fail(errno);
            }
        }
        if (from.empty()) return fail(EEXIST);
        mTempPath = from;
    }
    if (std::rename(from.c_str(), mTarget.c_str()) != 0) return fail(errno);
    mTempPath.clear();
    close(mFd);
    mFd = -1;
    mOwnsFd = false;
    return true;
#endif
}

void OutputFile::Discard() {
#if !defined(_WIN32)
    if (mOwnsFd && mFd >= 0) close(mFd);
#endif
    mFd = -1;
    mOwnsFd = false;
    mUnnamed = false;
    if (!mTempPath.empty()) {
        std::error_code ec;
        fs::remove(PathOfUtf8(mTempPath), ec);
        mTempPath.clear();
    }
    mWritePath.clear();
}
