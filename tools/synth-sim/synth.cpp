#include "synth.h"

#include "syxfile.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace synthsim {

namespace {

std::string bankName(int bank) { return std::string(1, char('A' + bank)); }

int requestKey(uint8_t type, uint8_t b8 = 0, uint8_t b9 = 0) { return (type << 16) | (b8 << 8) | b9; }

// Built once: a reset copies it into storage the synthesizer already has.
const SynthMemory& powerOnMemory()
{
    static const SynthMemory m;
    return m;
}

} // namespace

Synth::Synth(const Options& options) { reset(options); }

void Synth::reset(const Options& options)
{
    std::lock_guard<std::mutex> g(lock_);
    opt_ = options;
    if (memoryTouched_) mem_ = powerOnMemory();
    memoryTouched_ = false;
    count_ = Counters{};
    tries_.clear();
    selectedPart_ = 0;
    selectedKind_ = SelectedKind::Program;
    performanceBank_ = 0;
    nrpnMsb_.fill(-1);
    nrpnLsb_.fill(-1);
}

Bytes Synth::foreignSysEx()
{
    // The non-commercial manufacturer id: never part of the family.
    return Bytes{0xF0, 0x7D, 0x51, 0x53, 0x01, 0x02, 0x03, 0xF7};
}

Counters Synth::counters() const
{
    std::lock_guard<std::mutex> g(lock_);
    return count_;
}

SynthMemory Synth::memory() const
{
    std::lock_guard<std::mutex> g(lock_);
    return mem_;
}

void Synth::copyMemory(SynthMemory& into) const
{
    std::lock_guard<std::mutex> g(lock_);
    into = mem_;
}

Options Synth::options() const
{
    std::lock_guard<std::mutex> g(lock_);
    return opt_;
}

void Synth::setOptions(const Options& o)
{
    std::lock_guard<std::mutex> g(lock_);
    opt_ = o;
}

int Synth::selectedPart() const
{
    std::lock_guard<std::mutex> g(lock_);
    return selectedPart_;
}

SelectedKind Synth::selectedKind() const
{
    std::lock_guard<std::mutex> g(lock_);
    return selectedKind_;
}

int Synth::performanceBank() const
{
    std::lock_guard<std::mutex> g(lock_);
    return performanceBank_;
}

int Synth::load(const std::vector<Bytes>& messages, std::vector<std::string>& notes)
{
    std::lock_guard<std::mutex> g(lock_);
    int taken = 0;
    for (const Bytes& m : messages) {
        const std::string where = storeMessage(mem_, m);
        if (where.empty()) {
            notes.push_back("skipped " + std::to_string(m.size()) + "-byte message");
        } else {
            ++taken;
            memoryTouched_ = true;
        }
    }
    return taken;
}

bool Synth::dumpMemory(const std::string& folder, std::string& error) const
{
    SynthMemory copy;
    uint8_t model, dev;
    {
        std::lock_guard<std::mutex> g(lock_);
        copy = mem_;
        model = opt_.model;
        dev = device();
    }
    ::mkdir(folder.c_str(), 0777);
    for (const MemoryFile& f : memoryAsFiles(copy, model, dev))
        if (!writeSyxFile(folder + "/" + f.name, f.messages, error)) return false;
    return true;
}

Handled Synth::receive(const Bytes& m, double time)
{
    std::lock_guard<std::mutex> g(lock_);
    Handled h;
    if (m.empty()) {
        ++count_.ignored;
        h.note = "ignored: empty message";
        return h;
    }
    switch (m[0]) {
    case 0xF8:
        ++count_.clockTicks;
        ++count_.ticksSinceStart;
        if (count_.firstTickTime < 0) count_.firstTickTime = time;
        count_.lastTickTime = time;
        h.note = "clock";
        return h;
    case 0xFA:
        ++count_.starts;
        count_.ticksSinceStart = 0;
        count_.lastStartTime = time;
        h.note = "start";
        return h;
    case 0xFB:
        ++count_.continues;
        h.note = "continue";
        return h;
    case 0xFC:
        ++count_.stops;
        count_.lastStopTime = time;
        h.note = "stop";
        return h;
    case 0xF0:
        ++count_.sysExIn;
        return receiveSysEx(m);
    default:
        break;
    }
    if (m[0] >= 0x80 && m[0] < 0xF0) return receiveChannel(m);
    h.note = m[0] < 0x80 ? "ignored: no status byte" : "system message";
    if (m[0] < 0x80) ++count_.ignored;
    return h;
}

