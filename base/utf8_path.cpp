#include "base/utf8_path.h"

#include <cstring>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

bool WidenUtf8(const char* text, std::wstring& wide) {
    wide.clear();
    if (!text) return false;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0) return false;
    wide.assign(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], n) != n) {
        wide.clear();
        return false;
    }
    wide.resize(static_cast<std::size_t>(n - 1));  // the terminator stays implicit
    return true;
}
#endif

std::FILE* OpenFileUtf8(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
#if defined(_WIN32)
    std::wstring widePath;
    std::wstring wideMode;
    if (WidenUtf8(path, widePath) && WidenUtf8(mode, wideMode)) {
        if (std::FILE* f = _wfopen(widePath.c_str(), wideMode.c_str())) return f;
        const bool readOnly = mode[0] == 'r' && !std::strchr(mode, '+');
        if (!readOnly) return nullptr;
    }
#endif
    return std::fopen(path, mode);
}
