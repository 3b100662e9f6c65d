#include "vst/host_text.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>

void CopyToHost(char* out, std::size_t size, const char* text) {
    if (!out || size == 0) return;
    std::size_t n = 0;
    if (text) {
        while (n + 1 < size && text[n] != '\0') ++n;
        std::memcpy(out, text, n);
    }
    out[n] = '\0';
}

namespace {
// True when text starts with word, ignoring case.
bool StartsWithWord(const char* text, const char* word) {
    for (; *word; ++text, ++word) {
        if (std::tolower(static_cast<unsigned char>(*text)) != *word) return false;
    }
    return true;
}
}  // namespace

double ReadHostNumber(const char* text) {
    if (!text) return 0.0;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (StartsWithWord(p, "nan")) return std::numeric_limits<double>::quiet_NaN();
    if (StartsWithWord(p, "inf")) {
        const double inf = std::numeric_limits<double>::infinity();
        return negative ? -inf : inf;
    }
    return std::atof(text);
}