// Program and control changes are received and transmitted as the global settings say; other
// channel messages always are.
bool Synth::receives(int kind) const
{
    const uint8_t f = mem_.global2[kGlobal2Receive];
    return kind == 0xC ? (f & 0x03) != 0 : kind == 0xB ? (f & 0x04) != 0 : true;
}

bool Synth::transmits(int kind) const
{
    const uint8_t f = mem_.global2[kGlobal2Transmit];
    return kind == 0xC ? (f & 0x02) != 0 : kind == 0xB ? (f & 0x04) != 0 : true;
}

int Synth::partBank(int part) const
{
    const int code = mem_.partBlock(part)[kPartBlockBank];
    const int bank = code - kPartBankSelectBase;
    return bank >= 0 && bank < kProgramBanks ? bank : 0;
}

std::vector<Bytes> Synth::performanceEditReply() const
{
    std::vector<Bytes> out;
    out.push_back(buildPerformanceDump(opt_.model, device(), mem_.performanceEdit.data()));
    if (opt_.model == kModelSecond)
        out.push_back(buildFollowUp(opt_.model, device(), mem_.followUpEdit.data()));
    return out;
}

std::vector<Bytes> Synth::editBufferReply() const
{
    const Bytes program = buildProgramDump(opt_.model, device(), uint8_t(selectedPart_),
                                           mem_.partEdit[size_t(selectedPart_)].data());
    switch (opt_.editReply) {
    case EditReply::Program:
        return {program};
    case EditReply::Performance:
        return performanceEditReply();
    case EditReply::AllParts:
    case EditReply::AllPartsThenPerformance: {
        std::vector<Bytes> out;
        for (int p = 0; p < kParts; ++p)
            out.push_back(buildProgramDump(opt_.model, device(), uint8_t(p), mem_.partEdit[size_t(p)].data()));
        if (opt_.editReply == EditReply::AllParts) return out;
        for (Bytes& b : performanceEditReply()) out.push_back(std::move(b));
        return out;
    }
    case EditReply::ProgramThenPerformance: {
        std::vector<Bytes> out{program};
        for (Bytes& b : performanceEditReply()) out.push_back(std::move(b));
        return out;
    }
    case EditReply::Both: {
        std::vector<Bytes> out = performanceEditReply();
        out.push_back(program);
        return out;
    }
    case EditReply::Follow:
    default:
        if (selectedKind_ == SelectedKind::Performance) return performanceEditReply();
        return {program};
    }
}

void Synth::answer(Handled& h, int key, std::vector<Bytes> messages, const char* what)
{
    h.note = what;
    if (opt_.silent) {
        ++count_.requestsUnanswered;
        h.note += ": not answered (silent)";
        return;
    }
    const int arrival = ++tries_[key];
    if (arrival < opt_.answerOnTry) {
        ++count_.requestsUnanswered;
        h.note += ": not answered (try " + std::to_string(arrival) + " of " +
                  std::to_string(opt_.answerOnTry) + ")";
        return;
    }
    ++count_.requestsAnswered;
    h.note += ": answered";
    if (opt_.foreignSysEx) h.replies.push_back({foreignSysEx(), opt_.replyDelayMs, "foreign sysex"});
    for (Bytes& b : messages) {
        std::string note;
        if (opt_.truncateBy > 0) {
            const size_t cut = std::min(size_t(opt_.truncateBy), b.size() - 2);
            b.erase(b.end() - 1 - long(cut), b.end() - 1);
            note = "truncated by " + std::to_string(cut);
        }
        if (opt_.overlongBy > 0) {
            b.insert(b.end() - 1, size_t(opt_.overlongBy), uint8_t(0x00));
            // Both at once leave both in the record.
            note += (note.empty() ? "" : ", ") + std::string("overlong by ") + std::to_string(opt_.overlongBy);
        }
        h.replies.push_back({std::move(b), opt_.replyDelayMs, note});
    }
    if (opt_.replyDelayMs > 0) h.note += " after " + std::to_string(opt_.replyDelayMs) + " ms";
}

