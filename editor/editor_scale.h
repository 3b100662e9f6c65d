// The scales the editor draws at, and the arithmetic between its own
// coordinates (the panel's 456 x 416 pixels, in which layout, hit tests and
// every control rule live) and a window's pixels at that scale. A window
// layer converts at its edge: pointer positions in, dirty rectangles out.
#pragma once

#include <cmath>
#include <string>

#include "raster/rectangle.h"

// 1, 1.25, 1.5, 1.75 or 2: the nearest quarter to what a screen or host
// asks for, within 1..2. Anything that is not a number above 1 is 1.
inline double SnapEditorScale(double requested) {
    if (!(requested > 1.0)) return 1.0;
    if (requested >= 2.0) return 2.0;
    return std::floor(requested * 4.0 + 0.5) / 4.0;
}

// The quarters above 1 of a snapped scale: 0 for 1, 4 for 2.
inline int ScaleQuarters(double scale) { return static_cast<int>(std::lround(scale * 4.0)) - 4; }

// A length or position of the editor in window pixels (to the nearest).
inline int ScaledLength(int length, double scale) {
    return static_cast<int>(std::lround(static_cast<double>(length) * scale));
}

// The window pixels a rectangle of the editor touches: every edge rounded
// outwards, so nothing it covers is left stale.
inline IRectangle ScaleRectOut(const IRectangle& r, double scale) {
    if (scale == 1.0) return r;
    return IRectangle{
        static_cast<std::int32_t>(std::floor(r.left * scale)), static_cast<std::int32_t>(std::floor(r.top * scale)),
        static_cast<std::int32_t>(std::ceil(r.right * scale)), static_cast<std::int32_t>(std::ceil(r.bottom * scale))};
}

// The editor's rectangle that covers a rectangle of window pixels.
inline IRectangle UnscaleRectOut(const IRectangle& r, double scale) {
    if (scale == 1.0) return r;
    return IRectangle{
        static_cast<std::int32_t>(std::floor(r.left / scale)), static_cast<std::int32_t>(std::floor(r.top / scale)),
        static_cast<std::int32_t>(std::ceil(r.right / scale)), static_cast<std::int32_t>(std::ceil(r.bottom / scale))};
}

// The editor pixel under a window pixel.
inline int UnscaleCoordinate(int windowPixel, double scale) {
    if (scale == 1.0) return windowPixel;
    return static_cast<int>(std::floor(windowPixel / scale));
}

// Pictures drawn at twice the resolution are stored under their picture's
// id plus this, from a file named with "@2x" before the extension.
constexpr int kDoubleScaleIdOffset = 1000;

inline std::string DoubleScaleFileName(const char* fileName) {
    const std::string name = fileName ? fileName : "";
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name + "@2x";
    return name.substr(0, dot) + "@2x" + name.substr(dot);
}
