// Integer rectangle in pixels: right and bottom are exclusive. The editor's
// rules for emptiness, hit tests and intersection build on this layout.
#pragma once

#include <cstdint>

struct IRectangle {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