Handled Synth::receiveSysEx(const Bytes& m)
{
    Handled h;
    auto ignore = [&](const std::string& why) {
        ++count_.ignored;
        h.note = "ignored: " + why;
        return h;
    };
    if (m.back() != kSysExEnd) return ignore("no F7 at the end");
    if (m.size() > 1 && m[1] == kParamMaker) return receiveParameterSysEx(m);
    if (m.size() < 4 || m[1] != kMaker0 || m[2] != kMaker1 || m[3] != kMaker2)
        return ignore("foreign sysex");
    if (!hasFamilyHeader(m)) return ignore("too short for the family header");
    if (!dataBytesAre7Bit(m)) return ignore("data byte above 7F");
    const uint8_t model = m[5];
    if (model != kModelFirst && model != kModelSecond) return ignore("other model");
    if (opt_.strictModel && model != opt_.model) return ignore("other model");
    if (m[6] != device()) return ignore("addressed to device " + std::to_string(m[6]));

    const uint8_t type = m[7];
    const size_t n = m.size();
    if (type == kTypeEnquiry) {
        if (n != kLenShortRequest) return ignore("enquiry of " + std::to_string(n) + " bytes");
        if (opt_.ignoreEnquiry) {
            // Taken, as a unit that does not answer enquiries takes it: not an ignored message.
            ++count_.requestsUnanswered;
            h.note = "device-id enquiry: not answered (ignores enquiries)";
            return h;
        }
        Bytes g1 = buildGlobal1(opt_.model, device(), mem_.global1.data());
        Bytes g2 = buildGlobal2(opt_.model, device(), mem_.global2.data());
        std::vector<Bytes> out;
        if (opt_.globalsReversed) out = {g2, g1};
        else out = {g1, g2};
        answer(h, requestKey(type), std::move(out),
               opt_.globalsReversed ? "device-id enquiry (globals reversed)" : "device-id enquiry");
        return h;
    }
    if (type == kTypeEditRequest) {
        if (n != kLenShortRequest) return ignore("edit-buffer request of " + std::to_string(n) + " bytes");
        answer(h, requestKey(type), editBufferReply(), "edit-buffer request");
        return h;
    }
    if (type == kTypeStoredRequest) {
        if (n != kLenStoredRequest) return ignore("stored request of " + std::to_string(n) + " bytes");
        const uint8_t code = m[8], slot = m[9];
        if (slot >= kSlots) return ignore("stored request for slot " + std::to_string(slot));
        const int progBank = int(code) - kProgramBankBase;
        const int perfBank = int(code) - kPerformanceBankBase;
        std::vector<Bytes> out;
        std::string what;
        if (progBank >= 0 && progBank < kProgramBanks) {
            const uint8_t* body = mem_.programs[size_t(progBank)][slot].data();
            if (opt_.storedProgramReply == StoredForm::Stored)
                out.push_back(buildStoredProgram(opt_.model, device(), code, slot, body));
            else
                out.push_back(buildProgramDump(opt_.model, device(), 0, body));
            what = "stored program request, bank " + bankName(progBank) + " slot " + std::to_string(slot);
        } else if (perfBank >= 0 && perfBank < kPerformanceBanks) {
            const uint8_t* body = mem_.performances[size_t(perfBank)][slot].data();
            const uint8_t* follow = mem_.followUps[size_t(perfBank)][slot].data();
            const bool second = opt_.model == kModelSecond;
            if (opt_.storedPerformanceReply == StoredForm::Stored) {
                out.push_back(buildStoredPerformance(opt_.model, device(), code, slot, body));
                if (second) out.push_back(buildStoredFollowUp(opt_.model, device(), code, slot, follow));
            } else {
                out.push_back(buildPerformanceDump(opt_.model, device(), body));
                if (second) out.push_back(buildFollowUp(opt_.model, device(), follow));
            }
            what = "stored performance request, bank " + bankName(perfBank) + " slot " + std::to_string(slot);
        } else {
            return ignore("stored request for bank code " + std::to_string(code));
        }
        answer(h, requestKey(type, code, slot), std::move(out), what.c_str());
        return h;
    }

    if (isLibraryOnlyForm(m))
        return ignore("library-only form, type " + toHex(Bytes{type}) + " of " + std::to_string(n) + " bytes");
    const std::string where = storeMessage(mem_, m);
    if (where.empty())
        return ignore("type " + toHex(Bytes{type}) + " of " + std::to_string(n) + " bytes");
    ++count_.stores;
    memoryTouched_ = true;
    h.note = "stored into " + where;
    return h;
}

Played Synth::panel(const Bytes& m)
{
    std::lock_guard<std::mutex> g(lock_);
    Played p;
    if (m.empty() || m[0] < 0x80 || m[0] >= 0xF0) return p;
    p.note = receiveChannel(m, false).note;
    p.transmitted = transmits(m[0] >> 4);
    if (!p.transmitted) p.note += "; not transmitted (off in the global settings)";
    return p;
}

// What the chart made of a controller: its notes, or unmapped (counted when received).
void Synth::chartNote(Handled& h, const std::string& applied, bool received, const char* why)
{
    if (!applied.empty()) {
        h.note += ": " + applied;
        return;
    }
    if (received) ++count_.unmapped;
    h.note += std::string(": unmapped") + why;
}

