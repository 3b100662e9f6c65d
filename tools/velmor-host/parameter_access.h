// Parameters of any hosted plug-in, seen only through PluginInstance:
// names, labels, display texts and normalised values. Turns "NAME=VALUE" (a value in the
// parameter's own units, or one of its display texts) into a setting, and
// describes each parameter for `info`.
#pragma once

#include <string>
#include <vector>

#include "tools/velmor-host/plugin_instance.h"

// A number at the start of a display text, optionally followed by a unit
// ("12.50", "-6 dB", "-inf"); `decimals` is the count of digits after the
// point, which tells the text's resolution. False for anything else
// ("on", "A", "1/4", "nan").
bool ParseDisplayNumber(const std::string& text, double& value, int& decimals);

// A value typed by the user: a number, optionally followed by the
// parameter's unit label (any case). `number` receives the number alone.
bool ParseUserNumber(const std::string& text, const std::string& label, double& value, std::string& number);

struct ParameterDescription {
    std::string name;
    std::string label;
    float defaultValue = 0.0f;  // normalised value when described
    std::string display;        // display text at that value
    bool numeric = false;       // display texts at 0 and 1 are both numbers
    double low = 0.0, high = 0.0;
    std::string lowText, highText;   // display texts at the ends of the range
    std::vector<std::string> texts;  // distinct display texts, for non-numeric ones
    bool textsComplete = true;       // false when the sweep found too many to list
};

class ParameterAccess {
public:
    explicit ParameterAccess(PluginInstance& plugin) : mPlugin(plugin) {}

    int Count() const;
    std::string Name(int index);
    std::string Label(int index);
    std::string Display(int index);
    float Get(int index);
    void Set(int index, float normalised);

    // Display text at a normalised value; the parameter is put back afterwards.
    std::string DisplayAt(int index, float normalised);
    // Distinct display texts met while sweeping the normalised range, in the
    // order met; the parameter is put back afterwards.
    std::vector<std::string> SweepTexts(int index, bool& complete);

    // Name, label, current value and range; the display texts of a
    // non-numeric parameter are swept only when `withTexts`.
    ParameterDescription Describe(int index, bool withTexts = true);

    // Index of a parameter by name: "#N" is index N; else the one exact
    // match, else the one case-insensitive match. A name shared by several
    // is an error that lists them with their indexes; an unknown one lists
    // the names.
    bool Find(const std::string& name, int& index, std::string& error);

    // Applies one "NAME=VALUE" setting: VALUE in the parameter's units, or
    // one of its display texts, or (for one with display texts only) the
    // rank of a text, from 0.
    bool Apply(const std::string& assignment, std::string& error);

private:
    struct TextRun {
        std::string text;
        double from, to;  // normalised interval first showing the text
    };
    std::vector<TextRun> Sweep(int index, bool& complete);
    bool SetNumber(int index, const ParameterDescription& d, double value, const std::string& number,
                   std::string& error);
    bool SetText(int index, const std::string& text, double from, double to);
    bool DisplayShows(int index, double value, double tolerance);

    PluginInstance& mPlugin;
};

// "a, b, c": for error messages.
std::string JoinTexts(const std::vector<std::string>& texts, const char* separator = ", ");
