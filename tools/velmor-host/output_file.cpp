#include "tools/velmor-host/output_file.h"

#include <atomic>
#include <cerrno>
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
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
#if defined(__cpp_char8_t)
    return fs::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
#else
    return fs::u8path(utf8);
#endif
}

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

// Creates `path` only if no file has that name; false otherwise (errno set).
bool CreateExclusive(const fs::path& path) {
#if defined(_WIN32)
    const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return false;
    _close(fd);
#else
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    close(fd);
#endif
    return true;
}

// Renames over an existing target in one step on both systems.
bool ReplaceFile(const fs::path& from, const fs::path& to, std::string& why) {
#if defined(_WIN32)
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    why = "Windows error " + std::to_string(GetLastError());
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    why = ErrnoText(errno);
    return false;
#endif
}

}  // namespace

PendingOutput::~PendingOutput() { Discard(); }

bool PendingOutput::Create(const std::string& outPath, std::string& error) {
    Discard();
    const fs::path out = PathOf(outPath);
    std::error_code ec;
    if (fs::is_directory(out, ec)) {
        error = "cannot write " + outPath + ": it is a directory";
        return false;
    }
    // A hidden name beside OUT that says what it is; the file name is cut
    // short so that the suffix never pushes it past the name length limit.
    std::string name = Utf8Of(out.filename());
    if (name.size() > 96) name.resize(96);
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string tempName =
            "." + name + ".velmor-host-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++) + ".part";
        const fs::path temp = out.parent_path() / PathOf(tempName);
        if (CreateExclusive(temp)) {
            mOut = outPath;
            mTemp = Utf8Of(temp);
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot create " + outPath + ": " + ErrnoText(errno);
            return false;
        }
    }
    error = "cannot create " + outPath + ": no free temporary name in its folder";
    return false;
}

bool PendingOutput::Commit(std::string& error) {
    if (mTemp.empty()) {
        error = "cannot write " + mOut + ": nothing was rendered";
        return false;
    }
    const fs::path out = PathOf(mOut);
    const fs::path temp = PathOf(mTemp);
    std::error_code ec;
    // An existing OUT keeps who may read it; a new one gets the umask's say,
    // as any newly created file does.
    const fs::file_status status = fs::status(out, ec);
    if (!ec && fs::is_regular_file(status)) fs::permissions(temp, status.permissions(), ec);
    std::string why;
    if (!ReplaceFile(temp, out, why)) {
        error = "cannot write " + mOut + ": " + why;
        Discard();
        return false;
    }
    mTemp.clear();
    return true;
}

void PendingOutput::Discard() {
    if (mTemp.empty()) return;
    std::error_code ec;
    fs::remove(PathOf(mTemp), ec);
    mTemp.clear();
}
