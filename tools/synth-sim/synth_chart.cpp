// The synthesizer's side of its MIDI chart: controllers, NRPNs and parameter SysEx move the
// edit buffers, and a parameter moved on the panel goes out as the chart's message.
#include "synth.h"

#include <algorithm>
#include <climits>

namespace synthsim
{

namespace
{

std::string hex2(int v)
{
    static const char* digits = "0123456789ABCDEF";
    return std::string{digits[(v >> 4) & 15], digits[v & 15]};
}

// Rows of one scope at an address, the part's effects deciding between an effect's twins.
bool rowServes(const ChartRow& r, bool global, bool programEffects)
{
    if (r.global != global) return false;
    if (r.fx == Fx::Any) return true;
    return (r.fx == Fx::Program) == programEffects;
}

// A number with one parameter behind it holds any value, clamped; one whose values are shared
// out by range takes only the data of its rows.
bool clampsAtAddress(const std::vector<const ChartRow*>& rows)
{
    int n = 0;
    for (const ChartRow* r : rows)
        if (r->fx != Fx::Performance) ++n;
    return n == 1 && rows.front()->wire == Wire::Plain;
}

} // namespace

bool Synth::partListensOn(int part, int channel) const
{
    return partChannel(part) == channel;
}

// A part follows the global channel when its channel byte is 16 or more.
int Synth::partChannel(int part) const
{
    const int c = mem_.partBlock(part)[kPartBlockChannel];
    return c < 16 ? c : opt_.deviceId;
}

bool Synth::playsProgramEffects(int part) const
{
    return (mem_.partBlock(part)[kPartBlockSettings] & 0x40) != 0;
}

uint8_t* Synth::byteOf(const ChartRow& r, int part)
{
    const int pos = dumpPosition(r, part);
    switch (r.dump) {
    case Dump::Program: return &mem_.partEdit[size_t(part)][size_t(pos - 9)];
    case Dump::PartBlock:
    case Dump::Performance: return &mem_.performanceEdit[size_t(pos - 8)];
    case Dump::Global1: return &mem_.global1[size_t(pos - 8)];
    case Dump::Global2: return &mem_.global2[size_t(pos - 8)];
    case Dump::None:
    case Dump::DeviceId: break;
    }
    return nullptr;
}

int Synth::currentValue(const ChartRow& r, int part)
{
    if (r.dump == Dump::DeviceId) return opt_.deviceId;
    const uint8_t* b = byteOf(r, std::max(part, 0));
    return b ? readValue(r, *b, part) : 0;
}

std::string Synth::applyRow(const ChartRow& r, int part, int value, int clampedFrom)
{
    memoryTouched_ = true;
    ++count_.paramsApplied;
    std::string who = part >= 0 ? std::to_string(part + 1) : "-";
    std::string where;
    if (r.dump == Dump::None) {
        where = "no dump byte";
    } else if (r.dump == Dump::DeviceId) {
        opt_.deviceId = value;
        where = "device id byte 6";
    } else if (r.dump == Dump::Program && part < 0) {
        // The one vocoder: every part's program carries it.
        for (int k = 0; k < kParts; ++k) {
            uint8_t* b = byteOf(r, k);
            *b = placeValue(r, *b, value, k);
        }
        who = "1-8";
        where = "program byte " + std::to_string(r.pos);
    } else {
        uint8_t* b = byteOf(r, std::max(part, 0));
        *b = placeValue(r, *b, value, part);
        where = std::string(dumpName(r.dump)) + " byte " + std::to_string(dumpPosition(r, part));
    }
    std::string note =
        "param " + std::string(r.name) + " part " + who + " = " + std::to_string(value) + " (" + where + ")";
    if (clampedFrom != INT_MIN) note += ", clamped from " + std::to_string(clampedFrom);
    if (std::string(r.name) == "kEnvelopeTriggering") {
        // The value is a bit field: bit 2 envelope 1, bit 1 envelope 2, bit 0 envelope 3.
        for (int e = 1; e <= 3; ++e)
            note += "; param kEnvelope" + std::to_string(e) + "Triggering part " + who + " = " +
                    std::to_string(value >> (3 - e) & 1);
    }
    return note;
}

std::string Synth::applyAddress(Via via, int a, int b, int data, int channel, int sysexPart)
{
    const std::vector<const ChartRow*> rows = rowsAt(via, a, b);
    if (rows.empty()) return "";
    const bool clamps = clampsAtAddress(rows);
    std::string notes;
    auto applyFor = [&](bool global, int part) {
        const bool programFx = part >= 0 && playsProgramEffects(part);
        for (const ChartRow* r : rows) {
            if (!rowServes(*r, global, programFx)) continue;
            int value;
            int clampedFrom = INT_MIN;
            if (!decodeData(*r, data, value)) {
                if (!clamps) continue;
                clampedFrom = r->lo + data - r->dlo;
                value = std::min(std::max(clampedFrom, int(r->lo)), int(r->hi));
            }
            notes += (notes.empty() ? "" : "; ") + applyRow(*r, part, value, clampedFrom);
        }
    };
    if (channel < 0) {
        // Parameter SysEx: the part byte names the part of a part's parameter.
        if (rows.front()->global)
            applyFor(true, -1);
        else if (sysexPart < kParts)
            applyFor(false, sysexPart);
        return notes;
    }
    if (channel == opt_.deviceId) applyFor(true, -1);
    for (int k = 0; k < kParts; ++k)
        if (partListensOn(k, channel)) applyFor(false, k);
    return notes;
}

Handled Synth::receiveParameterSysEx(const Bytes& m)
{
    Handled h;
    auto ignore = [&](const std::string& why) {
        ++count_.ignored;
        h.note = "ignored: " + why;
        return h;
    };
    if (m.size() < 3 || m[2] != kParamModel) return ignore("foreign sysex");
    if (m.size() != kLenParamSysEx) return ignore("parameter sysex of " + std::to_string(m.size()) + " bytes");
    if (!dataBytesAre7Bit(m)) return ignore("data byte above 7F");
    if (m[3] != device()) return ignore("addressed to device " + std::to_string(m[3]));
    const int type = m[4], part = m[5], param = m[6], value = m[7];
    h.note = "parameter " + hex2(type) + "/" + hex2(param) + " part byte " + std::to_string(part) + " = " +
             std::to_string(value);
    const std::string applied = applyAddress(Via::SysEx, type, param, value, -1, part);
    if (applied.empty()) {
        ++count_.unmapped;
        h.note += ": unmapped";
    } else {
        h.note += ": " + applied;
    }
    return h;
}

Played Synth::panelParam(const std::string& name, int part, int value, std::vector<Bytes>& messages)
{
    std::lock_guard<std::mutex> g(lock_);
    Played p;
    messages.clear();
    const std::vector<const ChartRow*> rows = rowsNamed(name);
    if (rows.empty()) {
        p.note = "no parameter " + name + " in the chart";
        return p;
    }
    const bool global = rows.front()->global;
    if (!global && (part < 1 || part > kParts)) {
        p.note = name + " needs a part from 1 to 8";
        return p;
    }
    const int k = global ? -1 : part - 1;
    int lo = 127, hi = 0;
    for (const ChartRow* r : rows) {
        lo = std::min(lo, int(r->lo));
        hi = std::max(hi, int(r->hi));
    }
    const int v = std::min(std::max(value, lo), hi);

    // The message the chart reads back as v, keeping what shares the value (room and early
    // reflections, note ordering and fill-in) as it stands. Highest data first: a switch
    // sends 127 for on.
    const ChartRow* row = nullptr;
    int data = -1;
    for (const ChartRow* r : rows) {
        const std::vector<const ChartRow*> shared = rowsAt(r->via, r->a, r->b);
        for (int d = 127; d >= 0 && !row; --d) {
            int got;
            if (!decodeData(*r, d, got) || got != v) continue;
            bool keeps = true;
            for (const ChartRow* s : shared) {
                int other;
                if (s == r || s->fx != r->fx || s->global != r->global || !decodeData(*s, d, other)) continue;
                if (std::string(s->name) != r->name && other != currentValue(*s, k)) keeps = false;
            }
            if (keeps) row = r, data = d;
        }
        if (row) break;
    }
    if (!row) {
        p.note = "no message carries " + name + " = " + std::to_string(v);
        return p;
    }
    const uint8_t ch = uint8_t(global ? opt_.deviceId : partChannel(k));
    const uint8_t st = uint8_t(0xB0 | (ch & 15));
    if (row->via == Via::CC) {
        messages.push_back({st, row->a, uint8_t(data)});
    } else if (row->via == Via::NRPN) {
        messages = {{st, 99, row->a}, {st, 98, row->b}, {st, 6, uint8_t(data)}};
    } else {
        messages.push_back({kSysExStart, kParamMaker, kParamModel, device(), row->a, uint8_t(std::max(k, 0)), row->b,
                            uint8_t(data), kSysExEnd});
    }
    p.note = applyRow(*row, k, v, v != value ? value : INT_MIN);
    p.transmitted = row->via == Via::SysEx || transmits(0xB);
    if (!p.transmitted) p.note += "; not transmitted (off in the global settings)";
    return p;
}

} // namespace synthsim
