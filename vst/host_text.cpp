#include "vst/host_text.h"

#include <cstring>

void CopyToHost(char* out, std::size_t size, const char* text) {
    if (!out || size == 0) return;
    std::size_t n = 0;
    if (text) {
        while (n + 1 < size && text[n] != '\0') ++n;
        std::memcpy(out, text, n);
    }
    out[n] = '\0';
}
