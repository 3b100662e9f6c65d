#include "base/bounded_copy.h"

#include <cstring>

void CopyBounded(char* out, std::size_t size, const char* text) {
    if (!out || size == 0) return;
    std::size_t n = 0;
    if (text) {
        while (n + 1 < size && text[n] != '\0') ++n;
        std::memmove(out, text, n);
    }
    out[n] = '\0';
}
