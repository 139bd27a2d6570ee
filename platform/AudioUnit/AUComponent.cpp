#include "AudioUnit.h"

namespace {

template <class T> intptr_t P(T* p) { return reinterpret_cast<intptr_t>(p); }
template <class T> intptr_t P(const T* p) { return reinterpret_cast<intptr_t>(p); }
intptr_t U(UInt32 v) { return intptr_t(v); }

template <size_t N> OSStatus Call(AudioUnit unit, SInt16 what, const intptr_t (&args)[N])
{
    return CallComponent(unit, what, int(N), args);
}

} // namespace

OSStatus AudioUnitInitialize(AudioUnit inUnit)
{
    return CallComponent(inUnit, kAudioUnitInitializeSelect, 0, nullptr);
}

OSStatus AudioUnitUninitialize(AudioUnit inUnit)
{
    return CallComponent(inUnit, kAudioUnitUninitializeSelect, 0, nullptr);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                  AudioUnitElement inElement, UInt32* outDataSize, Boolean* outWritable)
{
    return Call(inUnit, kAudioUnitGetPropertyInfoSelect, {U(inID), U(inScope), U(inElement), P(outDataSize), P(outWritable)});
}

OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize)
{
    return Call(inUnit, kAudioUnitGetPropertySelect, {U(inID), U(inScope), U(inElement), P(outData), P(ioDataSize)});
}

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize)
{
    return Call(inUnit, kAudioUnitSetPropertySelect, {U(inID), U(inScope), U(inElement), P(inData), U(inDataSize)});
}

OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc inProc, void* inProcUserData)
{
    return Call(inUnit, kAudioUnitAddPropertyListenerSelect,
                {U(inID), reinterpret_cast<intptr_t>(inProc), P(inProcUserData)});
}

OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                         AudioUnitPropertyListenerProc inProc)
{
    return Call(inUnit, kAudioUnitRemovePropertyListenerSelect, {U(inID), reinterpret_cast<intptr_t>(inProc)});
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitPropertyListenerProc inProc, void* inProcUserData)
{
    return Call(inUnit, kAudioUnitRemovePropertyListenerWithUserDataSelect,
                {U(inID), reinterpret_cast<intptr_t>(inProc), P(inProcUserData)});
}

OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData)
{
    return Call(inUnit, kAudioUnitAddRenderNotifySelect, {reinterpret_cast<intptr_t>(inProc), P(inProcUserData)});
}

OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData)
{
    return Call(inUnit, kAudioUnitRemoveRenderNotifySelect, {reinterpret_cast<intptr_t>(inProc), P(inProcUserData)});
}

OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue)
{
    return Call(inUnit, kAudioUnitGetParameterSelect, {U(inID), U(inScope), U(inElement), P(outValue)});
}

OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames)
{
    return Call(inUnit, kAudioUnitSetParameterSelect,
                {U(inID), U(inScope), U(inElement), AUFloatArg(inValue), U(inBufferOffsetInFrames)});
}

OSStatus AudioUnitScheduleParameters(AudioUnit inUnit, const AudioUnitParameterEvent* inParameterEvent,
                                     UInt32 inNumParamEvents)
{
    return Call(inUnit, kAudioUnitScheduleParametersSelect, {P(inParameterEvent), U(inNumParamEvents)});
}

OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                         AudioBufferList* ioData)
{
    return Call(inUnit, kAudioUnitRenderSelect,
                {P(ioActionFlags), P(inTimeStamp), U(inOutputBusNumber), U(inNumberFrames), P(ioData)});
}

OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement)
{
    return Call(inUnit, kAudioUnitResetSelect, {U(inScope), U(inElement)});
}

OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent inUnit, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                              UInt32 inOffsetSampleFrame)
{
    return Call(inUnit, kMusicDeviceMIDIEventSelect, {U(inStatus), U(inData1), U(inData2), U(inOffsetSampleFrame)});
}

OSStatus MusicDeviceSysEx(MusicDeviceComponent inUnit, const UInt8* inData, UInt32 inLength)
{
    return Call(inUnit, kMusicDeviceSysExSelect, {P(inData), U(inLength)});
}

OSStatus MusicDeviceStartNote(MusicDeviceComponent inUnit, MusicDeviceInstrumentID inInstrument,
                              MusicDeviceGroupID inGroupID, NoteInstanceID* outNoteInstanceID,
                              UInt32 inOffsetSampleFrame, const MusicDeviceNoteParams* inParams)
{
    return Call(inUnit, kMusicDeviceStartNoteSelect,
                {U(inInstrument), U(inGroupID), P(outNoteInstanceID), U(inOffsetSampleFrame), P(inParams)});
}

OSStatus MusicDeviceStopNote(MusicDeviceComponent inUnit, MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                             UInt32 inOffsetSampleFrame)
{
    return Call(inUnit, kMusicDeviceStopNoteSelect, {U(inGroupID), U(inNoteInstanceID), U(inOffsetSampleFrame)});
}

OSStatus AudioUnitCarbonViewCreate(AudioUnitCarbonView inView, AudioUnit inAudioUnit, WindowRef inWindow,
                                   ControlRef inParentControl, const Float32Point* inLocation,
                                   const Float32Point* inSize, ControlRef* outControl)
{
    return Call(inView, kAudioUnitCarbonViewCreateSelect,
                {P(inAudioUnit), P(inWindow), P(inParentControl), P(inLocation), P(inSize), P(outControl)});
}
