#include "chart.h"

namespace synthsim
{

namespace
{

// Where a value goes: dump, position, placing, bits, offset.
struct To {
    Dump dump;
    int pos;
    Place place;
    int shift, width, offset;
};

To prog(int pos, int offset = 0)
{
    return {Dump::Program, pos, Place::Byte, 0, 8, offset};
}
To progBits(int pos, int shift, int width, int offset = 0)
{
    return {Dump::Program, pos, Place::Field, shift, width, offset};
}
To block(int at, int offset = 0)
{
    return {Dump::PartBlock, at, Place::Byte, 0, 8, offset};
}
To blockBits(int at, int shift, int width, int offset = 0)
{
    return {Dump::PartBlock, at, Place::Field, shift, width, offset};
}
To blockNotBit(int at, int bit)
{
    return {Dump::PartBlock, at, Place::InvertedBit, bit, 1, 0};
}
To perf(int pos)
{
    return {Dump::Performance, pos, Place::Byte, 0, 8, 0};
}
To g1(int pos, int offset = 0)
{
    return {Dump::Global1, pos, Place::Byte, 0, 8, offset};
}
To g2(int pos, int offset = 0)
{
    return {Dump::Global2, pos, Place::Byte, 0, 8, offset};
}
To g2Bits(int pos, int shift, int width)
{
    return {Dump::Global2, pos, Place::Field, shift, width, 0};
}
To g2NotBit(int pos, int bit)
{
    return {Dump::Global2, pos, Place::InvertedBit, bit, 1, 0};
}
To nowhere()
{
    return {Dump::None, 0, Place::Byte, 0, 8, 0};
}

ChartRow make(const char* name, Via via, int a, int b, int dlo, int dhi, int lo, int hi, const To& t)
{
    return ChartRow{name,
                    via,
                    uint8_t(a),
                    uint8_t(b),
                    uint8_t(dlo),
                    uint8_t(dhi),
                    uint8_t(lo),
                    uint8_t(hi),
                    false,
                    Wire::Plain,
                    Fx::Any,
                    t.dump,
                    uint16_t(t.pos),
                    t.place,
                    uint8_t(t.shift),
                    uint8_t(t.width),
                    int16_t(t.offset)};
}

// Data = value on a controller.
ChartRow cc(int num, const char* name, int hi, const To& t)
{
    return make(name, Via::CC, num, 0, 0, hi, 0, hi, t);
}
// Data = base + value on controller 6 under the number MSB/LSB.
ChartRow nrpn(int msb, int lsb, int base, const char* name, int lo, int hi, const To& t)
{
    return make(name, Via::NRPN, msb, lsb, base + lo, base + hi, lo, hi, t);
}
// The value as the data byte of F0 3E 0F device type part parameter value F7.
ChartRow sx(int type, int param, const char* name, int hi, const To& t)
{
    return make(name, Via::SysEx, type, param, 0, hi, 0, hi, t);
}

ChartRow global(ChartRow r)
{
    r.global = true;
    return r;
}
ChartRow fxProgram(ChartRow r)
{
    r.fx = Fx::Program;
    return r;
}
ChartRow fxPerformance(ChartRow r)
{
    r.fx = Fx::Performance;
    return r;
}
ChartRow wire(ChartRow r, Wire w, int dlo = -1, int dhi = -1)
{
    r.wire = w;
    if (dlo >= 0) r.dlo = uint8_t(dlo);
    if (dhi >= 0) r.dhi = uint8_t(dhi);
    return r;
}
ChartRow placed(ChartRow r, Place p)
{
    r.place = p;
    return r;
}

// A part effect: the program's on the part's channel while the part plays its program's
// effects, the performance's twin otherwise.
void effect(std::vector<ChartRow>& t, const ChartRow& program, const ChartRow& performance)
{
    t.push_back(fxProgram(program));
    t.push_back(fxPerformance(performance));
}

// The sustain codes of the part settings, by index 0..13.
const uint8_t kSustainCodes[14] = {77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};

std::vector<ChartRow> build()
{
    std::vector<ChartRow> t;
    // Control changes. The effects: program byte, part-block offset.
    effect(t, cc(1, "kFXDistortionOverdrive", 127, prog(263)), cc(1, "kFXMultiDistortionOverdrive", 127, block(12)));
    effect(t, cc(2, "kFXDistortionOverdriveMW", 127, prog(264)),
           cc(2, "kFXMultiDistortionOverdriveMW", 127, block(13)));
    effect(t, cc(3, "kFXEQBass", 127, prog(265)), cc(3, "kFXMultiEQBass", 127, block(14)));
    effect(t, cc(4, "kFXEQTreble", 127, prog(266)), cc(4, "kFXMultiEQTreble", 127, block(15)));
    effect(t, cc(5, "kFXCombFilterFrequency", 127, prog(267)), cc(5, "kFXMultiCombFilterFrequency", 127, block(16)));
    t.push_back(cc(7, "kMultiPartLevel", 127, block(11)));
    effect(t, cc(8, "kFXCombFilterBoost", 127, prog(268)), cc(8, "kFXMultiCombFilterBoost", 127, block(17)));
    t.push_back(cc(9, "kArpSpeed", 127, prog(248)));
    t.push_back(global(cc(9, "kGlobalTempo", 127, perf(25))));
    effect(t, cc(10, "kFXPanDryLevel", 127, prog(269)), cc(10, "kFXMultiPanDryLevel", 127, block(18)));
    // The program's pan byte (270) holds the part's panning, not this position.
    effect(t, cc(11, "kFXPanPosition", 127, nowhere()), cc(11, "kFXMultiPanPosition", 127, block(19)));
    effect(t, cc(12, "kFXPanSpeed", 127, prog(271)), cc(12, "kFXMultiPanSpeed", 127, block(20)));
    effect(t, cc(13, "kFXPanDepth", 127, prog(272)), cc(13, "kFXMultiPanDepth", 127, block(21)));
    effect(t, cc(14, "kFXPanType", 3, prog(273, 55)), cc(14, "kFXMultiPanType", 3, block(22, 55)));
    effect(t, wire(cc(15, "kFXPanWithFX", 1, progBits(284, 4, 1)), Wire::Switch, 0, 127),
           wire(cc(15, "kFXMultiPanWithFX", 1, blockBits(33, 4, 1)), Wire::Switch, 0, 127));
    effect(t, cc(16, "kFXReverbSend", 127, prog(274)), cc(16, "kFXMultiReverbSend", 127, block(23)));
    effect(t, cc(17, "kFXReverbMWheel", 127, prog(275)), cc(17, "kFXMultiReverbMWheel", 127, block(24)));
    effect(t, cc(18, "kFXReverbDecay", 127, prog(276)), cc(18, "kFXMultiReverbDecay", 127, block(25)));
    // One value, 8 x room + early reflections, for both.
    effect(t, wire(cc(19, "kFXReverbRoom", 15, progBits(278, 3, 4)), Wire::Room, 0, 127),
           wire(cc(19, "kFXMultiReverbRoom", 15, blockBits(27, 3, 4)), Wire::Room, 0, 127));
    effect(t, wire(cc(19, "kFXReverbEarlyRef", 7, progBits(278, 0, 3)), Wire::Early, 0, 127),
           wire(cc(19, "kFXMultiReverbEarlyRef", 7, blockBits(27, 0, 3)), Wire::Early, 0, 127));
    effect(t, cc(20, "kFXReverbHFDamp", 127, prog(277)), cc(20, "kFXMultiReverbHFDamp", 127, block(26)));
    effect(t, cc(21, "kFXChorusSend", 127, prog(279)), cc(21, "kFXMultiChorusSend", 127, block(28)));
    effect(t, cc(22, "kFXChorusMWheel", 127, prog(280)), cc(22, "kFXMultiChorusMWheel", 127, block(29)));
    effect(t, cc(23, "kFXChorusSpeed1", 127, prog(281)), cc(23, "kFXMultiChorusSpeed1", 127, block(30)));
    effect(t, cc(24, "kFXChorusModDepth", 127, prog(282)), cc(24, "kFXMultiChorusModDepth", 127, block(31)));
    effect(t, cc(25, "kFXChorusFeedback", 127, prog(283)), cc(25, "kFXMultiChorusFeedback", 127, block(32)));
    effect(t, cc(26, "kFXChorusType", 3, progBits(284, 0, 2)), cc(26, "kFXMultiChorusType", 3, blockBits(33, 0, 2)));
    effect(t, cc(27, "kFXDelaySend", 127, prog(285)), cc(27, "kFXMultiDelaySend", 127, block(34)));
    effect(t, cc(28, "kFXDelayMWheel", 127, prog(286)), cc(28, "kFXMultiDelayMWheel", 127, block(35)));
    effect(t, cc(29, "kFXDelayTime", 127, prog(287)), cc(29, "kFXMultiDelayTime", 127, block(36)));
    effect(t, cc(30, "kFXDelayFeedback", 127, prog(288)), cc(30, "kFXMultiDelayFeedback", 127, block(37)));
    effect(t, cc(31, "kFXDelayHFDamp", 127, prog(289)), cc(31, "kFXMultiDelayHFDamp", 127, block(38)));
    effect(t, cc(33, "kFXCMorph", 127, prog(294)), cc(33, "kFXMultiCMorph", 127, block(43)));
    // The oscillators. Soften of oscillators 2 and 3 has no byte: 78 and 112 are reserved.
    t.push_back(cc(34, "kOscillator1Waveform", 4, prog(31)));
    t.push_back(cc(35, "kOscillator1Detune", 127, prog(34)));
    t.push_back(cc(36, "kOscillator1Pulsewidth", 127, prog(50)));
    t.push_back(cc(37, "kOscillator1SyncSkew", 127, prog(63)));
    t.push_back(cc(39, "kOscillator1Level", 127, prog(133)));
    t.push_back(cc(40, "kOscillator1SoftenLevel", 127, prog(44)));
    t.push_back(cc(41, "kOscillator1SyncLevel", 127, prog(56)));
    t.push_back(cc(42, "kOscillator1Keyfollow", 127, prog(36)));
    t.push_back(cc(43, "kOscillator1SyncKeyfollow", 127, prog(62)));
    t.push_back(cc(44, "kOscillator1FormantWidth", 127, prog(64)));
    t.push_back(cc(45, "kOscillator1MWLFO1amnt", 127, prog(42)));
    t.push_back(cc(46, "kOscillator1ATLFO1amnt", 127, prog(43)));
    t.push_back(cc(47, "kOscillator2Detune", 127, prog(68)));
    t.push_back(cc(48, "kOscillator2Pulsewidth", 127, prog(84)));
    t.push_back(cc(49, "kOscillator2SyncSkew", 127, prog(97)));
    t.push_back(cc(50, "kOscillator2Level", 127, prog(139)));
    t.push_back(cc(51, "kOscillator2SoftenLevel", 127, nowhere()));
    t.push_back(cc(52, "kOscillator2SyncLevel", 127, prog(90)));
    t.push_back(cc(53, "kOscillator2Keyfollow", 127, prog(70)));
    t.push_back(cc(54, "kOscillator2SyncKeyfollow", 127, prog(96)));
    t.push_back(cc(55, "kOscillator2FormantWidth", 127, prog(98)));
    t.push_back(cc(56, "kOscillator2MWLFO1amnt", 127, prog(76)));
    t.push_back(cc(57, "kOscillator2ATLFO1amnt", 127, prog(77)));
    t.push_back(cc(58, "kOscillator3Detune", 127, prog(102)));
    t.push_back(cc(59, "kOscillator3Pulsewidth", 127, prog(118)));
    t.push_back(cc(60, "kOscillator3SyncSkew", 127, prog(131)));
    t.push_back(cc(61, "kOscillator3Level", 127, prog(145)));
    t.push_back(cc(62, "kOscillator3SoftenLevel", 127, nowhere()));
    t.push_back(cc(63, "kOscillator3SyncLevel", 127, prog(124)));
    t.push_back(wire(cc(64, "kArpLatch", 1, prog(256)), Wire::Switch, 0, 127));
    t.push_back(cc(65, "kOscillator3Keyfollow", 127, prog(104)));
    t.push_back(cc(66, "kOscillator3SyncKeyfollow", 127, prog(130)));
    t.push_back(cc(67, "kOscillator3FormantWidth", 127, prog(132)));
    t.push_back(cc(68, "kOscillator3MWLFO1amnt", 127, prog(110)));
    t.push_back(cc(69, "kOscillator3ATLFO1amnt", 127, prog(111)));
    t.push_back(cc(70, "kRing13Level", 127, prog(151)));
    t.push_back(cc(71, "kFilterResonance", 127, prog(230)));
    t.push_back(cc(72, "kRing23Level", 127, prog(157)));
    t.push_back(cc(73, "kNoiseLevel", 127, prog(163)));
    t.push_back(cc(74, "kFilterCutoff", 127, prog(220)));
    t.push_back(cc(75, "kNoiseSoftenLevel", 127, prog(210)));
    t.push_back(cc(76, "kProgramLevel", 127, prog(245)));
    t.push_back(cc(77, "kPortamento", 127, prog(240)));
    t.push_back(cc(78, "kFilterOverdrive", 127, prog(219)));
    t.push_back(cc(79, "kFilterKeytrack", 127, prog(229)));
    t.push_back(cc(80, "kFilterQNormAmount", 127, prog(239)));
    t.push_back(cc(81, "kEnv1Attack", 127, prog(203)));
    t.push_back(cc(82, "kEnv1Decay", 127, prog(204)));
    t.push_back(cc(83, "kEnv1Sustain", 127, prog(205)));
    t.push_back(cc(84, "kEnv1Release", 127, prog(206)));
    t.push_back(cc(85, "kEnv1Velocity", 127, prog(207)));
    t.push_back(cc(86, "kEnv2Delay", 127, prog(202)));
    t.push_back(cc(87, "kEnv2Attack", 127, prog(197)));
    t.push_back(cc(88, "kEnv2Decay", 127, prog(198)));
    t.push_back(cc(89, "kEnv2Sustain", 127, prog(199)));
    t.push_back(cc(90, "kEnv2Release", 127, prog(200)));
    t.push_back(cc(91, "kEnv2Velocity", 127, prog(201)));
    t.push_back(cc(92, "kEnv3Delay", 127, prog(196)));
    t.push_back(cc(93, "kEnv3Attack", 127, prog(191)));
    t.push_back(cc(94, "kEnv3Decay", 127, prog(192)));
    t.push_back(cc(95, "kEnv3Sustain", 127, prog(193)));
    t.push_back(cc(96, "kEnv3Release", 127, prog(194)));
    t.push_back(cc(97, "kEnv3Velocity", 127, prog(195)));
    t.push_back(cc(102, "kEnv1ATouchAmnt", 127, prog(209)));
    t.push_back(cc(103, "kEnv1MWheelAmnt", 127, prog(208)));
    t.push_back(cc(104, "kLFO1Delay", 127, prog(169)));
    t.push_back(cc(105, "kLFO1OffsetAmount", 127, prog(171)));
    t.push_back(cc(106, "kLFO1Speed", 127, prog(172)));
    t.push_back(cc(107, "kLFO1Env3SpeedMod", 127, prog(173)));
    t.push_back(cc(108, "kLFO1MWhSpeedMod", 127, prog(174)));
    t.push_back(cc(109, "kLFO1ATspeedMod", 127, prog(175)));
    t.push_back(cc(110, "kLFO2Delay", 127, prog(179)));
    t.push_back(cc(111, "kLFO2OffsetAmount", 127, prog(181)));
    t.push_back(cc(112, "kLFO2Speed", 127, prog(182)));
    t.push_back(cc(113, "kLFO2Env3SpeedMod", 127, prog(183)));
    t.push_back(cc(114, "kLFO2MWhSpeedMod", 127, prog(184)));
    t.push_back(cc(115, "kLFO2ATspeedMod", 127, prog(185)));
    t.push_back(cc(116, "kLFO1osc1Sync", 127, prog(60)));
    t.push_back(cc(117, "kLFO1osc1Level", 127, prog(137)));
    t.push_back(cc(118, "kLFO1osc1Width", 127, prog(54)));
    // Local control on: bit 2 of position 9 clear.
    t.push_back(global(wire(cc(119, "kGlobalLocalControl", 1, g2NotBit(9, 2)), Wire::Switch, 0, 127)));

    // NRPN 0/0: the program's own offsets are the data bases.
    t.push_back(nrpn(0, 0, 10, "kOscillator2Waveform", 0, 4, prog(65, 10)));
    t.push_back(nrpn(0, 0, 20, "kOscillator3Waveform", 0, 4, prog(99, 20)));
    t.push_back(nrpn(0, 0, 30, "kOscillator1Octave", 0, 4, prog(32, 30)));
    t.push_back(nrpn(0, 0, 35, "kOscillator2Octave", 0, 4, prog(66, 35)));
    t.push_back(nrpn(0, 0, 40, "kOscillator3Octave", 0, 4, prog(100, 40)));
    t.push_back(nrpn(0, 0, 45, "kOscillator1Semitone", 0, 24, prog(33, 45)));
    t.push_back(nrpn(0, 0, 70, "kOscillator2Semitone", 0, 24, prog(67, 70)));
    t.push_back(nrpn(0, 0, 95, "kOscillator3Semitone", 0, 24, prog(101, 95)));
    t.push_back(nrpn(0, 0, 120, "kPortamentoType", 0, 1, prog(242, 120)));
    t.push_back(nrpn(0, 0, 122, "kPortamentoMode", 0, 1, prog(243, 122)));
    t.push_back(nrpn(0, 0, 124, "kLFO1DelayTrigger", 0, 1, prog(178, 124)));
    t.push_back(nrpn(0, 0, 126, "kLFO2DelayTrigger", 0, 1, prog(188, 126)));
    // NRPN 0/1.
    t.push_back(nrpn(0, 1, 3, "kFilterType", 0, 11, prog(216, 3)));
    t.push_back(nrpn(0, 1, 16, "kLFO1Waveform", 0, 3, prog(170, 16)));
    t.push_back(nrpn(0, 1, 20, "kLFO2Waveform", 0, 3, prog(180, 20)));
    t.push_back(nrpn(0, 1, 24, "kLFO1Triggering", 0, 1, prog(177, 24)));
    t.push_back(nrpn(0, 1, 26, "kLFO2Triggering", 0, 1, prog(187, 26)));
    t.push_back(nrpn(0, 1, 28, "kLFO1Range", 0, 2, prog(189, 28)));
    t.push_back(nrpn(0, 1, 31, "kLFO2Range", 0, 2, prog(190, 31)));
    // Bits 2, 1, 0 of the value trigger envelopes 1, 2, 3.
    t.push_back(nrpn(0, 1, 34, "kEnvelopeTriggering", 0, 7, prog(244, 34)));
    t.push_back(nrpn(0, 1, 42, "kGlideType", 0, 9, prog(241, 42)));
    t.push_back(nrpn(0, 1, 72, "kArpSwitch", 0, 1, prog(259, 72)));
    t.push_back(nrpn(0, 1, 74, "kArpKeySync", 0, 1, prog(252, 74)));
    t.push_back(nrpn(0, 1, 76, "kArpBank", 0, 2, prog(249, 76)));
    t.push_back(nrpn(0, 1, 79, "kArpLatchMode", 0, 1, prog(257, 79)));
    t.push_back(nrpn(0, 1, 81, "kArpQuantize", 0, 4, prog(254, 81)));
    t.push_back(nrpn(0, 1, 86, "kArpVelocity", 0, 3, prog(251, 86)));
    t.push_back(nrpn(0, 1, 92, "kArpRealtimeTranspose", 0, 1, prog(260, 92)));
    // One value, 122 + 2 x ordering + fill-in, for both.
    t.push_back(placed(wire(nrpn(0, 1, 122, "kArpFillIn", 0, 1, prog(253)), Wire::FillIn, 122, 127), Place::NoteOrder));
    t.push_back(
        placed(wire(nrpn(0, 1, 122, "kArpNoteOrdering", 0, 2, prog(253)), Wire::Ordering, 122, 127), Place::NoteOrder));
    // The sustain setting travels as its code, on three numbers.
    const To sustain{Dump::PartBlock, 4, Place::Sustain, 0, 8, 0};
    t.push_back(wire(nrpn(0, 84, 0, "kMultiPartSustain", 0, 13, sustain), Wire::Sustain, 77, 83));
    t.push_back(wire(nrpn(0, 110, 0, "kMultiPartSustain", 0, 13, sustain), Wire::Sustain, 126, 127));
    t.push_back(wire(nrpn(0, 113, 0, "kMultiPartSustain", 0, 13, sustain), Wire::Sustain, 4, 8));
    // The global channel as value + 33; it is the device id too.
    t.push_back(global(nrpn(0, 99, 33, "kGlobalMidiChannel", 0, 15, {Dump::DeviceId, 6, Place::Byte, 0, 8, 0})));
    // Receive program changes: 34 off, 35 and 36 on.
    t.push_back(global(placed(wire(nrpn(0, 110, 34, "kGlobalRXPC", 0, 1, g2Bits(22, 0, 2)), Wire::NonZero, 34, 36),
                              Place::RxProgram)));
    t.push_back(nrpn(0, 113, 0, "kMultiPartPolyphony", 0, 3, blockBits(10, 0, 2)));
    t.push_back(global(nrpn(0, 113, 11, "kGlobalPedalSw3", 0, 4, g2(20, 11))));
    // Delay ratios 11 and 12 leave the ratio's own number for MSB 0/LSB 100.
    effect(t, nrpn(1, 0, 0, "kFXDelayRatio", 0, 10, prog(290, 96)),
           nrpn(1, 0, 0, "kFXMultiDelayRatio", 0, 10, block(39, 96)));
    effect(t, nrpn(0, 100, 99, "kFXDelayRatio", 11, 12, prog(290, 96)),
           nrpn(0, 100, 99, "kFXMultiDelayRatio", 11, 12, block(39, 96)));
    effect(t, nrpn(2, 0, 0, "kFXDelayStereoWidth", 0, 127, prog(291)),
           nrpn(2, 0, 0, "kFXMultiDelayStereoWidth", 0, 127, block(40)));
    effect(t, nrpn(3, 0, 0, "kFXDelaySync", 0, 15, prog(292)), nrpn(3, 0, 0, "kFXMultiDelaySync", 0, 15, block(41)));
    effect(t, nrpn(4, 0, 0, "kFXRoutingConfig", 0, 18, prog(293)),
           nrpn(4, 0, 0, "kFXMultiRoutingConfig", 0, 18, block(42)));

    // Parameter SysEx, type 20: voice.
    t.push_back(sx(0x20, 0x00, "kOscillator1BendRange", 24, prog(35, 52)));
    t.push_back(sx(0x20, 0x01, "kOscillator2BendRange", 24, prog(69, 52)));
    t.push_back(sx(0x20, 0x02, "kOscillator3BendRange", 24, prog(103, 52)));
    t.push_back(sx(0x20, 0x03, "kUnisonMode", 1, progBits(247, 2, 1)));
    t.push_back(sx(0x20, 0x04, "kUnisonSwitch", 1, progBits(247, 5, 1)));
    t.push_back(sx(0x20, 0x05, "kPolyMode", 1, progBits(246, 1, 1)));
    t.push_back(sx(0x20, 0x06, "kOscMode", 1, progBits(246, 0, 1)));
    t.push_back(sx(0x20, 0x07, "kDCOVCOMode", 1, progBits(218, 3, 1)));
    t.push_back(sx(0x20, 0x08, "kConstantGate", 1, progBits(246, 3, 1)));
    t.push_back(sx(0x20, 0x09, "kProgramPolyphony", 1, progBits(247, 0, 2, 1)));
    // Type 21: filter.
    t.push_back(sx(0x21, 0x00, "kFilterSlope", 1, prog(217)));
    t.push_back(sx(0x21, 0x01, "kFilterWidth", 7, progBits(218, 0, 3)));
    // Type 22: LFO sync and the modulation amounts.
    t.push_back(sx(0x22, 0x00, "kLFO1Sync", 15, prog(176)));
    t.push_back(sx(0x22, 0x01, "kLFO2Sync", 15, prog(186)));
    struct Amount {
        const char* name;
        int pos;
    };
    static const Amount amounts[] = {
        {"kLFO1osc1Soften", 48},        {"kLFO1osc1Pitch", 40},         {"kLFO1osc2Sync", 94},
        {"kLFO1osc2Level", 143},        {"kLFO1osc2Width", 88},         {"kLFO1osc2Soften", 82},
        {"kLFO1osc2Pitch", 74},         {"kLFO1osc3Sync", 128},         {"kLFO1osc3Level", 149},
        {"kLFO1osc3Width", 122},        {"kLFO1osc3Soften", 116},       {"kLFO1osc3Pitch", 108},
        {"kLFO1ring13Level", 155},      {"kLFO1ring23Level", 161},      {"kLFO1noiseLevel", 167},
        {"kLFO1noiseSoften", 214},      {"kLFO2osc1Sync", 61},          {"kLFO2osc1Level", 138},
        {"kLFO2osc1Width", 55},         {"kLFO2osc1Soften", 49},        {"kLFO2osc1Pitch", 41},
        {"kLFO2osc2Sync", 95},          {"kLFO2osc2Level", 144},        {"kLFO2osc2Width", 89},
        {"kLFO2osc2Soften", 83},        {"kLFO2osc2Pitch", 75},         {"kLFO2osc3Sync", 129},
        {"kLFO2osc3Level", 150},        {"kLFO2osc3Width", 123},        {"kLFO2osc3Soften", 117},
        {"kLFO2osc3Pitch", 109},        {"kLFO2ring13Level", 156},      {"kLFO2ring23Level", 162},
        {"kLFO2noiseLevel", 168},       {"kLFO2noiseSoften", 215},      {"kEnv2osc1Sync", 58},
        {"kEnv2osc1Level", 135},        {"kEnv2osc1Width", 52},         {"kEnv2osc1Soften", 46},
        {"kEnv2osc1Pitch", 38},         {"kEnv2osc2Sync", 92},          {"kEnv2osc2Level", 141},
        {"kEnv2osc2Width", 86},         {"kEnv2osc2Soften", 80},        {"kEnv2osc2Pitch", 72},
        {"kEnv2osc3Sync", 126},         {"kEnv2osc3Level", 147},        {"kEnv2osc3Width", 120},
        {"kEnv2osc3Soften", 114},       {"kEnv2osc3Pitch", 106},        {"kEnv2ring13Level", 153},
        {"kEnv2ring23Level", 159},      {"kEnv2noiseLevel", 165},       {"kEnv2noiseSoften", 212},
        {"kEnv3osc1Sync", 59},          {"kEnv3osc1Level", 136},        {"kEnv3osc1Width", 53},
        {"kEnv3osc1Soften", 47},        {"kEnv3osc1Pitch", 39},         {"kEnv3osc2Sync", 93},
        {"kEnv3osc2Level", 142},        {"kEnv3osc2Width", 87},         {"kEnv3osc2Soften", 81},
        {"kEnv3osc2Pitch", 73},         {"kEnv3osc3Sync", 127},         {"kEnv3osc3Level", 148},
        {"kEnv3osc3Width", 121},        {"kEnv3osc3Soften", 115},       {"kEnv3osc3Pitch", 107},
        {"kEnv3ring13Level", 154},      {"kEnv3ring23Level", 160},      {"kEnv3noiseLevel", 166},
        {"kEnv3noiseSoften", 213},      {"kWheelosc1Sync", 57},         {"kWheelosc1Level", 134},
        {"kWheelosc1Width", 51},        {"kWheelosc1Soften", 45},       {"kWheelosc1Pitch", 37},
        {"kWheelosc2Sync", 91},         {"kWheelosc2Level", 140},       {"kWheelosc2Width", 85},
        {"kWheelosc2Soften", 79},       {"kWheelosc2Pitch", 71},        {"kWheelosc3Sync", 125},
        {"kWheelosc3Level", 146},       {"kWheelosc3Width", 119},       {"kWheelosc3Soften", 113},
        {"kWheelosc3Pitch", 105},       {"kWheelring13Level", 152},     {"kWheelring23Level", 158},
        {"kWheelnoiseLevel", 164},      {"kWheelnoiseSoften", 211},     {"kWheelfilterFreqAmnt", 221},
        {"kFilterFreqATamnt", 222},     {"kEnv2filterFreqAmnt", 223},   {"kEnv3filterFreqAmnt", 224},
        {"kLFO1filterFreqAmnt", 225},   {"kLFO2filterFreqAmnt", 226},   {"kFilterFreqMWLFO2amnt", 227},
        {"kFilterFreqATLFO2amnt", 228}, {"kWheelfilterResoAmnt", 231},  {"kFilterResoATamnt", 232},
        {"kEnv2filterResoAmnt", 233},   {"kEnv3filterResoAmnt", 234},   {"kLFO1filterResoAmnt", 235},
        {"kLFO2filterResoAmnt", 236},   {"kFilterResoMWLFO2amnt", 237}, {"kFilterResoATLFO2amnt", 238},
    };
    int param = 0x02;
    for (const Amount& a : amounts) t.push_back(sx(0x22, param++, a.name, 127, prog(a.pos)));
    // Type 23: how the part passes its effects on (program byte 284, part-block offset +33).
    t.push_back(sx(0x23, 0x00, "kFXPassToFXConfig", 2, progBits(284, 5, 2, 1)));
    t.push_back(sx(0x23, 0x01, "kFXPassToFXAudio", 3, progBits(284, 2, 2)));
    t.push_back(sx(0x23, 0x02, "kFXMultiPassToFXConfig", 2, blockBits(33, 5, 2, 1)));
    t.push_back(sx(0x23, 0x03, "kFXMultiPassToFXAudio", 1, blockBits(33, 2, 1)));
    // Type 25: arpeggiator. 08 onwards live in the pattern, which no dump here carries.
    t.push_back(sx(0x25, 0x00, "kArpProgram", 127, prog(250)));
    t.push_back(sx(0x25, 0x01, "kArpOctaveRange", 6, progBits(255, 0, 3, 1)));
    // Bit 0 holds the mute status as it stands.
    t.push_back(sx(0x25, 0x02, "kArpMuteStatus", 1, progBits(258, 0, 1)));
    t.push_back(sx(0x25, 0x03, "kArpSendNotesTo", 3, progBits(258, 5, 2)));
    t.push_back(sx(0x25, 0x04, "kArpConstantPitch", 1, progBits(218, 5, 1)));
    t.push_back(sx(0x25, 0x05, "kArpOutputRanging", 1, progBits(218, 6, 1)));
    t.push_back(sx(0x25, 0x06, "kArpSync", 7, prog(261, 1)));
    t.push_back(sx(0x25, 0x07, "kArpGateMenu", 3, progBits(262, 0, 2)));
    t.push_back(sx(0x25, 0x08, "kMultiArpSource", 7, nowhere()));
    t.push_back(sx(0x25, 0x09, "kArpPattern", 127, nowhere()));
    t.push_back(sx(0x25, 0x0A, "kArpMaxNotes", 15, nowhere()));
    t.push_back(sx(0x25, 0x0B, "kArpClock", 15, nowhere()));
    t.push_back(sx(0x25, 0x0C, "kArpDirection", 3, nowhere()));
    t.push_back(sx(0x25, 0x0D, "kArpSortOrder", 3, nowhere()));
    t.push_back(sx(0x25, 0x0E, "kArpVelocityMode", 3, nowhere()));
    t.push_back(sx(0x25, 0x0F, "kArpTimeFactor", 15, nowhere()));
    t.push_back(sx(0x25, 0x10, "kArpSameNoteOverlap", 1, nowhere()));
    t.push_back(sx(0x25, 0x11, "kArpPatternReset", 1, nowhere()));
    t.push_back(sx(0x25, 0x12, "kArpPatternLength", 31, nowhere()));
    // Type 26: the part in the performance. Its panning is the program's byte 270.
    t.push_back(sx(0x26, 0x00, "kMultiPartPanning", 127, prog(270)));
    t.push_back(sx(0x26, 0x01, "kMultiPartTranspose", 48, block(5, 40)));
    t.push_back(sx(0x26, 0x02, "kMultiPartDetune", 127, block(6)));
    t.push_back(sx(0x26, 0x03, "kMultiPartKeyLow", 127, block(8)));
    t.push_back(sx(0x26, 0x04, "kMultiPartKeyHigh", 127, block(9)));
    t.push_back(sx(0x26, 0x05, "kMultiPartVeloCurve", 7, block(7, 80)));
    t.push_back(sx(0x26, 0x06, "kMultiPartOutput", 5, block(3, 98)));
    t.push_back(sx(0x26, 0x07, "kMultiPartProgramChange", 1, blockBits(10, 2, 1)));
    t.push_back(sx(0x26, 0x08, "kMultiPartControlChange", 1, blockBits(10, 3, 1)));
    t.push_back(sx(0x26, 0x09, "kMultiPartExpressionPdl", 1, blockBits(10, 5, 1)));
    t.push_back(sx(0x26, 0x0A, "kMultiPartStatus", 1, {Dump::Performance, 27, Place::PartStatus, 0, 1, 0}));
    t.push_back(sx(0x26, 0x0B, "kMultiArpSwitch", 1, blockNotBit(10, 4)));
    t.push_back(sx(0x26, 0x0C, "kPartPattern", 127, nowhere()));
    // Type 27: global settings.
    t.push_back(global(sx(0x27, 0x00, "kGlobalSysExTxDelay", 127, nowhere())));
    t.push_back(global(sx(0x27, 0x01, "kGlobalTempDisplayTime", 127, nowhere())));
    t.push_back(global(sx(0x27, 0x02, "kGlobalAudioIn1Trim", 20, g2(32, 54))));
    t.push_back(global(sx(0x27, 0x03, "kGlobalAudioIn2Trim", 20, g2(33, 54))));
    t.push_back(global(sx(0x27, 0x04, "kGlobalVelocitySensitivity", 1, g2NotBit(22, 3))));
    t.push_back(global(sx(0x27, 0x05, "kGlobalInputSw1", 7, g2(25))));
    t.push_back(global(sx(0x27, 0x06, "kGlobalInputSw2", 7, g2(26))));
    t.push_back(global(sx(0x27, 0x07, "kGlobalBreathMode", 4, g2Bits(10, 4, 3))));
    t.push_back(global(sx(0x27, 0x08, "kGlobalPedalSensitivity", 3, g1(11))));
    t.push_back(global(sx(0x27, 0x09, "kGlobalBreathSensing", 10, {Dump::Global2, 9, Place::Breath, 3, 4, 0})));
    t.push_back(global(sx(0x27, 0x0A, "kGlobalMIDIClock", 1, g1(14, 105))));
    t.push_back(global(sx(0x27, 0x0B, "kGlobalKnobMode", 1, g2Bits(22, 4, 1))));
    t.push_back(global(sx(0x27, 0x0C, "kGlobalRXCC", 1, g2Bits(22, 2, 1))));
    t.push_back(global(sx(0x27, 0x0D, "kGlobalTXCC", 1, g2Bits(24, 2, 1))));
    t.push_back(global(sx(0x27, 0x0E, "kGlobalTXPC", 1, g2Bits(24, 1, 1))));
    t.push_back(global(sx(0x27, 0x0F, "kGlobalTXAT", 1, g2Bits(24, 3, 1))));
    t.push_back(global(sx(0x27, 0x10, "kGlobalMasterTune", 127, g1(10))));
    t.push_back(global(sx(0x27, 0x11, "kGlobalMasterVolume", 127, g1(15))));
    // Type 28: the one vocoder, which every part's program carries.
    t.push_back(global(sx(0x28, 0x00, "kVocoderBalance", 127, prog(25))));
    t.push_back(global(sx(0x28, 0x01, "kVocoderSibilanceType", 1, progBits(218, 4, 1))));
    t.push_back(global(sx(0x28, 0x02, "kVocoderInput", 15, progBits(258, 1, 4))));
    t.push_back(global(sx(0x28, 0x03, "kVocoderWidth", 31, progBits(262, 2, 5))));
    t.push_back(global(sx(0x28, 0x04, "kVocoderSibilanceLevel", 15, progBits(255, 3, 4))));
    t.push_back(global(sx(0x28, 0x05, "kVocoderInsert", 3, nowhere())));
    return t;
}

int fieldMask(const ChartRow& r)
{
    return ((1 << r.width) - 1) << r.shift;
}

// Ordering and fill-in as the byte holds them; a byte below 122 holds fill-in alone.
void splitNoteOrder(uint8_t byte, int& ordering, int& fill)
{
    if (byte >= 122) {
        ordering = (byte - 122) / 2;
        fill = (byte - 122) % 2;
    } else {
        ordering = 0;
        fill = byte & 1;
    }
}

} // namespace

const std::vector<ChartRow>& chartRows()
{
    static const std::vector<ChartRow> rows = build();
    return rows;
}

std::vector<const ChartRow*> rowsAt(Via via, int a, int b)
{
    std::vector<const ChartRow*> out;
    for (const ChartRow& r : chartRows())
        if (r.via == via && r.a == a && (via == Via::CC || r.b == b)) out.push_back(&r);
    return out;
}

std::vector<const ChartRow*> rowsNamed(const std::string& name)
{
    std::vector<const ChartRow*> out;
    for (const ChartRow& r : chartRows())
        if (name == r.name) out.push_back(&r);
    return out;
}

bool decodeData(const ChartRow& r, int d, int& value)
{
    if (d < r.dlo || d > r.dhi) return false;
    switch (r.wire) {
    case Wire::Plain: value = r.lo + d - r.dlo; return true;
    case Wire::Switch: value = d != 0; return true;
    case Wire::Room: value = d >> 3; return true;
    case Wire::Early: value = d & 7; return true;
    case Wire::Ordering: value = (d - 122) / 2; return true;
    case Wire::FillIn: value = (d - 122) % 2; return true;
    case Wire::Sustain:
        for (int i = 0; i < 14; ++i)
            if (kSustainCodes[i] == d) {
                value = i;
                return true;
            }
        return false;
    case Wire::NonZero: value = d != r.dlo; return true;
    }
    return false;
}

uint8_t placeValue(const ChartRow& r, uint8_t byte, int v, int part)
{
    switch (r.place) {
    case Place::Byte: return uint8_t((v + r.offset) & 0x7F);
    case Place::Field: {
        const int mask = fieldMask(r);
        return uint8_t((byte & ~mask) | (((v + r.offset) << r.shift) & mask));
    }
    case Place::InvertedBit: return uint8_t(v == 0 ? byte | (1 << r.shift) : byte & ~(1 << r.shift));
    case Place::Sustain: return v >= 0 && v < 14 ? kSustainCodes[v] : 0;
    case Place::Breath: return uint8_t((byte & 0x07) | (((v + 6) % 11) << 3));
    case Place::PartStatus: {
        const int bit = part == 7 ? 6 : part;
        return uint8_t(v == 0 ? byte | (1 << bit) : byte & ~(1 << bit));
    }
    case Place::RxProgram: return uint8_t((byte & ~3) | (v ? 2 : 0));
    case Place::NoteOrder: {
        int ordering, fill;
        splitNoteOrder(byte, ordering, fill);
        (r.wire == Wire::Ordering ? ordering : fill) = v;
        return uint8_t(122 + 2 * ordering + fill);
    }
    }
    return byte;
}

int readValue(const ChartRow& r, uint8_t byte, int part)
{
    switch (r.place) {
    case Place::Byte: return byte - r.offset;
    case Place::Field: return ((byte & fieldMask(r)) >> r.shift) - r.offset;
    case Place::InvertedBit: return (byte >> r.shift & 1) ? 0 : 1;
    case Place::Sustain:
        for (int i = 0; i < 14; ++i)
            if (kSustainCodes[i] == byte) return i;
        return 0;
    case Place::Breath: return byte >= 80 ? 4 : (byte / 8 + 5) % 11;
    case Place::PartStatus: return (byte >> (part == 7 ? 6 : part) & 1) ? 0 : 1;
    case Place::RxProgram: return (byte & 3) != 0;
    case Place::NoteOrder: {
        int ordering, fill;
        splitNoteOrder(byte, ordering, fill);
        return r.wire == Wire::Ordering ? ordering : fill;
    }
    }
    return 0;
}

int dumpPosition(const ChartRow& r, int part)
{
    if (r.place == Place::PartStatus) return part == 7 ? 24 : 27;
    if (r.dump == Dump::PartBlock) return 28 + 44 * part + r.pos;
    return r.pos;
}

const char* dumpName(Dump d)
{
    switch (d) {
    case Dump::Program: return "program";
    case Dump::PartBlock:
    case Dump::Performance: return "performance";
    case Dump::Global1: return "global 1";
    case Dump::Global2: return "global 2";
    case Dump::DeviceId: return "device id";
    case Dump::None: break;
    }
    return "";
}

} // namespace synthsim
