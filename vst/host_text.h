// Sizes of the text buffers a host hands us. Hosts allocate at least the
// published VST 2.4 sizes; every copy into them goes through CopyBounded
// with the size here, so nothing we write runs past them.
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
