// Pictures and a plug-in for the editor tests: strips whose every frame is
// one known colour, served through a resource table the test fills, and a
// plug-in that records the edit gestures and values the editor sends.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "editor/resource_source.h"
#include "raster/packed_pixel.h"
#include "tests/core/test_effect.h"

namespace editortest {

// Frame n (1-based) of a test strip is filled with this colour, opaque.
PackedPixel FrameColour(int id, int frame);

// A PNG file image of frames frames of w x h, each filled with
// FrameColour(id, frame); with a transparent one-pixel border when border.
std::vector<std::uint8_t> StripPng(int id, int w, int h, int frames, bool border = false);

// The table the test editors load from. Entries are kept for the process
// (the BitmapCache keeps pointers into them).
void AddResource(int id, std::vector<std::uint8_t> bytes);
bool FindTestResource(int id, IResourceBytes* out);

class GestureEffect : public TestEffect {
public:
    void BeginEditGesture(int index) override { gestures.push_back("begin" + std::to_string(index)); }
    void EndEditGesture(int index) override { gestures.push_back("end" + std::to_string(index)); }
    std::vector<std::string> gestures;
};

}  // namespace editortest
