#include "ProgramDump.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "QORParams.h"

namespace ProgramDump
{
namespace
{

using namespace qorid;
namespace sx = SysexFamily;

// A whole byte with an offset code; W for a part's parameter, WV for a vocoder one.
constexpr Field W(int at, int id, int offset, int lock)
{
    return {uint16_t(at), int16_t(id), Coding::Offset, 0, 7, int16_t(offset), -1, int16_t(lock), false};
}
constexpr Field WV(int at, int id, int offset, int lock)
{
    return {uint16_t(at), int16_t(id), Coding::Offset, 0, 7, int16_t(offset), -1, int16_t(lock), true};
}
// A packed field of width bits from lowBit taking 0..maxValue; FV for a vocoder one.
constexpr Field F(int at, int id, int lowBit, int width, int maxValue, int lock)
{
    return {uint16_t(at),      int16_t(id),   Coding::Bits, int8_t(lowBit), int8_t(width), 0,
            int16_t(maxValue), int16_t(lock), false};
}
constexpr Field FV(int at, int id, int lowBit, int width, int maxValue, int lock)
{
    return {uint16_t(at),      int16_t(id),   Coding::Bits, int8_t(lowBit), int8_t(width), 0,
            int16_t(maxValue), int16_t(lock), true};
}

constexpr Field kFields[] = {
    WV(25, kVocoderBalance, 0, kSectionLockVocoder),
    W(26, kCategoryName, 0, kNoLock),
    W(27, kUnusedParam01, 0, kNoLock),
    W(28, kUnusedParam02, 0, kNoLock),
    W(30, kUnusedParam03, 0, kNoLock),
    W(31, kOscillator1Waveform, 0, kSectionLockOsc1),
    W(32, kOscillator1Octave, 30, kSectionLockOsc1),
    W(33, kOscillator1Semitone, 45, kSectionLockOsc1),
    W(34, kOscillator1Detune, 0, kSectionLockOsc1),
    W(35, kOscillator1BendRange, 52, kSectionLockOsc1),
    W(36, kOscillator1Keyfollow, 0, kSectionLockOsc1),
    W(37, kWheelosc1Pitch, 0, kSectionLockOsc1),
    W(38, kEnv2osc1Pitch, 0, kSectionLockEnv2),
    W(39, kEnv3osc1Pitch, 0, kSectionLockEnv3),
    W(40, kLFO1osc1Pitch, 0, kSectionLockLFO1),
    W(41, kLFO2osc1Pitch, 0, kSectionLockLFO2),
    W(42, kOscillator1MWLFO1amnt, 0, kSectionLockOsc1),
    W(43, kOscillator1ATLFO1amnt, 0, kSectionLockOsc1),
    W(44, kOscillator1SoftenLevel, 0, kSectionLockOsc1),
    W(45, kWheelosc1Soften, 0, kSectionLockOsc1),
    W(46, kEnv2osc1Soften, 0, kSectionLockEnv2),
    W(47, kEnv3osc1Soften, 0, kSectionLockEnv3),
    W(48, kLFO1osc1Soften, 0, kSectionLockLFO1),
    W(49, kLFO2osc1Soften, 0, kSectionLockLFO2),
    W(50, kOscillator1Pulsewidth, 0, kSectionLockOsc1),
    W(51, kWheelosc1Width, 0, kSectionLockOsc1),
    W(52, kEnv2osc1Width, 0, kSectionLockEnv2),
    W(53, kEnv3osc1Width, 0, kSectionLockEnv3),
    W(54, kLFO1osc1Width, 0, kSectionLockLFO1),
    W(55, kLFO2osc1Width, 0, kSectionLockLFO2),
    W(56, kOscillator1SyncLevel, 0, kSectionLockOsc1),
    W(57, kWheelosc1Sync, 0, kSectionLockOsc1),
    W(58, kEnv2osc1Sync, 0, kSectionLockEnv2),
    W(59, kEnv3osc1Sync, 0, kSectionLockEnv3),
    W(60, kLFO1osc1Sync, 0, kSectionLockLFO1),
    W(61, kLFO2osc1Sync, 0, kSectionLockLFO2),
    W(62, kOscillator1SyncKeyfollow, 0, kSectionLockOsc1),
    W(63, kOscillator1SyncSkew, 0, kSectionLockOsc1),
    W(64, kOscillator1FormantWidth, 0, kSectionLockOsc1),
    W(65, kOscillator2Waveform, 10, kSectionLockOsc2),
    W(66, kOscillator2Octave, 35, kSectionLockOsc2),
    W(67, kOscillator2Semitone, 70, kSectionLockOsc2),
    W(68, kOscillator2Detune, 0, kSectionLockOsc2),
    W(69, kOscillator2BendRange, 52, kSectionLockOsc2),
    W(70, kOscillator2Keyfollow, 0, kSectionLockOsc2),
    W(71, kWheelosc2Pitch, 0, kSectionLockOsc2),
    W(72, kEnv2osc2Pitch, 0, kSectionLockEnv2),
    W(73, kEnv3osc2Pitch, 0, kSectionLockEnv3),
    W(74, kLFO1osc2Pitch, 0, kSectionLockLFO1),
    W(75, kLFO2osc2Pitch, 0, kSectionLockLFO2),
    W(76, kOscillator2MWLFO1amnt, 0, kSectionLockOsc2),
    W(77, kOscillator2ATLFO1amnt, 0, kSectionLockOsc2),
    W(79, kWheelosc2Soften, 0, kSectionLockOsc2),
    W(80, kEnv2osc2Soften, 0, kSectionLockEnv2),
    W(81, kEnv3osc2Soften, 0, kSectionLockEnv3),
    W(82, kLFO1osc2Soften, 0, kSectionLockLFO1),
    W(83, kLFO2osc2Soften, 0, kSectionLockLFO2),
    W(84, kOscillator2Pulsewidth, 0, kSectionLockOsc2),
    W(85, kWheelosc2Width, 0, kSectionLockOsc2),
    W(86, kEnv2osc2Width, 0, kSectionLockEnv2),
    W(87, kEnv3osc2Width, 0, kSectionLockEnv3),
    W(88, kLFO1osc2Width, 0, kSectionLockLFO1),
    W(89, kLFO2osc2Width, 0, kSectionLockLFO2),
    W(90, kOscillator2SyncLevel, 0, kSectionLockOsc2),
    W(91, kWheelosc2Sync, 0, kSectionLockOsc2),
    W(92, kEnv2osc2Sync, 0, kSectionLockEnv2),
    W(93, kEnv3osc2Sync, 0, kSectionLockEnv3),
    W(94, kLFO1osc2Sync, 0, kSectionLockLFO1),
    W(95, kLFO2osc2Sync, 0, kSectionLockLFO2),
    W(96, kOscillator2SyncKeyfollow, 0, kSectionLockOsc2),
    W(97, kOscillator2SyncSkew, 0, kSectionLockOsc2),
    W(98, kOscillator2FormantWidth, 0, kSectionLockOsc2),
    W(99, kOscillator3Waveform, 20, kSectionLockOsc3),
    W(100, kOscillator3Octave, 40, kSectionLockOsc3),
    W(101, kOscillator3Semitone, 95, kSectionLockOsc3),
    W(102, kOscillator3Detune, 0, kSectionLockOsc3),
    W(103, kOscillator3BendRange, 52, kSectionLockOsc3),
    W(104, kOscillator3Keyfollow, 0, kSectionLockOsc3),
    W(105, kWheelosc3Pitch, 0, kSectionLockOsc3),
    W(106, kEnv2osc3Pitch, 0, kSectionLockEnv2),
    W(107, kEnv3osc3Pitch, 0, kSectionLockEnv3),
    W(108, kLFO1osc3Pitch, 0, kSectionLockLFO1),
    W(109, kLFO2osc3Pitch, 0, kSectionLockLFO2),
    W(110, kOscillator3MWLFO1amnt, 0, kSectionLockOsc3),
    W(111, kOscillator3ATLFO1amnt, 0, kSectionLockOsc3),
    W(113, kWheelosc3Soften, 0, kSectionLockOsc3),
    W(114, kEnv2osc3Soften, 0, kSectionLockEnv2),
    W(115, kEnv3osc3Soften, 0, kSectionLockEnv3),
    W(116, kLFO1osc3Soften, 0, kSectionLockLFO1),
    W(117, kLFO2osc3Soften, 0, kSectionLockLFO2),
    W(118, kOscillator3Pulsewidth, 0, kSectionLockOsc3),
    W(119, kWheelosc3Width, 0, kSectionLockOsc3),
    W(120, kEnv2osc3Width, 0, kSectionLockEnv2),
    W(121, kEnv3osc3Width, 0, kSectionLockEnv3),
    W(122, kLFO1osc3Width, 0, kSectionLockLFO1),
    W(123, kLFO2osc3Width, 0, kSectionLockLFO2),
    W(124, kOscillator3SyncLevel, 0, kSectionLockOsc3),
    W(125, kWheelosc3Sync, 0, kSectionLockOsc3),
    W(126, kEnv2osc3Sync, 0, kSectionLockEnv2),
    W(127, kEnv3osc3Sync, 0, kSectionLockEnv3),
    W(128, kLFO1osc3Sync, 0, kSectionLockLFO1),
    W(129, kLFO2osc3Sync, 0, kSectionLockLFO2),
    W(130, kOscillator3SyncKeyfollow, 0, kSectionLockOsc3),
    W(131, kOscillator3SyncSkew, 0, kSectionLockOsc3),
    W(132, kOscillator3FormantWidth, 0, kSectionLockOsc3),
    W(133, kOscillator1Level, 0, kSectionLockMixer),
    W(134, kWheelosc1Level, 0, kSectionLockMixer),
    W(135, kEnv2osc1Level, 0, kSectionLockEnv2),
    W(136, kEnv3osc1Level, 0, kSectionLockEnv3),
    W(137, kLFO1osc1Level, 0, kSectionLockLFO1),
    W(138, kLFO2osc1Level, 0, kSectionLockLFO2),
    W(139, kOscillator2Level, 0, kSectionLockMixer),
    W(140, kWheelosc2Level, 0, kSectionLockMixer),
    W(141, kEnv2osc2Level, 0, kSectionLockEnv2),
    W(142, kEnv3osc2Level, 0, kSectionLockEnv3),
    W(143, kLFO1osc2Level, 0, kSectionLockLFO1),
    W(144, kLFO2osc2Level, 0, kSectionLockLFO2),
    W(145, kOscillator3Level, 0, kSectionLockMixer),
    W(146, kWheelosc3Level, 0, kSectionLockMixer),
    W(147, kEnv2osc3Level, 0, kSectionLockEnv2),
    W(148, kEnv3osc3Level, 0, kSectionLockEnv3),
    W(149, kLFO1osc3Level, 0, kSectionLockLFO1),
    W(150, kLFO2osc3Level, 0, kSectionLockLFO2),
    W(151, kRing13Level, 0, kSectionLockMixer),
    W(152, kWheelring13Level, 0, kSectionLockMixer),
    W(153, kEnv2ring13Level, 0, kSectionLockEnv2),
    W(154, kEnv3ring13Level, 0, kSectionLockEnv3),
    W(155, kLFO1ring13Level, 0, kSectionLockLFO1),
    W(156, kLFO2ring13Level, 0, kSectionLockLFO2),
    W(157, kRing23Level, 0, kSectionLockMixer),
    W(158, kWheelring23Level, 0, kSectionLockMixer),
    W(159, kEnv2ring23Level, 0, kSectionLockEnv2),
    W(160, kEnv3ring23Level, 0, kSectionLockEnv3),
    W(161, kLFO1ring23Level, 0, kSectionLockLFO1),
    W(162, kLFO2ring23Level, 0, kSectionLockLFO2),
    W(163, kNoiseLevel, 0, kSectionLockMixer),
    W(164, kWheelnoiseLevel, 0, kSectionLockMixer),
    W(165, kEnv2noiseLevel, 0, kSectionLockEnv2),
    W(166, kEnv3noiseLevel, 0, kSectionLockEnv3),
    W(167, kLFO1noiseLevel, 0, kSectionLockLFO1),
    W(168, kLFO2noiseLevel, 0, kSectionLockLFO2),
    W(169, kLFO1Delay, 0, kSectionLockLFO1),
    W(170, kLFO1Waveform, 16, kSectionLockLFO1),
    W(171, kLFO1OffsetAmount, 0, kSectionLockLFO1),
    W(172, kLFO1Speed, 0, kSectionLockLFO1),
    W(173, kLFO1Env3SpeedMod, 0, kSectionLockLFO1),
    W(174, kLFO1MWhSpeedMod, 0, kSectionLockLFO1),
    W(175, kLFO1ATspeedMod, 0, kSectionLockLFO1),
    W(176, kLFO1Sync, 0, kSectionLockLFO1),
    W(177, kLFO1Triggering, 24, kSectionLockLFO1),
    W(178, kLFO1DelayTrigger, 124, kSectionLockLFO1),
    W(179, kLFO2Delay, 0, kSectionLockLFO2),
    W(180, kLFO2Waveform, 20, kSectionLockLFO2),
    W(181, kLFO2OffsetAmount, 0, kSectionLockLFO2),
    W(182, kLFO2Speed, 0, kSectionLockLFO2),
    W(183, kLFO2Env3SpeedMod, 0, kSectionLockLFO2),
    W(184, kLFO2MWhSpeedMod, 0, kSectionLockLFO2),
    W(185, kLFO2ATspeedMod, 0, kSectionLockLFO2),
    W(186, kLFO2Sync, 0, kSectionLockLFO2),
    W(187, kLFO2Triggering, 26, kSectionLockLFO2),
    W(188, kLFO2DelayTrigger, 126, kSectionLockLFO2),
    W(189, kLFO1Range, 28, kSectionLockLFO1),
    W(190, kLFO2Range, 31, kSectionLockLFO2),
    W(191, kEnv3Attack, 0, kSectionLockEnv3),
    W(192, kEnv3Decay, 0, kSectionLockEnv3),
    W(193, kEnv3Sustain, 0, kSectionLockEnv3),
    W(194, kEnv3Release, 0, kSectionLockEnv3),
    W(195, kEnv3Velocity, 0, kSectionLockEnv3),
    W(196, kEnv3Delay, 0, kSectionLockEnv3),
    W(197, kEnv2Attack, 0, kSectionLockEnv2),
    W(198, kEnv2Decay, 0, kSectionLockEnv2),
    W(199, kEnv2Sustain, 0, kSectionLockEnv2),
    W(200, kEnv2Release, 0, kSectionLockEnv2),
    W(201, kEnv2Velocity, 0, kSectionLockEnv2),
    W(202, kEnv2Delay, 0, kSectionLockEnv2),
    W(203, kEnv1Attack, 0, kSectionLockEnv1),
    W(204, kEnv1Decay, 0, kSectionLockEnv1),
    W(205, kEnv1Sustain, 0, kSectionLockEnv1),
    W(206, kEnv1Release, 0, kSectionLockEnv1),
    W(207, kEnv1Velocity, 0, kSectionLockEnv1),
    W(208, kEnv1MWheelAmnt, 0, kSectionLockEnv1),
    W(209, kEnv1ATouchAmnt, 0, kSectionLockEnv1),
    W(210, kNoiseSoftenLevel, 0, kSectionLockMixer),
    W(211, kWheelnoiseSoften, 0, kSectionLockMixer),
    W(212, kEnv2noiseSoften, 0, kSectionLockEnv2),
    W(213, kEnv3noiseSoften, 0, kSectionLockEnv3),
    W(214, kLFO1noiseSoften, 0, kSectionLockLFO1),
    W(215, kLFO2noiseSoften, 0, kSectionLockLFO2),
    W(216, kFilterType, 3, kSectionLockFilter),
    W(217, kFilterSlope, 0, kSectionLockFilter),
    F(218, kArpOutputRanging, 6, 1, 1, kSectionLockArp),
    F(218, kArpConstantPitch, 5, 1, 1, kSectionLockArp),
    FV(218, kVocoderSibilanceType, 4, 1, 1, kSectionLockVocoder),
    F(218, kDCOVCOMode, 3, 1, 1, kSectionLockVoice),
    F(218, kFilterWidth, 0, 3, 7, kSectionLockFilter),
    W(219, kFilterOverdrive, 0, kSectionLockFilter),
    W(220, kFilterCutoff, 0, kSectionLockFilter),
    W(221, kWheelfilterFreqAmnt, 0, kSectionLockFilter),
    W(222, kFilterFreqATamnt, 0, kSectionLockFilter),
    W(223, kEnv2filterFreqAmnt, 0, kSectionLockEnv2),
    W(224, kEnv3filterFreqAmnt, 0, kSectionLockEnv3),
    W(225, kLFO1filterFreqAmnt, 0, kSectionLockLFO1),
    W(226, kLFO2filterFreqAmnt, 0, kSectionLockLFO2),
    W(227, kFilterFreqMWLFO2amnt, 0, kSectionLockFilter),
    W(228, kFilterFreqATLFO2amnt, 0, kSectionLockFilter),
    W(229, kFilterKeytrack, 0, kSectionLockFilter),
    W(230, kFilterResonance, 0, kSectionLockFilter),
    W(231, kWheelfilterResoAmnt, 0, kSectionLockFilter),
    W(232, kFilterResoATamnt, 0, kSectionLockFilter),
    W(233, kEnv2filterResoAmnt, 0, kSectionLockEnv2),
    W(234, kEnv3filterResoAmnt, 0, kSectionLockEnv3),
    W(235, kLFO1filterResoAmnt, 0, kSectionLockLFO1),
    W(236, kLFO2filterResoAmnt, 0, kSectionLockLFO2),
    W(237, kFilterResoMWLFO2amnt, 0, kSectionLockFilter),
    W(238, kFilterResoATLFO2amnt, 0, kSectionLockFilter),
    W(239, kFilterQNormAmount, 0, kSectionLockFilter),
    W(240, kPortamento, 0, kSectionLockVoice),
    W(241, kGlideType, 42, kSectionLockVoice),
    W(242, kPortamentoType, 120, kSectionLockVoice),
    W(243, kPortamentoMode, 122, kSectionLockVoice),
    W(244, kEnvelopeTriggering, 34, kNoLock),
    W(245, kProgramLevel, 0, kSectionLockMixer),
    F(246, kConstantGate, 3, 1, 1, kSectionLockEnv1),
    F(246, kPolyMode, 1, 1, 1, kSectionLockVoice),
    F(246, kOscMode, 0, 1, 1, kSectionLockVoice),
    F(247, kUnisonSwitch, 5, 1, 1, kSectionLockVoice),
    F(247, kUnisonMode, 2, 1, 1, kSectionLockVoice),
    {247, kProgramPolyphony, Coding::Polyphony, 0, 2, 1, 1, kSectionLockVoice, false},
    W(248, kArpSpeed, 0, kSectionLockArp),
    W(249, kArpBank, 76, kSectionLockArp),
    W(250, kArpProgram, 0, kSectionLockArp),
    W(251, kArpVelocity, 86, kSectionLockArp),
    W(252, kArpKeySync, 74, kSectionLockArp),
    {253, kArpNoteOrdering, Coding::NoteOrdering, 1, 2, 0, 2, kSectionLockArp, false},
    {253, kArpFillIn, Coding::FillIn, 0, 1, 0, 1, kSectionLockArp, false},
    W(254, kArpQuantize, 81, kSectionLockArp),
    FV(255, kVocoderSibilanceLevel, 3, 4, 15, kSectionLockVocoder),
    {255, kArpOctaveRange, Coding::Bits, 0, 3, 1, 6, kSectionLockArp, false},
    W(256, kArpLatch, 0, kSectionLockArp),
    W(257, kArpLatchMode, 79, kSectionLockArp),
    F(258, kArpSendNotesTo, 5, 2, 3, kSectionLockArp),
    FV(258, kVocoderInput, 1, 4, 15, kSectionLockVocoder),
    F(258, kArpMuteStatus, 0, 1, 1, kSectionLockArp),
    W(259, kArpSwitch, 72, kSectionLockArp),
    W(260, kArpRealtimeTranspose, 92, kSectionLockArp),
    W(261, kArpSync, 1, kSectionLockArp),
    FV(262, kVocoderWidth, 2, 5, 31, kSectionLockVocoder),
    F(262, kArpGateMenu, 0, 2, 3, kSectionLockArp),
    W(263, kFXDistortionOverdrive, 0, kSectionLockFXDistortion),
    W(264, kFXDistortionOverdriveMW, 0, kSectionLockFXDistortion),
    W(265, kFXEQBass, 0, kSectionLockFXEQ),
    W(266, kFXEQTreble, 0, kSectionLockFXEQ),
    W(267, kFXCombFilterFrequency, 0, kSectionLockFXCombFilter),
    W(268, kFXCombFilterBoost, 0, kSectionLockFXCombFilter),
    W(269, kFXPanDryLevel, 0, kSectionLockFXPanning),
    W(270, kMultiPartPanning, 0, kSectionLockFXPanning),
    W(271, kFXPanSpeed, 0, kSectionLockFXPanning),
    W(272, kFXPanDepth, 0, kSectionLockFXPanning),
    W(273, kFXPanType, 55, kSectionLockFXPanning),
    W(274, kFXReverbSend, 0, kSectionLockFXReverb),
    W(275, kFXReverbMWheel, 0, kSectionLockFXReverb),
    W(276, kFXReverbDecay, 0, kSectionLockFXReverb),
    W(277, kFXReverbHFDamp, 0, kSectionLockFXReverb),
    F(278, kFXReverbRoom, 3, 4, 15, kSectionLockFXReverb),
    F(278, kFXReverbEarlyRef, 0, 3, 7, kSectionLockFXReverb),
    W(279, kFXChorusSend, 0, kSectionLockFXChorus),
    W(280, kFXChorusMWheel, 0, kSectionLockFXChorus),
    W(281, kFXChorusSpeed1, 0, kSectionLockFXChorus),
    W(282, kFXChorusModDepth, 0, kSectionLockFXChorus),
    W(283, kFXChorusFeedback, 0, kSectionLockFXChorus),
    F(284, kFXPassToFXConfig, 5, 2, 2, kNoLock),
    F(284, kFXPanWithFX, 4, 1, 1, kSectionLockFXPanning),
    F(284, kFXPassToFXAudio, 2, 2, 3, kNoLock),
    F(284, kFXChorusType, 0, 2, 3, kSectionLockFXChorus),
    W(285, kFXDelaySend, 0, kSectionLockFXDelay),
    W(286, kFXDelayMWheel, 0, kSectionLockFXDelay),
    W(287, kFXDelayTime, 0, kSectionLockFXDelay),
    W(288, kFXDelayFeedback, 0, kSectionLockFXDelay),
    W(289, kFXDelayHFDamp, 0, kSectionLockFXDelay),
    W(290, kFXDelayRatio, 96, kSectionLockFXDelay),
    W(291, kFXDelayStereoWidth, 0, kSectionLockFXDelay),
    W(292, kFXDelaySync, 0, kSectionLockFXDelay),
    W(293, kFXRoutingConfig, 0, kNoLock),
    W(294, kFXCMorph, 0, kNoLock),
};

constexpr size_t kFieldCount = sizeof kFields / sizeof kFields[0];

constexpr bool isReserved(size_t at)
{
    for (const Reserved& r : kReserved)
        if (r.at == at) return true;
    return false;
}

constexpr const PackedByte* packedAt(size_t at)
{
    for (const PackedByte& p : kPackedBytes)
        if (p.at == at) return &p;
    return nullptr;
}

// Every position from 25 to 294 carries fields or is reserved, never both, in ascending order.
constexpr bool coversEveryPosition()
{
    size_t i = 0;
    for (size_t at = kFirstParameterAt; at <= kLastParameterAt; ++at) {
        size_t n = 0;
        while (i < kFieldCount && kFields[i].at == at) ++i, ++n;
        if ((n == 0) != isReserved(at)) return false;
    }
    return i == kFieldCount;
}
static_assert(coversEveryPosition(), "each parameter byte is in the layout once, in order");

// A byte is one offset code, or packed fields that share no bit and whose largest values, over
// the byte's base, still make a data byte.
constexpr bool bytesFit()
{
    for (size_t i = 0; i < kFieldCount;) {
        const size_t at = kFields[i].at;
        const PackedByte* packed = packedAt(at);
        int used = 0, largest = packed ? packed->base : 0, n = 0;
        bool offsetCode = false;
        for (; i < kFieldCount && kFields[i].at == at; ++i, ++n) {
            const Field& f = kFields[i];
            if (f.coding == Coding::Offset) {
                offsetCode = true;
                continue;
            }
            const int bits = ((1 << f.width) - 1) << f.lowBit;
            if ((used & bits) || f.maxValue + f.offset >= (1 << f.width) || f.lowBit + f.width > 7) return false;
            used |= bits;
            largest += (f.maxValue + f.offset) << f.lowBit;
        }
        if (offsetCode ? n != 1 : (!packed || largest > 127)) return false;
    }
    return true;
}
static_assert(bytesFit(), "packed fields fit their byte and their bits");

constexpr int kSectionCount = 32;

using sx::dataByte;
using sx::wholeValue;

// The section index of a lock id, or -1 for none.
int sectionOf(int lock)
{
    if (lock < kSectionLockOsc1) return -1;
    const int s = (lock - kSectionLockOsc1) / kPartCount;
    return s < kSectionCount ? s : -1;
}

// A field's part of a packed byte, read back. A field at the top of the byte takes every bit
// above its lowest, so a stray high bit shows as a value out of range instead of vanishing.
int readBits(const Field& f, int byte, const PackedByte& packed)
{
    const bool top = f.lowBit + f.width == 7 && f.width > 1;
    if (packed.fromBase) {
        const int w = byte - packed.base;
        return (top ? w / (1 << f.lowBit) : (w % (1 << (f.lowBit + f.width))) / (1 << f.lowBit)) - f.offset;
    }
    return (top ? byte >> f.lowBit : (byte >> f.lowBit) & ((1 << f.width) - 1)) - f.offset;
}

// The code base of byte 253 under a byte: 126, 124 or 122 by its range, 0 below them.
int noteOrderBase(int byte)
{
    return byte >= 126 ? 126 : byte >= 124 ? 124 : byte >= 122 ? 122 : 0;
}

} // namespace

FieldList fields()
{
    return {kFields, kFieldCount};
}

const std::array<int, 3> kEnvelopeSwitchIds = {kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering};

std::array<int, 3> envelopeSwitches(int byte)
{
    const int t = (byte - kEnvelopeTriggeringOffset) & 0xFF;
    if (t > 7) return {1, 1, 1};
    return {(t >> 2) & 1, (t >> 1) & 1, t & 1};
}

std::array<uint8_t, kNameLength> nameBytes(const std::string& name)
{
    std::array<uint8_t, kNameLength> out;
    out.fill(' ');
    for (size_t i = 0; i < std::min(name.size(), kNameLength); ++i) {
        const uint8_t c = uint8_t(name[i]);
        // Below 20 hex a control character, from 80 hex no data byte: the synthesizer refuses both.
        out[i] = c < 0x20 || c >= sx::kFirstStatusByte ? ' ' : c;
    }
    return out;
}

void write(const ValueOf& value, int part, uint8_t model, const std::string& name, uint8_t* out)
{
    sx::frameDump(out, kSize, model, dataByte(wholeValue(value(kGlobalMidiChannel))), sx::kTypeProgramDump);
    out[kPartAt] = dataByte(part);
    const auto text = nameBytes(name);
    std::memcpy(out + kNameAt, text.data(), kNameLength);
    for (const Reserved& r : kReserved) out[r.at] = r.byte;
    for (const PackedByte& p : kPackedBytes) out[p.at] = p.base;
    for (const Field& f : kFields) {
        const int v = wholeValue(value(idFor(f, part)));
        if (f.coding == Coding::Offset)
            out[f.at] = dataByte(v + f.offset);
        else
            out[f.at] = uint8_t(out[f.at] + ((std::clamp(v, 0, int(f.maxValue)) + f.offset) << f.lowBit));
    }
}

bool isProgramDump(const uint8_t* bytes, size_t size)
{
    return bytes && size >= kSize && bytes[1] == sx::kMakerId[0] && bytes[2] == sx::kMakerId[1] &&
           bytes[sx::kTypeAt] == sx::kTypeProgramDump && bytes[kPartAt] < kParts;
}

std::string nameOf(const uint8_t* bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes + kNameAt), kNameLength);
}

