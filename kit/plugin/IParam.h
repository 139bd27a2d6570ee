#pragma once
// One plug-in parameter: kind, plain value, range, step, shape, names and the words that
// display its values. Controls talk in normalized values (0..1); only the parameter holds the
// plain value.
#include <mutex>
#include <string>

#include "kit/heapbuf.h"

struct ControlAction;

namespace plugatomic {

// A value that one thread writes while others read it, with no ordering beyond the value
// itself. It stays a plain, trivially copyable record so that existing readers keep working;
// copying one record into another is refused, since that would be a plain racy copy.
template <class T> struct Relaxed {
    T v;
    operator T() const
    {
        T out;
        __atomic_load(&v, &out, __ATOMIC_RELAXED);
        return out;
    }
    Relaxed& operator=(T x)
    {
        __atomic_store(&v, &x, __ATOMIC_RELAXED);
        return *this;
    }
    Relaxed& operator=(const Relaxed&) = delete;
};

} // namespace plugatomic

class IParam {
public:
    enum EParamType { kTypeNone = 0, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble, kTypeText };

    enum { kNameLen = 55, kDisplayTextLen = 56 };

    IParam() = default;
    ~IParam() = default;
    IParam(const IParam&) = delete;
    IParam& operator=(const IParam&) = delete;

    // Initialisation. The kind is set only while it is still none, so a text parameter keeps
    // its kind when a later call gives it a range. Defaults are not clamped into the range.
    void InitText();
    void InitBool(const char* paramName, bool defaultVal, const char* unitLabel = "", const char* paramGroup = "",
                  int a = -1, int b = -1);
    void InitEnum(const char* paramName, int defaultVal, int nEnums, const char* unitLabel = "",
                  const char* paramGroup = "", int a = -1, int b = -1);
    void InitInt(const char* paramName, int defaultVal, int minVal, int maxVal, const char* unitLabel = "",
                 const char* paramGroup = "", int a = -1, int b = -1);
    void InitDouble(const char* paramName, double defaultVal, double minVal, double maxVal, double step,
                    const char* unitLabel = "", const char* paramGroup = "", int a = -1, int b = -1);

    // 0 is ignored: it would make the inverse mapping divide by zero.
    void SetShape(double newShape);
    double GetShape() const { return shape; }

    // Display texts are read from more than one thread; a small lock of their own guards each
    // copy in or out. The pointer getters below are for the thread that sets the texts.

    // The word for value; words are added for 0, 1, 2... in order, each new one raising max
    // to its value. A negative value, or one past the next free index, is ignored. Texts are
    // cut to 55 characters.
    void SetDisplayText(int value, const char* text);
    void ResetDisplayTexts();
    int GetNDisplayTexts() const { return displayTexts.GetSize(); }
    // "" when no entry has that value.
    const char* GetDisplayText(int value) const;
    // A copy of the word for value ("" when none), safe on any thread.
    std::string CopyDisplayText(int value) const;
    // "" (value untouched) for an index outside the list.
    const char* GetDisplayTextAtIdx(int index, int* value = nullptr) const;
    bool MapDisplayText(const char* text, int* value) const;

    void SetNormalized(double normalized);
    double GetNormalized() const { return GetNormalized(value); }
    double GetNormalized(double v) const;
    void GetBounds(double* minVal, double* maxVal) const;
    double DBToAmp() const;

    const char* GetNameForHost() const { return name; }
    const char* GetLabelForHost() const;
    const char* GetParamGroupForHost() const { return group; }
    // out must hold kDisplayTextLen characters.
    void GetDisplayForHost(double v, bool normalized, char* out, bool withDisplayText = true) const;
    void GetDisplayForHost(char* out, bool withDisplayText = true) const
    {
        GetDisplayForHost(value, false, out, withDisplayText);
    }

    int Type() const { return type; }
    double Value() const { return value; }
    void Set(double v) { value = v; }
    bool Bool() const { return value >= 0.5; }
    int Int() const;
    double GetMin() const { return min; }
    double GetMax() const { return max; }
    double GetStep() const { return step; }
    double GetDefault() const { return defaultValue; }
    int GetPrecision() const { return displayPrecision; }
    void GetInitArgs(int* a, int* b) const { *a = initArg1; *b = initArg2; }
    bool GetCanAutomate() const { return canAutomate; }
    bool GetIsMeta() const { return isMeta; }
    void SetIsMeta(bool meta) { isMeta = meta; }
    bool GetNegateDisplay() const { return negateDisplay; }

    // The configuration makes and frees the action; the parameter only points at it.
    ControlAction* GetControlAction() const { return controlAction; }
    void SetControlAction(ControlAction* action) { controlAction = action; }

    struct DisplayText {
        int value;
        char text[kDisplayTextLen];
    };

private:
    void InitCommon(const char* paramName, const char* unitLabel, const char* paramGroup, int a, int b);
    const DisplayText* FindDisplayText(int v) const;

public:
    // Plain fields: the plug-in base and the editor surface assign value directly. The value is
    // written from the MIDI input thread while the editor reads it.
    int type = kTypeNone;
    plugatomic::Relaxed<double> value{0.0};
    double min = 0.0;
    double max = 1.0;
    double step = 1.0;
    double shape = 1.0;
    double defaultValue = 0.0;
    int initArg1 = 0, initArg2 = 0;
    int displayPrecision = 0;
    char name[kNameLen] = {};
    char label[kNameLen] = {};
    char group[kNameLen] = {};
    bool negateDisplay = false;
    bool canAutomate = true;
    bool isMeta = false;
    KIT_TypedBuf<DisplayText> displayTexts{256};
    mutable std::mutex mDisplayTextLock;
    // Borrowed: the configuration manager owns every action it makes and frees it in its destructor.
    ControlAction* controlAction = nullptr;
};
