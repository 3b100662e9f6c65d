// Small file helpers shared by the host: UTF-8 paths on every platform,
// 64-bit offsets, and whole-file reads with a size limit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/utf8_path.h"

// OpenFileUtf8 for the host's std::string paths.
inline std::FILE* OpenFileUtf8(const std::string& path, const char* mode) { return OpenFileUtf8(path.c_str(), mode); }

bool SeekFile(std::FILE* file, std::int64_t offset);
// Size of an open file in bytes; -1 when it cannot be told.
std::int64_t FileSize(std::FILE* file);

// The text of errno for a message ("No such file or directory").
std::string ErrnoText(int error);

// A path from a UTF-8 string, on every platform.
std::filesystem::path PathOfUtf8(const std::string& utf8);

// Reads the whole file ("-": standard input, unless it is a terminal); fails (with a one-line error) when it cannot be
// opened, is a directory, is larger than maxBytes, or a read fails.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes, std::string& error);
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size, std::string& error);
