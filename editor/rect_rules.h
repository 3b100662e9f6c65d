// The editor's rectangle rules. Right and bottom are exclusive; a rectangle
// is empty only when all four values are 0 (a zero-width rectangle elsewhere
// is not "empty", it simply contains no point). Meeting is deliberately
// asymmetric: a region that ends exactly where a control begins (right ==
// left, or bottom == top) still meets it, one that begins where the control
// ends does not.
#pragma once

#include <algorithm>

#include "raster/rectangle.h"

inline bool IsEmpty(const IRectangle& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

inline bool Contains(const IRectangle& r, int x, int y) {
    return !IsEmpty(r) && r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

inline bool Meets(const IRectangle& a, const IRectangle& b) {
    return !IsEmpty(a) && !IsEmpty(b) && a.right >= b.left && a.left < b.right && a.bottom >= b.top && a.top < b.bottom;
}

// The common part of a and b when they meet, otherwise the empty rectangle.
inline IRectangle Intersection(const IRectangle& a, const IRectangle& b) {
    if (!Meets(a, b)) return IRectangle{};
    return IRectangle{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
}

// The bounding box of both; an empty rectangle adds nothing.
inline IRectangle BoundingUnion(const IRectangle& a, const IRectangle& b) {
    if (IsEmpty(a)) return b;
    if (IsEmpty(b)) return a;
    return IRectangle{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom)};
}

inline int RectWidth(const IRectangle& r) { return r.right - r.left; }
inline int RectHeight(const IRectangle& r) { return r.bottom - r.top; }
