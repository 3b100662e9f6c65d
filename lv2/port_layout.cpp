#include "lv2/port_layout.h"

#include <cctype>
#include <charconv>
#include <cmath>

std::string Lv2Symbol(const char* name) {
    std::string s;
    bool gap = false;
    for (const char* c = name; c && *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (std::isalnum(u)) {
            if (gap && !s.empty()) s += '_';
            s += static_cast<char>(std::tolower(u));
            gap = false;
        } else {
            gap = true;
        }
    }
    // A symbol may not start with a digit (nor be empty).
    if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) s.insert(0, "p_");
    return s;
}

double Lv2PortValue(float value) {
    if (!std::isfinite(value)) return value;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double v = value;
    if (written.ec != std::errc()) return v;
    const auto read = std::from_chars(text, written.ptr, v);
    return read.ec == std::errc() ? v : static_cast<double>(value);
}

bool ApplyLv2PortValue(IEffectBase& plugin, int index, double value) {
    IParameter* param = plugin.GetParam(index);
    if (!param || std::isnan(value)) return false;
    if (param->Type() != kParamDouble) {
        // To the nearest step, as the normalised path rounds.
        param->SetFromNormalized(param->ValueToNormalized(value));
    } else {
        // The host's value exactly: no round trip through 0..1.
        param->SetClamped(value);
    }
    if (IEditorLink* editor = plugin.Editor()) {
        editor->ShowParameterInEditor(index, param->ValueToNormalized(param->Value()), true);
    }
    plugin.OnParameterChange(index);
    return true;
}
