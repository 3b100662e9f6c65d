#pragma once

namespace art {

// Writes the editor at default settings (both knobs at their defaults,
// switches lit, needle at 0, lamp fully lit) as a PNG. False on failure.
bool WritePreview(const char* path);

}  // namespace art
