// File names are UTF-8 everywhere in this code base. Windows opens them
// through its wide-character calls; elsewhere the bytes are the name.
#pragma once

#include <cstdio>
#include <string>

// fopen with a UTF-8 path. On Windows a name that is not valid UTF-8, or
// that does not open that way for reading, is tried as a system-code-page
// name; a file opened for writing is never created under a second name.
// Null path or mode: null.
std::FILE* OpenFileUtf8(const char* path, const char* mode);

#if defined(_WIN32)
// The UTF-16 form of a UTF-8 text; false (and empty) when it is not valid
// UTF-8.
bool WidenUtf8(const char* text, std::wstring& wide);
#endif
