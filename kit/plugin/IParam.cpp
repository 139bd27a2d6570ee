#include "kit/plugin/IParam.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies at most size - 1 characters and always terminates; null reads as "".
void CopyBounded(char* dst, const char* src, size_t size)
{
    if (!src) src = "";
    size_t n = std::strlen(src);
    if (n > size - 1) n = size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// Truncation towards zero that never leaves the int range (a plain cast would be undefined).
bool TruncToInt(double v, int* out)
{
    if (!(v > double(INT_MIN) - 1.0 && v < double(INT_MAX) + 1.0)) return false;
    *out = int(v);
    return true;
}

// x to the power 1 is x itself, bit for bit; the linear shape most parameters keep skips the call,
// which dominates a walk of the whole table (a state restore redraws every parameter).
double Shaped(double x, double power)
{
    return power == 1.0 ? x : std::pow(x, power);
}

} // namespace

void IParam::InitCommon(const char* paramName, const char* unitLabel, const char* paramGroup, int a, int b)
{
    CopyBounded(name, paramName, sizeof name);
    CopyBounded(label, unitLabel, sizeof label);
    CopyBounded(group, paramGroup, sizeof group);
    initArg1 = a;
    initArg2 = b;
}

void IParam::InitText()
{
    type = kTypeText;
}

void IParam::InitBool(const char* paramName, bool defaultVal, const char* unitLabel, const char* paramGroup, int a, int b)
{
    if (type == kTypeNone) type = kTypeBool;
    InitCommon(paramName, unitLabel, paramGroup, a, b);
    value = defaultValue = defaultVal ? 1.0 : 0.0;
    min = 0.0;
    step = 1.0;
    displayPrecision = 0;
    SetDisplayText(0, "off");
    SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* paramName, int defaultVal, int nEnums, const char* unitLabel,
                      const char* paramGroup, int a, int b)
{
    if (type == kTypeNone) type = kTypeEnum;
    InitCommon(paramName, unitLabel, paramGroup, a, b);
    value = defaultValue = double(defaultVal);
    min = 0.0;
    double top = double(nEnums) - 1.0;
    max = top > 1.0 ? top : 1.0;
    step = 1.0;
    displayPrecision = 0;
}

void IParam::InitInt(const char* paramName, int defaultVal, int minVal, int maxVal, const char* unitLabel,
                     const char* paramGroup, int a, int b)
{
    if (type == kTypeNone) type = kTypeInt;
    InitCommon(paramName, unitLabel, paramGroup, a, b);
    value = defaultValue = double(defaultVal);
    min = double(minVal);
    double lowest = double(minVal) + 1.0;
    max = double(maxVal) > lowest ? double(maxVal) : lowest;
    step = 1.0;
    displayPrecision = 0;
}

void IParam::InitDouble(const char* paramName, double defaultVal, double minVal, double maxVal, double stepSize,
                        const char* unitLabel, const char* paramGroup, int a, int b)
{
    if (type == kTypeNone) type = kTypeDouble;
    InitCommon(paramName, unitLabel, paramGroup, a, b);
    value = defaultValue = defaultVal;
    min = minVal;
    double lowest = minVal + stepSize;
    max = maxVal > lowest ? maxVal : lowest;
    step = stepSize;

    // Decimals needed to show one step exactly, 6 when five are not enough.
    if (stepSize == std::floor(stepSize)) {
        displayPrecision = 0;
    } else {
        displayPrecision = 6;
        double s = stepSize;
        for (int k = 1; k <= 5; ++k) {
            s *= 10.0;
            if (s == std::floor(s)) {
                displayPrecision = k;
                break;
            }
        }
    }
}

void IParam::SetShape(double newShape)
{
    if (newShape != 0.0) shape = newShape;
}

void IParam::ResetDisplayTexts()
{
    std::lock_guard<std::mutex> lock(mDisplayTextLock);
    displayTexts.Resize(0);
}

