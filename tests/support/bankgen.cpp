#include "bankgen.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>

namespace bankgen {

namespace {

// A small generator so that data bytes vary but every run sees the same files.
struct Lcg {
    uint32_t state;
    explicit Lcg(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
    uint8_t next7() { return uint8_t((state = state * 1103515245u + 12345u) >> 16 & 0x7F); }
};

// Type bytes by kind and message index: as sent, and as stored.
const uint8_t kUsualType[3][3] = {{0x00, 0x1F}, {0x05, 0x1B, 0x20}, {0x0C}};
const uint8_t kStoredType[3][3] = {{0x02, 0x1F}, {0x07, 0x1C, 0x21}, {0x0C}};

Bytes chunk(const char* id, const Bytes& body)
{
    const uint32_t n = uint32_t(body.size());
    Bytes out = {uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3]), uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

const uint8_t kStoredModelByte[4] = {0x20, 0x21, 0x24, 0x23};
const size_t kDumpSize[3][3] = {{297, 99}, {383, 27, 475}, {204}};

int messagesPerEntry(Kind kind, int modelCode)
{
    return kind == Kind::Programs ? (modelCode < 2 ? 1 : 2) : kind == Kind::Performances ? std::min(modelCode + 1, 3) : 1;
}

} // namespace

int modelCodeOf(uint8_t modelByte) { return modelByte == 0x22 || modelByte == 0x24 ? 2 : modelByte - 0x20; }

Bytes makeDump(Kind kind, uint8_t modelByte, int messageIndex, const std::string& name,
               uint8_t category, uint32_t seed, const DumpOptions& options)
{
    size_t size = options.size ? options.size : kDumpSize[int(kind)][messageIndex];
    uint8_t type = options.type == 0xFF ? kUsualType[int(kind)][messageIndex] : options.type;
    Bytes out(size);
    Lcg rng(seed);
    for (size_t i = 0; i < size; ++i) out[i] = rng.next7();
    const uint8_t head[8] = {0xF0, 0x00, 0x20, 0x29, 0x01, modelByte, 0x7F, type};
    for (size_t i = 0; i < 8 && i < size; ++i) out[i] = head[i];
    bool named = kind != Kind::Patterns && messageIndex == 0;
    if (named) {
        for (size_t i = 0; i < 16 && 10 + i < size - 1; ++i)
            out[10 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : ' ';
        if (kind == Kind::Programs && size > 28) out[27] = category;
    }
    out[size - 1] = 0xF7;
    return out;
}

Bytes expectedStored(const Bytes& dump, Kind kind, int modelCode, int messageIndex)
{
    size_t body = dump[7] == 0x22 ? 9 : 8;
    Bytes out(dump.size() - body + 8 - 1);
    const uint8_t head[8] = {0xF0, 0x00, 0x20, 0x29, 0x01, kStoredModelByte[modelCode], 0x0F,
                             kStoredType[int(kind)][messageIndex]};
    std::copy(head, head + 8, out.begin());
    std::copy(dump.begin() + static_cast<long>(body), dump.end() - 1, out.begin() + 8);
    if (kind != Kind::Patterns) {
        if (out.size() >= 201 && out.size() <= 399)
            for (size_t i = 10; i < 26; ++i) out[i] = out[i] < 0x20 ? 0x20 : out[i];
    } else if (out.size() <= 203) {
        for (char c : std::string("Arpeggio********")) out.push_back(uint8_t(c));
    }
    out.push_back(0xF7);
    return out;
}

std::vector<Bytes> synthBanks(Kind kind, int banks)
{
    const bool programs = kind == Kind::Programs;
    std::vector<Bytes> out;
    DumpOptions stored, followUp;
    stored.type = programs ? 0x02 : 0x07;
    followUp.type = 0x1C;
    for (int bank = 0; bank < banks; ++bank)
        for (int s = 0; s < 128; ++s) {
            const uint32_t seed = uint32_t(bank * 128 + s + 1);
            const uint8_t address[2] = {uint8_t((programs ? 5 : 1) + bank), uint8_t(s)};
            out.push_back(makeDump(kind, 0x20, 0, std::string(1, char('A' + bank)) + std::to_string(s),
                                   uint8_t(s % 20), seed, stored));
            if (!programs) out.push_back(makeDump(kind, 0x20, 1, "", 0, seed, followUp));
            for (size_t m = programs ? out.size() - 1 : out.size() - 2; m < out.size(); ++m)
                out[m][8] = address[0], out[m][9] = address[1];
        }
    return out;
}

Bank makeBank(Kind kind, uint8_t modelByte, int count, uint32_t seed)
{
    Bank bank;
    bank.kind = kind;
    bank.modelByte = modelByte;
    int code = modelCodeOf(modelByte);
    int per = messagesPerEntry(kind, code);
    for (int slot = 0; slot < count; ++slot) {
        char name[32];
        std::snprintf(name, sizeof name, "%s %03d", kind == Kind::Programs ? "GenProg" : "GenPerf", slot);
        std::string n = std::string(name) + (slot % 7 == 3 ? "\x05" : ""); // shown as a blank
        uint8_t category = static_cast<uint8_t>((slot * 5 + static_cast<int>(seed)) % 23);
        std::vector<Bytes> messages;
        for (int m = 0; m < per; ++m)
            messages.push_back(makeDump(kind, modelByte, m, n, category, seed * 100003u + static_cast<uint32_t>(slot * 3 + m)));
        bank.entries.push_back(std::move(messages));
        bank.names.push_back(n);
        bank.categories.push_back(category);
    }
    return bank;
}

std::vector<Bytes> messagesOf(const Bank& bank)
{
    std::vector<Bytes> out;
    for (const auto& entry : bank.entries) out.insert(out.end(), entry.begin(), entry.end());
    return out;
}

Bytes rawFile(const std::vector<Bytes>& messages)
{
    Bytes out;
    for (const Bytes& m : messages) out.insert(out.end(), m.begin(), m.end());
    return out;
}

Bytes varLen(uint32_t value)
{
    int groups = 1; // highest group first
    while (groups < 5 && (value >> (7 * groups)) != 0) ++groups;
    Bytes out;
    for (int g = groups - 1; g >= 0; --g) out.push_back(uint8_t((value >> (7 * g) & 0x7F) | (g > 0 ? 0x80 : 0)));
    return out;
}

uint32_t readBig32(const Bytes& data, size_t at)
{
    return uint32_t(data.at(at)) << 24 | uint32_t(data.at(at + 1)) << 16 | uint32_t(data.at(at + 2)) << 8 | data.at(at + 3);
}

Bytes midiFile(const std::vector<Bytes>& messages, const MidiOptions& options)
{
    Bytes file;
    Bytes header = {0x00, 0x01, 0x00, static_cast<uint8_t>(options.extraTrack ? 3 : 2), 0x01, 0xE0};
    auto add = [](Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); };
    add(file, chunk("MThd", header));
    if (options.unknownChunk) add(file, chunk("XQRZ", Bytes{0x00, 0x00, 0x20, 0x00, 0x29, 0x7E}));
    add(file, chunk("MTrk", {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                             0x00, 0xFF, 0x2F, 0x00}));
    Bytes events;
    auto append = [&](const Bytes& b) { add(events, b); };
    for (size_t k = 0; k < messages.size(); ++k) {
        const Bytes& m = messages[k];
        uint32_t delta = k == 0 ? 0 : options.laterDelta;
        if (options.metaEventsBetween) {
            append(varLen(delta));
            append(Bytes{0xFF, 0x01, 0x04, 'n', 'o', 't', 'e'});
            delta = 0;
        }
        append(varLen(delta));
        if (options.splitPackets && m.size() > 4) {
            size_t half = options.firstPacket ? options.firstPacket + 1 : m.size() / 2;
            events.push_back(0xF0);
            append(varLen(static_cast<uint32_t>(half - 1)));
            events.insert(events.end(), m.begin() + 1, m.begin() + static_cast<long>(half));
            append(varLen(options.laterDelta));
            events.push_back(0xF7);
            append(varLen(static_cast<uint32_t>(m.size() - half)));
            events.insert(events.end(), m.begin() + static_cast<long>(half), m.end());
        } else {
            events.push_back(0xF0);
            append(varLen(static_cast<uint32_t>(m.size() - 1)));
            events.insert(events.end(), m.begin() + 1, m.end());
        }
    }
    append(Bytes{0x00, 0xFF, 0x2F, 0x00});
    add(file, chunk("MTrk", events));
    if (options.extraTrack) add(file, chunk("MTrk", {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
    return file;
}

Bytes withJunkBetween(const std::vector<Bytes>& messages, uint32_t seed)
{
    static const Bytes junk[] = {
        {0x00, 0x20, 0x29, 0x10},       // product out of range
        {0x00, 0x20, 0x28, 0x01},       // wrong maker byte
        {0x00, 0x01, 0x00},             // zeros that start nothing
        {0x90, 0x3C, 0x64, 0x00, 0x00}, // a stray note
        {0x00, 0x20, 0x29, 0x01, 0x25}, // model out of range
    };
    Bytes out;
    for (size_t k = 0; k < messages.size(); ++k) {
        out.insert(out.end(), messages[k].begin(), messages[k].end());
        const Bytes& j = junk[(k + seed) % (sizeof junk / sizeof junk[0])];
        out.insert(out.end(), j.begin(), j.end());
    }
    return out;
}

Bytes truncatedLast(const Bytes& file, size_t cut)
{
    return Bytes(file.begin(), file.end() - long(std::min(cut, file.size())));
}

Bytes withoutF7(const std::vector<Bytes>& messages, size_t which)
{
    Bytes out;
    for (size_t k = 0; k < messages.size(); ++k) out.insert(out.end(), messages[k].begin(), messages[k].end() - (k == which));
    return out;
}

Bytes nearMiss(Bytes dump, int field, uint8_t value)
{
    dump.at(size_t(field)) = value;
    return dump;
}

uint32_t crc32(const Bytes& data)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::vector<std::string> logTexts(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.find("\t ") == std::string::npos ? line : line.substr(line.find("\t ") + 2));
    return lines;
}

bool hasLineStarting(const std::vector<std::string>& lines, const std::string& prefix)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

FileSizeLimit::FileSizeLimit(unsigned long limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit l{};
    getrlimit(RLIMIT_FSIZE, &l);
    savedCurrent = l.rlim_cur;
    l.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &l);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit l{};
    getrlimit(RLIMIT_FSIZE, &l);
    l.rlim_cur = savedCurrent;
    setrlimit(RLIMIT_FSIZE, &l);
}

Bytes programBody(const Bytes& program)
{
    const size_t shift = program.size() == 296 ? 0 : 1;
    Bytes out;
    for (size_t at = 9; at + shift < program.size(); ++at)
        if (at != 29 && at != 78 && at != 112) out.push_back(program[at + shift]);
    return out;
}

} // namespace bankgen
