// Text at the VST 3 boundary: UTF-16 (String128 and the class infos) on the
// wire, UTF-8 everywhere in this code base. Used by the adapter and by the
// host side alike; any thread.
#pragma once

#include <string>

#include "vst3/vst3_abi.h"

// Writes text (UTF-8; null counts as empty) into out as UTF-16, cut to
// capacity - 1 code units (never inside a surrogate pair) and always
// terminated. Bytes that are not UTF-8 become U+FFFD. Nothing when out is
// null or capacity is 0 or less.
void CopyToUtf16(vst3::char16* out, int capacity, const char* text);

// The UTF-8 form of at most maxUnits code units of text, up to its
// terminator; an unpaired surrogate becomes U+FFFD. Null gives "".
std::string Utf8FromUtf16(const vst3::char16* text, int maxUnits);

// The same into a whole array field.
template <int N>
void CopyToUtf16(vst3::char16 (&field)[N], const char* text) {
    CopyToUtf16(field, N, text);
}