void IParam::SetDisplayText(int value, const char* text)
{
    std::lock_guard<std::mutex> lock(mDisplayTextLock);
    int n = displayTexts.GetSize();
    if (value < 0 || value > n) return;
    if (value == n) {
        if (!displayTexts.Resize(n + 1, false)) return;
        max = double(value);
    }
    DisplayText* entry = displayTexts.Get() + value;
    entry->value = value;
    CopyBounded(entry->text, text, sizeof entry->text);
}

const IParam::DisplayText* IParam::FindDisplayText(int v) const
{
    const DisplayText* list = displayTexts.Get();
    for (int i = 0, n = displayTexts.GetSize(); i < n; ++i)
        if (list[i].value == v) return list + i;
    return nullptr;
}

const char* IParam::GetDisplayText(int value) const
{
    const DisplayText* entry = FindDisplayText(value);
    return entry ? entry->text : "";
}

std::string IParam::CopyDisplayText(int value) const
{
    std::lock_guard<std::mutex> lock(mDisplayTextLock);
    const DisplayText* entry = FindDisplayText(value);
    return entry ? std::string(entry->text) : std::string();
}

const char* IParam::GetDisplayTextAtIdx(int index, int* value) const
{
    if (index < 0 || index >= displayTexts.GetSize()) return "";
    const DisplayText* entry = displayTexts.Get() + index;
    if (value) *value = entry->value;
    return entry->text;
}

bool IParam::MapDisplayText(const char* text, int* value) const
{
    if (!text) return false;
    std::lock_guard<std::mutex> lock(mDisplayTextLock);
    const DisplayText* list = displayTexts.Get();
    for (int i = 0, n = displayTexts.GetSize(); i < n; ++i) {
        if (std::strcmp(list[i].text, text) == 0) {
            if (value) *value = list[i].value;
            return true;
        }
    }
    return false;
}

void IParam::SetNormalized(double normalized)
{
    double v = min + (max - min) * Shaped(normalized, shape);
    if (type != kTypeDouble && step > 0.0) v = step * std::floor(v / step + 0.5);
    // No lower clamp: callers rely on a rounded value below min staying there.
    if (v > max || std::isnan(v)) v = max;
    value = v;
}

double IParam::GetNormalized(double v) const
{
    double range = max - min;
    if (!(range > 0.0)) return 0.0; // an empty range has one position
    double c = v < min ? min : (v < max ? v : max);
    return Shaped((c - min) / range, 1.0 / shape);
}

void IParam::GetBounds(double* minVal, double* maxVal) const
{
    if (minVal) *minVal = min;
    if (maxVal) *maxVal = max;
}

double IParam::DBToAmp() const
{
    return std::exp(value * 0.1151292546497);
}

int IParam::Int() const
{
    int i = 0;
    double v = value;
    return TruncToInt(v, &i) ? i : (v < 0.0 ? INT_MIN : INT_MAX);
}

const char* IParam::GetLabelForHost() const
{
    int i = 0;
    std::lock_guard<std::mutex> lock(mDisplayTextLock);
    if (TruncToInt(value, &i)) {
        const DisplayText* entry = FindDisplayText(i);
        if (entry && entry->text[0]) return "";
    }
    return label;
}

void IParam::GetDisplayForHost(double v, bool normalized, char* out, bool withDisplayText) const
{
    if (normalized) v = min + (max - min) * std::pow(v, shape);
    int whole = 0;
    bool fits = TruncToInt(v, &whole);
    if (withDisplayText && fits) {
        std::lock_guard<std::mutex> lock(mDisplayTextLock);
        const DisplayText* entry = FindDisplayText(whole);
        if (entry && entry->text[0]) {
            CopyBounded(out, entry->text, kDisplayTextLen);
            return;
        }
    }
    if (displayPrecision == 0) {
        if (fits) std::snprintf(out, kDisplayTextLen, "%d", whole);
        else std::snprintf(out, kDisplayTextLen, "%.0f", std::trunc(v));
    } else {
        std::snprintf(out, kDisplayTextLen, "%.*f", displayPrecision, v);
    }
}
