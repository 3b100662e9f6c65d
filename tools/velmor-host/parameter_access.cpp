#include "tools/velmor-host/parameter_access.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/decimal_text.h"

namespace {

constexpr int kSweepSteps = 1000;
constexpr std::size_t kMaxListedTexts = 128;
constexpr int kBisectionSteps = 30;  // below float resolution of the normalised value

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The whole leading decimal number, "." for the point whatever the locale;
// `end` is where it stopped. NaN is never a value a parameter can take.
bool LeadingNumber(const std::string& text, double& value, std::size_t& end) {
    end = ReadLeadingDecimal(text.c_str(), value);
    return end > 0 && !std::isnan(value);
}

int DecimalsOf(const std::string& number) {
    const std::size_t point = number.find('.');
    if (point == std::string::npos) return 0;
    int decimals = 0;
    for (std::size_t i = point + 1; i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])); ++i)
        ++decimals;
    return decimals;
}

// Half a unit in the last displayed digit: how far a value may be from the
// number a text shows.
double Resolution(int decimals) { return 0.5 * std::pow(10.0, -decimals); }

}  // namespace

bool ParseDisplayNumber(const std::string& raw, double& value, int& decimals) {
    const std::string text = Trim(raw);
    std::size_t end = 0;
    if (!LeadingNumber(text, value, end)) return false;
    // What follows may be a unit ("dB", "%", "ms"), never more digits
    // ("1/4", "2:1" are not plain numbers).
    for (std::size_t i = end; i < text.size(); ++i)
        if (std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    decimals = DecimalsOf(text.substr(0, end));
    return true;
}

bool ParseUserNumber(const std::string& raw, const std::string& label, double& value, std::string& number) {
    const std::string text = Trim(raw);
    std::size_t end = 0;
    if (!LeadingNumber(text, value, end)) return false;
    const std::string unit = Trim(text.substr(end));
    if (!unit.empty() && (Trim(label).empty() || Lower(unit) != Lower(Trim(label)))) return false;
    number = text.substr(0, end);
    return true;
}

std::string JoinTexts(const std::vector<std::string>& texts, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i) out += separator;
        out += texts[i];
    }
    return out;
}

int ParameterAccess::Count() const { return mPlugin.ParameterCount(); }
std::string ParameterAccess::Name(int index) { return Trim(mPlugin.ParameterName(index)); }
std::string ParameterAccess::Label(int index) { return Trim(mPlugin.ParameterLabel(index)); }
std::string ParameterAccess::Display(int index) { return Trim(mPlugin.ParameterDisplay(index)); }
float ParameterAccess::Get(int index) { return mPlugin.GetParameter(index); }
void ParameterAccess::Set(int index, float normalised) { mPlugin.SetParameter(index, normalised); }

std::string ParameterAccess::DisplayAt(int index, float normalised) {
    const float original = Get(index);
    Set(index, normalised);
    std::string text = Display(index);
    Set(index, original);
    return text;
}

std::vector<ParameterAccess::TextRun> ParameterAccess::Sweep(int index, bool& complete) {
    const float original = Get(index);
    std::vector<TextRun> runs;
    std::string current;
    runs.reserve(kMaxListedTexts);
    TextRun* open = nullptr;  // the first run of `current`, while it lasts
    complete = true;
    for (int i = 0; i <= kSweepSteps; ++i) {
        const double x = static_cast<double>(i) / kSweepSteps;
        Set(index, static_cast<float>(x));
        std::string text = Display(index);
        if (i > 0 && text == current) {
            if (open) open->to = x;
            continue;
        }
        current = text;
        open = nullptr;
        bool known = false;
        for (const TextRun& run : runs) known = known || run.text == text;
        if (known) continue;
        if (runs.size() == kMaxListedTexts) {
            complete = false;
            break;
        }
        runs.push_back({std::move(text), x, x});
        open = &runs.back();
    }
    Set(index, original);
    return runs;
}

std::vector<std::string> ParameterAccess::SweepTexts(int index, bool& complete) {
    std::vector<std::string> texts;
    for (const TextRun& run : Sweep(index, complete)) texts.push_back(run.text);
    return texts;
}

