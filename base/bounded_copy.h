// The one bounded string copy: every fixed-size text field and every buffer
// a host or a plug-in hands us is filled through it.
#pragma once

#include <cstddef>

// Copies text (null counts as empty) into out, cut to size - 1 characters
// and always terminated. Does nothing when out is null or size is 0. The
// text may overlap out (a field renamed from its own contents).
void CopyBounded(char* out, std::size_t size, const char* text);

// The same into a whole array field.
template <std::size_t N>
void CopyBounded(char (&field)[N], const char* text) {
    CopyBounded(field, N, text);
}
