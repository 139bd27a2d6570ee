#pragma once
// The stand-in host: loads a plug-in bundle, opens instances of its component through the
// exported entry point and drives them the way an audio workstation would.
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

struct HostTransport {
    double tempo = 0.0; // 0: the host reports no tempo
    double beat = 0.0;
    double samplePos = 0.0;
    bool playing = false;
    bool changed = false;
    bool cycling = false;
    double cycleStart = 0.0, cycleEnd = 0.0;
    float numerator = 4.0f;
    unsigned denominator = 4;
    double downBeat = 0.0;
};

class Host {
public:
    explicit Host(FILE* out) : mOut(out) {}
    // Puts standard output behind a stream that notes whether a line is open, so that each
    // result printed there starts on a fresh line whatever the plug-in printed before it.
    static void TrackStdoutLines();
    ~Host();

    // Loads Contents/MacOS/<executable> of the bundle and reads its component description.
    bool Load(const std::string& bundlePath);
    void PrintIdentity();
    // One script line; false for an unknown command (reported, and the script goes on).
    bool Run(const std::string& line);
    // Closes the editor and every instance but the first, and forgets what earlier lines left
    // in the host: saved class information, counts, the transport, the current slot, and the
    // answers queued for alerts, panels and menus with what was shown. For running many scripts
    // on one instance, whose opening costs far more than a script.
    void ForgetAllButFirstInstance();

    // The words after a command, read as numbers, property scopes or text; missing ones give
    // the default.
    struct Args {
        std::vector<std::string> w;
        std::string rest; // everything after the command word, blanks inside kept
        size_t size() const { return w.size(); }
        double Num(size_t i, double def = 0.0) const;
        // A number as an int, held to the int range (a script may say 1e30; not a number: def).
        int Int(size_t i, int def = 0) const;
        UInt32 U32(size_t i, unsigned long def = 0) const;
        AudioUnitScope Scope(size_t i) const; // global when missing
        const char* Word(size_t i, const char* def = "") const { return i < w.size() ? w[i].c_str() : def; }
    };
    // One script command; `help` prints the table.
    struct Command {
        const char* name;
        const char* usage;
        bool needsUnit;
        void (*run)(Host& h, const std::string& cmd, const Args& a);
    };

    HostTransport transport;

private:
    AudioUnit Unit() const { return mUnits[size_t(mCurrent)]; }
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Render(int frames, double sampleTime, bool nullData, unsigned bus);
    static const std::vector<Command>& Commands();
    static void RenderCommand(Host& h, const std::string& cmd, const Args& a);
    static void EditSavedKey(Host& h, const std::string& cmd, const Args& a);
    // Property get, info and set, class information and connections (props.cpp).
    static std::vector<Command> PropertyCommands();
    // The editor window, events, the virtual clock and screenshots (editor.cpp).
    static std::vector<Command> EditorCommands();
    void CloseEditor();
    // Answers queued for alerts, panels and menus, and what the presenter recorded as shown.
    static void ForgetPresented();
    // A surface pixel as a point of the host window.
    bool EditorPoint(const Args& a, double* x, double* y) const;
    void SendMouse(unsigned long type, double x, double y, unsigned long flags, long clicks);
    void SendKey(const std::string& chars, unsigned short code, unsigned long flags);
    void PrintPropertyValue(AudioUnitPropertyID id, const void* data, UInt32 size);

    static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                              UInt32 bus, UInt32 frames, AudioBufferList* data);
    static OSStatus NotifyProc(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                               UInt32 bus, UInt32 frames, AudioBufferList* data);
    static void ListenerProc(void* refCon, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                             AudioUnitElement element);
    static OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo);
    static OSStatus MusicalTime(void* user, UInt32* offset, Float32* num, UInt32* den, Float64* downBeat);
    static OSStatus TransportState(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                                   Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);

    FILE* mOut;
    void* mLib = nullptr;
    std::string mBundlePath, mIdentifier, mName;
    ComponentDescription mDesc{};
    ComponentRoutineUPP mEntry = nullptr;
    ComponentRoutineUPP mViewEntry = nullptr;
    Component mComponent = nullptr;
    Component mViewComponent = nullptr;
    std::vector<AudioUnit> mUnits = std::vector<AudioUnit>(4, nullptr);
    int mCurrent = 0;
    std::vector<CFPropertyListRef> mSavedStates = std::vector<CFPropertyListRef>(4, nullptr);

    float mInputValue = 0.0f;
    int mPulls = 0;
    std::vector<unsigned> mNotifyFlags;
    std::map<unsigned, int> mListenerCalls;
    double mSampleTime = 0.0;

    // The Carbon route (editor.cpp): the window, the open view component and the editor's pane.
    void CloseCarbonEditor();
    void SendCarbonMouse(UInt32 kind, double x, double y, UInt32 modifiers, UInt16 button, UInt32 clicks);
    // The answer of the handlers: noErr when kept.
    OSStatus SendCarbonKey(char c, UInt32 code, UInt32 modifiers);
    struct OpaqueWindowPtr* mCarbonWindow = nullptr;
    ComponentInstance mCarbonView = nullptr;
    struct OpaqueControlRef* mCarbonPane = nullptr;

    class NSWindow* mWindow = nullptr; // the host window of the open editor
    class NSView* mEditorView = nullptr; // retained while open
};
