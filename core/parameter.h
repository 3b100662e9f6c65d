// One automatable parameter: declared kind, range, step, curve and texts, and
// its current real value. Hosts and the editor speak normalised 0..1 values;
// the conversions here are the single place where the two meet.
//
// No lock of its own: callers hold the plug-in lock (the constructor declares
// parameters before any host call can arrive).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/heap_buffer.h"

enum IParamType : std::int32_t {
    kParamNone = 0,
    kParamBool = 1,
    kParamInt = 2,
    kParamDouble = 4,
};

constexpr int kParamTextSize = 32;  // 31 characters and a terminator

struct DisplayText {
    std::int32_t value;
    char text[kParamTextSize];
};

class IParameter {
public:
    IParameter();

    // Declaration (plug-in constructor only).
    void SetupDouble(const char* name, double defaultValue, double min, double max, double step, const char* label = "",
                     double shape = 1.0);
    void SetupBool(const char* name, bool defaultValue);
    void SetupInt(const char* name, int defaultValue, int min, int max, const char* label = "");
    void AddDisplayText(int value, const char* text);

    // v clamped to the range, mapped to 0..1 with exponent 1/shape.
    double ValueToNormalized(double v) const;
    // x (clamped to 0..1; NaN is ignored) mapped with exponent shape; stepped
    // kinds are rounded to the nearest multiple of the step from 0.
    void SetFromNormalized(double x);
    // The value SetFromNormalized(x) would store, without storing it (the
    // current value for a NaN): what a host's normalised value will mean.
    double ValueForNormalized(double x) const;
    // Writes the display text of v into out, at most outSize bytes including
    // the terminator (outSize 0 writes nothing).
    void FormatValue(double v, bool isNormalized, char* out, std::size_t outSize, bool useDisplayTexts) const;
    // The unit shown next to the value: empty when a display text already
    // names the current value, otherwise the label.
    const char* UnitText() const;
    // The first display text whose value equals trunc(v), or null (also when
    // its text is empty).
    const char* DisplayTextFor(double v) const;
    // Index of the display text equal to text (exact, case-sensitive), or -1.
    int FindDisplayText(const char* text) const;

    // Clamps v to [minValue, maxValue] and stores it. NaN counts as 0 (then
    // clamped), as a value missing from a state chunk does; infinities go to
    // the range ends. Used by state loads and typed values.
    void SetClamped(double v);

    IParamType Type() const { return mType; }
    double Value() const { return mValue; }
    double Min() const { return mMinValue; }
    double Max() const { return mMaxValue; }
    double Step() const { return mStep; }
    double Shape() const { return mShape; }
    double Default() const { return mDefaultValue; }
    int Precision() const { return mPrecision; }
    const char* Name() const { return mName; }
    const char* Label() const { return mLabel; }
    int DisplayTextCount() const;
    const DisplayText* DisplayTextAt(int i) const;

private:
    IParamType mType;
    double mValue;
    double mMinValue;
    double mMaxValue;
    double mStep;
    double mShape;
    double mDefaultValue;
    std::int32_t mPrecision;
    char mName[kParamTextSize];
    char mLabel[kParamTextSize];
    IHeapBuffer mDisplayTexts;  // DisplayText entries in order of addition
};
