#include "vst3/vst3_text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at text[i], moving i past it; malformed sequences (cut,
// overlong, surrogates, past U+10FFFF) count as one replacement per byte.
char32_t NextCodePoint(const unsigned char* text, std::size_t& i) {
    const unsigned char lead = text[i++];
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        const unsigned char next = text[i];
        if ((next & 0xC0) != 0x80) return kReplacement;  // the terminator stops here too
        code = (code << 6) | (next & 0x3F);
        ++i;
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacement;
    return code;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

void CopyToUtf16(vst3::char16* out, int capacity, const char* text) {
    if (!out || capacity <= 0) return;
    int n = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text ? text : "");
    std::size_t i = 0;
    while (bytes[i] != 0) {
        const char32_t c = NextCodePoint(bytes, i);
        const int units = c >= 0x10000 ? 2 : 1;
        if (n + units > capacity - 1) break;
        if (units == 2) {
            out[n++] = static_cast<vst3::char16>(0xD800 + ((c - 0x10000) >> 10));
            out[n++] = static_cast<vst3::char16>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<vst3::char16>(c);
        }
    }
    out[n] = 0;
}

std::string Utf8FromUtf16(const vst3::char16* text, int maxUnits) {
    std::string out;
    if (!text) return out;
    for (int i = 0; i < maxUnits && text[i] != 0; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < maxUnits && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}