ParameterDescription ParameterAccess::Describe(int index, bool withTexts) {
    ParameterDescription d;
    d.name = Name(index);
    d.label = Label(index);
    d.defaultValue = Get(index);
    d.display = Display(index);
    d.lowText = DisplayAt(index, 0.0f);
    d.highText = DisplayAt(index, 1.0f);
    int decimals = 0;
    d.numeric = ParseDisplayNumber(d.lowText, d.low, decimals) && ParseDisplayNumber(d.highText, d.high, decimals);
    if (!d.numeric && withTexts) d.texts = SweepTexts(index, d.textsComplete);
    return d;
}

bool ParameterAccess::Find(const std::string& rawName, int& index, std::string& error) {
    const std::string name = Trim(rawName);
    // "#19": by index, for parameters whose names repeat or say nothing.
    if (name.size() > 1 && name[0] == '#' && name.find_first_not_of("0123456789", 1) == std::string::npos) {
        const long wanted = name.size() > 10 ? -1 : std::strtol(name.c_str() + 1, nullptr, 10);
        if (wanted < 0 || wanted >= Count()) {
            error = "no parameter " + name + " (the plug-in has " + std::to_string(Count()) +
                    (Count() == 1 ? " parameter" : " parameters") +
                    (Count() > 0 ? ", #0 to #" + std::to_string(Count() - 1) : std::string()) + ")";
            return false;
        }
        index = static_cast<int>(wanted);
        return true;
    }
    std::vector<std::string> names;
    for (int i = 0; i < Count(); ++i) names.push_back(Name(i));
    std::vector<int> matches;
    for (int i = 0; i < Count(); ++i)
        if (names[static_cast<std::size_t>(i)] == name) matches.push_back(i);
    if (matches.empty())
        for (int i = 0; i < Count(); ++i)
            if (Lower(names[static_cast<std::size_t>(i)]) == Lower(name)) matches.push_back(i);
    if (matches.size() == 1) {
        index = matches[0];
        return true;
    }
    if (matches.size() > 1) {
        std::vector<std::string> which;
        for (int i : matches) which.push_back("#" + std::to_string(i) + " " + names[static_cast<std::size_t>(i)]);
        error = "parameter name \"" + name + "\" is ambiguous (" + JoinTexts(which) +
                "); name one by its index, as in --set \"#" + std::to_string(matches.back()) + "=VALUE\"";
    } else if (names.empty()) {
        error = "unknown parameter \"" + name + "\" (the plug-in has no parameters)";
    } else {
        error = "unknown parameter \"" + name + "\" (parameters: " + JoinTexts(names) + ")";
    }
    return false;
}

bool ParameterAccess::DisplayShows(int index, double value, double tolerance) {
    double shown = 0.0;
    int decimals = 0;
    if (!ParseDisplayNumber(Display(index), shown, decimals)) return false;
    if (std::isinf(value) || std::isinf(shown)) return shown == value;
    return std::fabs(shown - value) <= std::max(tolerance, Resolution(decimals)) * (1.0 + 1e-9);
}

