#include "core/parameter.h"

#include "base/bounded_copy.h"
#include "base/decimal_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Decimal places needed to show multiples of step: multiply by ten until it
// is whole. Steps that never become whole in double precision (1/3, 0.07)
// stop at six places.
int PrecisionForStep(double step) {
    int precision = 0;
    double s = step;
    while (s != std::floor(s) && precision < 6) {
        ++precision;
        s *= 10.0;
    }
    return precision;
}

}  // namespace

IParameter::IParameter()
    : mType(kParamNone),
      mValue(0.0),
      mMinValue(0.0),
      mMaxValue(1.0),
      mStep(1.0),
      mShape(1.0),
      mDefaultValue(0.0),
      mPrecision(0),
      mName{},
      mLabel{},
      mDisplayTexts(4096) {}

void IParameter::SetupDouble(const char* name, double defaultValue, double min, double max, double step,
                             const char* label, double shape) {
    if (mType == kParamNone) mType = kParamDouble;
    CopyBounded(mName, name);
    CopyBounded(mLabel, label);
    mMinValue = min;
    mValue = defaultValue;
    mDefaultValue = defaultValue;
    mStep = step;
    // The range is always at least one step wide.
    mMaxValue = std::max(max, min + step);
    mPrecision = PrecisionForStep(step);
    if (shape != 0.0) mShape = shape;
}

void IParameter::SetupBool(const char* name, bool defaultValue) {
    if (mType == kParamNone) mType = kParamBool;
    SetupDouble(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, "", 1.0);
    AddDisplayText(0, "off");
    AddDisplayText(1, "on");
}

void IParameter::SetupInt(const char* name, int defaultValue, int min, int max, const char* label) {
    if (mType == kParamNone) mType = kParamInt;
    SetupDouble(name, defaultValue, min, max, 1.0, label, 1.0);
}

void IParameter::AddDisplayText(int value, const char* text) {
    const int count = DisplayTextCount();
    const int bytes = (count + 1) * static_cast<int>(sizeof(DisplayText));
    mDisplayTexts.SetLength(bytes);
    if (mDisplayTexts.Length() != bytes) return;  // out of memory: the text is simply not added
    DisplayText* entry = reinterpret_cast<DisplayText*>(mDisplayTexts.Data()) + count;
    entry->value = value;
    CopyBounded(entry->text, text);
}

int IParameter::DisplayTextCount() const { return mDisplayTexts.Length() / static_cast<int>(sizeof(DisplayText)); }

const DisplayText* IParameter::DisplayTextAt(int i) const {
    if (i < 0 || i >= DisplayTextCount()) return nullptr;
    return reinterpret_cast<const DisplayText*>(mDisplayTexts.Data()) + i;
}

double IParameter::ValueToNormalized(double v) const {
    if (std::isnan(v)) v = mMinValue;
    v = v < mMinValue ? mMinValue : std::min(v, mMaxValue);
    const double range = mMaxValue - mMinValue;
    if (!(range > 0.0)) return 0.0;  // degenerate declaration: no 0/0
    return std::pow((v - mMinValue) / range, 1.0 / mShape);
}

void IParameter::SetFromNormalized(double x) { mValue = ValueForNormalized(x); }

double IParameter::ValueForNormalized(double x) const {
    // A host or editor may send anything; NaN is ignored and the rest is
    // held to 0..1 so the value stays inside the declared range.
    if (std::isnan(x)) return mValue;
    x = std::clamp(x, 0.0, 1.0);
    double v = std::pow(x, mShape) * (mMaxValue - mMinValue) + mMinValue;
    // Stepped kinds go to the nearest multiple of the step counted from 0
    // (not from the minimum); halves go up.
    if (mType != kParamDouble && mStep > 0.0) v = std::floor(v / mStep + 0.5) * mStep;
    return std::min(v, mMaxValue);
}

void IParameter::SetClamped(double v) {
    if (std::isnan(v)) v = 0.0;
    mValue = v < mMinValue ? mMinValue : std::min(v, mMaxValue);
}

const char* IParameter::DisplayTextFor(double v) const {
    const int count = DisplayTextCount();
    if (count == 0) return nullptr;
    // Compared as doubles: trunc(v) may be NaN or far outside int.
    const double key = std::trunc(v);
    for (int i = 0; i < count; ++i) {
        const DisplayText* entry = DisplayTextAt(i);
        if (static_cast<double>(entry->value) == key) return entry->text[0] ? entry->text : nullptr;
    }
    return nullptr;
}

int IParameter::FindDisplayText(const char* text) const {
    if (!text) return -1;
    const int count = DisplayTextCount();
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(DisplayTextAt(i)->text, text) == 0) return i;
    }
    return -1;
}

void IParameter::FormatValue(double v, bool isNormalized, char* out, std::size_t outSize, bool useDisplayTexts) const {
    if (!out || outSize == 0) return;
    // Not moved to the step and not clamped: this shows what v means.
    if (isNormalized) v = std::pow(v, mShape) * (mMaxValue - mMinValue) + mMinValue;
    if (useDisplayTexts) {
        if (const char* text = DisplayTextFor(v)) {
            CopyBounded(out, outSize, text);
            return;
        }
    }
    // "." for the point in every locale: hosts may have set one with a comma.
    // Precision 0 shows the value truncated toward zero, not rounded; + 0.0
    // turns the -0 of a small negative value into the "0" an integer shows.
    const std::string text = FormatFixed(mPrecision > 0 ? v : std::trunc(v) + 0.0, mPrecision);
    CopyBounded(out, outSize, text.c_str());
}

const char* IParameter::UnitText() const { return DisplayTextFor(mValue) ? "" : mLabel; }