Locks::Locks(const ValueOf& value, int part)
{
    for (int s = 0; s < kSectionCount; ++s) {
        const int id = kSectionLockOsc1 + s * kPartCount;
        if (id > kSectionLockVocoder) break;
        mLocked[size_t(s)] = value(id + part) == 1.0;
    }
}

bool Locks::locked(int lock) const
{
    const int s = sectionOf(lock);
    return s >= 0 && mLocked[size_t(s)];
}

void readParameters(const uint8_t* bytes, int part, const Locks& locks, const SetValue& set)
{
    for (const Field& f : kFields) {
        const int byte = bytes[f.at];
        const bool locked = locks.locked(f.lock);
        const PackedByte* packed = packedAt(f.at);
        switch (f.coding) {
        case Coding::Offset:
            if (!locked) set(idFor(f, part), byte - f.offset);
            if (f.at == kEnvelopeTriggeringAt) {
                for (int id : kEnvelopeSwitchIds) set(id + part, 1);
                const auto on = envelopeSwitches(byte);
                for (size_t k = 0; k < on.size(); ++k)
                    if (!on[k]) set(kEnvelopeSwitchIds[k] + part, 0);
            }
            break;
        case Coding::Bits:
            if (!locked) set(idFor(f, part), readBits(f, byte, *packed));
            break;
        case Coding::Polyphony:
            if (!locked) set(idFor(f, part), byte & 1 ? 0 : 1);
            break;
        case Coding::NoteOrdering:
            // Below the codes the byte says nothing of the ordering.
            if (!locked && noteOrderBase(byte) > 0) set(idFor(f, part), (noteOrderBase(byte) - packed->base) / 2);
            break;
        case Coding::FillIn:
            if (!locked) set(idFor(f, part), byte - noteOrderBase(byte));
            break;
        }
    }
}