Handled Synth::receiveChannel(const Bytes& m, bool received)
{
    Handled h;
    const int kind = m[0] >> 4;
    const int ch = m[0] & 15;
    const bool global = ch == opt_.deviceId;
    if (kind == 0xB) {
        if (m.size() != 3 || (m[1] | m[2]) & 0x80) {
            if (received) ++count_.ignored;
            h.note = "ignored: malformed control change";
            return h;
        }
        const int num = m[1], val = m[2];
        h.note = "cc " + std::to_string(num) + " = " + std::to_string(val);
        if (received && !receives(kind)) {
            h.note += ": not received (control changes off in the global settings)";
            return h;
        }
        if (num == 99) {
            nrpnMsb_[size_t(ch)] = val;
        } else if (num == 98) {
            nrpnLsb_[size_t(ch)] = val;
        } else if (num == 6) {
            const int msb = nrpnMsb_[size_t(ch)], lsb = nrpnLsb_[size_t(ch)];
            if (lsb >= 0) {
                h.note = "nrpn " + (msb >= 0 ? std::to_string(msb) : std::string("-")) + "/" +
                         std::to_string(lsb) + " = " + std::to_string(val);
                // Part selection by the quick-tab number on the global channel; the family
                // uses two ranges for the eight parts. The editor selects with CC 98 and
                // CC 6 alone, so the MSB is not looked at.
                const bool low = val >= 55 && val <= 62, high = val >= 76 && val <= 83;
                if (global && lsb == 113 && (low || high)) {
                    selectedPart_ = val - (low ? 55 : 76);
                    h.note += ": part " + std::to_string(selectedPart_ + 1) + " selected";
                } else if (msb < 0) {
                    chartNote(h, "", received, " (no NRPN MSB)");
                } else {
                    chartNote(h, applyAddress(Via::NRPN, msb, lsb, val, ch, 0), received);
                }
            } else {
                chartNote(h, "", received, " (no NRPN number)");
            }
        } else if (num == 32) {
            if (global && val >= kPerformanceBankSelectBase &&
                val < kPerformanceBankSelectBase + kPerformanceBanks) {
                performanceBank_ = val - kPerformanceBankSelectBase;
                h.note += ": performance bank " + bankName(performanceBank_);
            } else {
                std::string parts;
                const int bank = val - kPartBankSelectBase;
                if (!global && bank >= 0 && bank < kProgramBanks) {
                    for (int k = 0; k < kParts; ++k) {
                        uint8_t* block = mem_.partBlock(k);
                        if (block[kPartBlockChannel] == ch) {
                            block[kPartBlockBank] = uint8_t(val);
                            memoryTouched_ = true;
                            parts += " " + std::to_string(k + 1);
                        }
                    }
                }
                h.note += parts.empty() ? ": no bank selected" : ": bank " + bankName(bank) + " for part" + parts;
            }
        } else {
            chartNote(h, applyAddress(Via::CC, num, 0, val, ch, 0), received);
        }
        return h;
    }
    if (kind == 0xC) {
        if (m.size() != 2 || m[1] & 0x80) {
            if (received) ++count_.ignored;
            h.note = "ignored: malformed program change";
            return h;
        }
        const int prog = m[1];
        if (received && !receives(kind)) {
            h.note = "program change " + std::to_string(prog) +
                     ": not received (program changes off in the global settings)";
            return h;
        }
        if (received) ++count_.programChanges;
        if (global) {
            memoryTouched_ = true;
            mem_.performanceEdit = mem_.performances[size_t(performanceBank_)][size_t(prog)];
            mem_.followUpEdit = mem_.followUps[size_t(performanceBank_)][size_t(prog)];
            selectedKind_ = SelectedKind::Performance;
            h.note = "program change: performance bank " + bankName(performanceBank_) + " slot " +
                     std::to_string(prog);
            return h;
        }
        std::string parts;
        int first = -1;
        for (int k = 0; k < kParts; ++k) {
            uint8_t* block = mem_.partBlock(k);
            if (block[kPartBlockChannel] != ch) continue;
            const int bank = partBank(k);
            memoryTouched_ = true;
            mem_.partEdit[size_t(k)] = mem_.programs[size_t(bank)][size_t(prog)];
            block[kPartBlockProgram] = uint8_t(prog);
            parts += " " + std::to_string(k + 1) + " (bank " + bankName(bank) + ")";
            if (first < 0) first = k;
        }
        if (first < 0) {
            h.note = "program change " + std::to_string(prog) + ": no part on channel " + std::to_string(ch);
            return h;
        }
        selectedPart_ = first;
        selectedKind_ = SelectedKind::Program;
        h.note = "program change " + std::to_string(prog) + ": part" + parts;
        return h;
    }
    h.note = "channel message";
    return h;
}

} // namespace synthsim
