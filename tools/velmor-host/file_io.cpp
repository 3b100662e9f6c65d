#include "tools/velmor-host/file_io.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

bool SeekFile(std::FILE* file, std::int64_t offset) {
#if defined(_WIN32)
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::int64_t FileSize(std::FILE* file) {
#if defined(_WIN32)
    const std::int64_t here = _ftelli64(file);
    if (here < 0 || _fseeki64(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = _ftelli64(file);
    if (_fseeki64(file, here, SEEK_SET) != 0) return -1;
#else
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0) return -1;
#endif
    return size;
}

std::string ErrnoText(int error) { return std::strerror(error); }

namespace {

bool ReadStandardInput(std::size_t maxBytes, std::vector<std::uint8_t>& bytes, std::string& error) {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    const bool terminal = _isatty(_fileno(stdin)) != 0;
#else
    const bool terminal = isatty(fileno(stdin)) != 0;
#endif
    if (terminal) {
        error = "cannot read standard input: it is a terminal (pipe or redirect the file into it)";
        return false;
    }
    bytes.clear();
    std::uint8_t buffer[65536];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > maxBytes) {
            error = "standard input is too large (more than " + std::to_string(maxBytes) + " bytes)";
            return false;
        }
        if (n < sizeof buffer) break;
    }
    if (std::ferror(stdin)) {
        error = "cannot read standard input: " + ErrnoText(errno);
        return false;
    }
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
    if (path == "-") return ReadStandardInput(maxBytes, bytes, error);
    std::error_code ec;
    if (std::filesystem::is_directory(PathOfUtf8(path), ec)) {
        error = "cannot read " + path + ": it is a directory";
        return false;
    }
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (!file) {
        error = "cannot open " + path + ": " + ErrnoText(errno);
        return false;
    }
    const std::int64_t size = FileSize(file);
    bool ok = false;
    if (size < 0) {
        error = "cannot read " + path + ": " + ErrnoText(errno);
    } else if (static_cast<std::uint64_t>(size) > maxBytes) {
        error = path + " is too large (" + std::to_string(size) + " bytes, at most " + std::to_string(maxBytes) + ")";
    } else {
        bytes.resize(static_cast<std::size_t>(size));
        ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (!ok) error = "cannot read " + path;
    }
    std::fclose(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size, std::string& error) {
    std::FILE* file = OpenFileUtf8(path, "wb");
    if (!file) {
        error = "cannot create " + path + ": " + ErrnoText(errno);
        return false;
    }
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) error = "cannot write " + path;
    return ok;
}

std::filesystem::path PathOfUtf8(const std::string& utf8) {
#if defined(__cpp_char8_t)
    return std::filesystem::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
#else
    return std::filesystem::u8path(utf8);
#endif
}
