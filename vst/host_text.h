// Bounded copies into buffers the host owns. Hosts allocate at least the
// published VST 2.4 sizes; nothing we write may run past them.
#pragma once

#include <cstddef>

// Host buffer sizes in bytes, terminator included.
constexpr std::size_t kParamTextBytes = 8;   // parameter label and display text
constexpr std::size_t kParamNameBytes = 32;  // every real host gives 64 or more
constexpr std::size_t kProgramNameBytes = 24;
constexpr std::size_t kEffectNameBytes = 32;
constexpr std::size_t kVendorTextBytes = 64;  // vendor and product strings
constexpr std::size_t kPinLabelBytes = 64;
constexpr std::size_t kMidiKeyNameBytes = 64;
// What we hand the host for its own product string.
constexpr std::size_t kHostProductBytes = 256;

// Copies text (null counts as empty) into out, cut to size - 1 characters
// and always terminated. Does nothing when out is null or size is 0.
void CopyToHost(char* out, std::size_t size, const char* text);

// Reads a typed number by atof's rules (leading number, rest ignored, 0 when
// there is none), with the "nan" and "inf"/"infinity" spellings (any case,
// optional sign) read the same on every C runtime: some leave them as 0.
double ReadHostNumber(const char* text);