// ---- the tap-pattern code ----

namespace
{
constexpr int kDigitBase = 24;
constexpr int kDigitsPerWord = 5;
constexpr int kWords = 3;
} // namespace

void encodeTapPattern(const int8_t* steps, uint8_t* code)
{
    uint32_t word[kWords];
    for (int w = 0; w < kWords; ++w) {
        int32_t v = 0;
        for (int k = 0; k < kDigitsPerWord; ++k) {
            const int pair = 2 * (w * kDigitsPerWord + k);
            v = v * kDigitBase + (steps[pair] + 8 * steps[pair + 1]);
        }
        word[w] = uint32_t(v);
    }
    const uint32_t a = word[0], b = word[1], c = word[2];
    const uint32_t bytes[10] = {
        a, a >> 7, a >> 14, (a >> 21 & 3) | b << 2, b >> 5, b >> 12, (b >> 19 & 15) | c << 4, c >> 3, c >> 10, c >> 17};
    for (int i = 0; i < 10; ++i) code[i] = uint8_t(bytes[i] & 0x7F);
    code[10] = uint8_t(((steps[30] + 8 * steps[31]) & 0x7F) | ((4 * steps[32]) & 0x60));
}

void decodeTapPattern(const uint8_t* code, int8_t* steps)
{
    const uint32_t word[kWords] = {
        uint32_t(code[0]) | uint32_t(code[1]) << 7 | uint32_t(code[2]) << 14 | uint32_t(code[3] & 3) << 21,
        uint32_t(code[3]) >> 2 | uint32_t(code[4]) << 5 | uint32_t(code[5]) << 12 | uint32_t(code[6] & 15) << 19,
        uint32_t(code[6]) >> 4 | uint32_t(code[7]) << 3 | uint32_t(code[8]) << 10 | uint32_t(code[9]) << 17};
    for (int w = 0; w < kWords; ++w) {
        uint32_t v = word[w];
        for (int k = kDigitsPerWord - 1; k >= 0; --k) {
            const int digit = int(v % kDigitBase);
            v /= kDigitBase;
            const int pair = 2 * (w * kDigitsPerWord + k);
            steps[pair] = int8_t(digit & 7);
            steps[pair + 1] = int8_t(digit >> 3);
        }
    }
    const int last = code[10];
    steps[30] = int8_t(last & 7);
    const int e31 = (last >> 3) & 3;
    steps[31] = int8_t(e31 == 3 ? 0 : e31);
    steps[32] = int8_t((last >> 2) & 24);
}

} // namespace ProgramDump
