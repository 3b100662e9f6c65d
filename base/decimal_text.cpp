#include "base/decimal_text.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of word at p, ignoring case; 0 when p does not start with it.
std::size_t MatchWord(const char* p, const char* word) {
    std::size_t n = 0;
    for (; word[n]; ++n)
        if (Lower(p[n]) != word[n]) return 0;
    return n;
}

// The unsigned decimal at p: digits, an optional fraction, an optional
// exponent (taken only when it has digits). Answers its length, 0 when p
// has no digit before or after the point. `scale` receives the power of ten
// of its leading non-zero digit, roughly, to tell an overflow from an
// underflow.
std::size_t ScanDecimal(const char* p, long& scale) {
    std::size_t n = 0;
    long lead = 0;  // position of the first non-zero digit relative to the point
    bool seenNonZero = false;
    bool any = false;
    for (; IsDigit(p[n]); ++n) {
        any = true;
        if (p[n] != '0' || seenNonZero) {
            seenNonZero = true;
            ++lead;
        }
    }
    if (p[n] == '.') {
        std::size_t f = n + 1;
        for (; IsDigit(p[f]); ++f) {
            any = true;
            if (!seenNonZero) {
                if (p[f] != '0')
                    seenNonZero = true;
                else
                    --lead;
            }
        }
        if (any) n = f;
    }
    if (!any) return 0;
    long exponent = 0;
    if (p[n] == 'e' || p[n] == 'E') {
        std::size_t e = n + 1;
        const bool negative = p[e] == '-';
        if (p[e] == '+' || p[e] == '-') ++e;
        if (IsDigit(p[e])) {
            for (; IsDigit(p[e]); ++e)
                if (exponent < 100000) exponent = exponent * 10 + (p[e] - '0');
            if (negative) exponent = -exponent;
            n = e;
        }
    }
    scale = lead + exponent;
    return n;
}

}  // namespace

std::size_t ReadLeadingDecimal(const char* text, double& value) {
    value = 0.0;
    if (!text) return 0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    const double sign = negative ? -1.0 : 1.0;

    if (const std::size_t n = MatchWord(p, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
        return static_cast<std::size_t>(p + n - text);
    }
    if (std::size_t n = MatchWord(p, "inf")) {
        if (const std::size_t whole = MatchWord(p, "infinity")) n = whole;
        value = sign * std::numeric_limits<double>::infinity();
        return static_cast<std::size_t>(p + n - text);
    }

    long scale = 0;
    const std::size_t n = ScanDecimal(p, scale);
    if (n == 0) return 0;
    double magnitude = 0.0;
    const std::from_chars_result r = std::from_chars(p, p + n, magnitude, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        magnitude = scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc()) {
        return 0;
    }
    value = sign * magnitude;
    return static_cast<std::size_t>(p + n - text);
}

double ReadDecimal(const char* text) {
    double value = 0.0;
    ReadLeadingDecimal(text, value);
    return value;
}

std::string FormatFixed(double v, int decimals) {
    // The longest fixed text of a double: 309 integer digits, a sign, the
    // point and the decimals.
    char buffer[330 + 32];
    if (decimals < 0) decimals = 0;
    if (decimals > 32) decimals = 32;
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return std::string();
    return std::string(buffer, r.ptr);
}