bool ParameterAccess::SetNumber(int index, const ParameterDescription& d, double value, const std::string& number,
                                std::string& error) {
    int lowDecimals = 0;
    int highDecimals = 0;
    double ignored = 0.0;
    ParseDisplayNumber(d.lowText, ignored, lowDecimals);
    ParseDisplayNumber(d.highText, ignored, highDecimals);
    const double tolerance = Resolution(std::max(lowDecimals, highDecimals));
    const double low = std::min(d.low, d.high);
    const double high = std::max(d.low, d.high);
    if (value < low - tolerance || value > high + tolerance) {
        const bool increasing = d.high >= d.low;
        const std::string unit = d.label.empty() ? "" : " " + d.label;
        error = d.name + ": " + number + " is outside the range " + (increasing ? d.lowText : d.highText) + " to " +
                (increasing ? d.highText : d.lowText) + unit;
        return false;
    }

    // The plug-in's own text entry is the direct way; it is trusted only
    // when the display then shows the value.
    const float original = Get(index);
    if (mPlugin.SetParameterFromText(index, number) && DisplayShows(index, value, tolerance)) return true;

    // Otherwise search the normalised range, assuming the display moves
    // monotonically with it: find where it starts and stops showing the
    // value and take the middle of that stretch.
    Set(index, original);
    const double sign = d.high >= d.low ? 1.0 : -1.0;
    auto shown = [&](double x) {
        Set(index, static_cast<float>(x));
        double v = 0.0;
        int decimals = 0;
        return ParseDisplayNumber(Display(index), v, decimals) ? sign * v : std::nan("");
    };
    auto firstReaching = [&](double threshold, bool strictly) {
        double lo = 0.0;
        double hi = 1.0;
        auto reached = [&](double x) {
            const double v = shown(x);
            return strictly ? v > threshold : v >= threshold;
        };
        if (reached(0.0)) return 0.0;
        for (int i = 0; i < kBisectionSteps; ++i) {
            const double mid = 0.5 * (lo + hi);
            (reached(mid) ? hi : lo) = mid;
        }
        return hi;
    };
    const double target = sign * value;
    const double from = firstReaching(target - tolerance, false);
    const double to = firstReaching(target + tolerance, true);
    for (double x : {0.5 * (from + to), from}) {
        Set(index, static_cast<float>(x));
        if (DisplayShows(index, value, tolerance)) return true;
    }
    Set(index, original);
    error = d.name + ": cannot set " + number + (d.label.empty() ? "" : " " + d.label) +
            " (the plug-in does not show that value)";
    return false;
}

bool ParameterAccess::SetText(int index, const std::string& text, double from, double to) {
    if (mPlugin.SetParameterFromText(index, text) && Display(index) == text) return true;
    for (double x : {0.5 * (from + to), from}) {
        Set(index, static_cast<float>(x));
        if (Display(index) == text) return true;
    }
    return false;
}

bool ParameterAccess::Apply(const std::string& assignment, std::string& error) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || Trim(assignment.substr(0, equals)).empty()) {
        error = "--set expects NAME=VALUE, got \"" + assignment + "\"";
        return false;
    }
    int index = 0;
    if (!Find(assignment.substr(0, equals), index, error)) return false;
    const std::string valueText = Trim(assignment.substr(equals + 1));
    const ParameterDescription d = Describe(index, false);

    double value = 0.0;
    std::string number;
    const bool isNumber = ParseUserNumber(valueText, d.label, value, number);
    if (d.numeric) {
        if (!isNumber) {
            error = d.name + ": \"" + valueText + "\" is not a number (range " + d.lowText + " to " + d.highText +
                    (d.label.empty() ? "" : " " + d.label) + ")";
            return false;
        }
        return SetNumber(index, d, value, number, error);
    }

    bool complete = true;
    const std::vector<TextRun> runs = Sweep(index, complete);
    const TextRun* match = nullptr;
    for (const TextRun& run : runs)
        if (!match && run.text == valueText) match = &run;
    if (!match) {
        int count = 0;
        for (const TextRun& run : runs) {
            if (Lower(run.text) == Lower(valueText)) {
                match = &run;
                ++count;
            }
        }
        if (count > 1) match = nullptr;
    }
    // A whole number picks the text of that rank, as `info` numbers them
    // ("Power=0", "Mode=3"): switches and integer choices are often
    // known by number.
    if (!match && complete && !valueText.empty() && valueText.size() < 8 &&
        valueText.find_first_not_of("0123456789") == std::string::npos) {
        const std::size_t rank = static_cast<std::size_t>(std::strtol(valueText.c_str(), nullptr, 10));
        if (rank < runs.size()) match = &runs[rank];
    }
    if (!match) {
        std::vector<std::string> texts;
        for (const TextRun& run : runs) texts.push_back(run.text);
        error = d.name + ": \"" + valueText + "\" is not accepted (allowed: " + JoinTexts(texts) +
                (complete ? ", or 0 to " + std::to_string(texts.size() - 1) : ", ...") + ")";
        return false;
    }
    if (!SetText(index, match->text, match->from, match->to)) {
        error = d.name + ": cannot set \"" + match->text + "\"";
        return false;
    }
    return true;
}
