#include "script.h"

#include "options.h"

#include <sstream>

namespace synthsim {

namespace {

bool hexByte(const std::string& s, uint8_t& out)
{
    std::string t = s;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
    if (t.empty() || t.size() > 2) return false;
    unsigned v = 0;
    for (char c : t) {
        v <<= 4;
        if (c >= '0' && c <= '9') v |= unsigned(c - '0');
        else if (c >= 'a' && c <= 'f') v |= unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') v |= unsigned(c - 'A' + 10);
        else return false;
    }
    out = uint8_t(v);
    return true;
}

} // namespace

bool parseCommand(const std::string& line, Command& out, std::string& error)
{
    out = Command{};
    std::istringstream in(line);
    std::vector<std::string> w;
    std::string tok;
    while (in >> tok) w.push_back(tok);
    if (w.empty() || w[0][0] == '#') return true;

    const std::string& verb = w[0];
    std::vector<long> n;
    auto numbers = [&](size_t count, const std::vector<std::pair<long, long>>& ranges) {
        if (w.size() != count + 1) {
            error = verb + " takes " + std::to_string(count) + " numbers";
            return false;
        }
        n.clear();
        for (size_t i = 0; i < count; ++i) {
            long v;
            if (!parseNumber(w[i + 1], ranges[i].first, ranges[i].second, v)) {
                error = verb + ": \"" + w[i + 1] + "\" is not a number from " +
                        std::to_string(ranges[i].first) + " to " + std::to_string(ranges[i].second);
                return false;
            }
            n.push_back(v);
        }
        return true;
    };

    if (verb == "cc") {
        if (!numbers(3, {{0, 15}, {0, 127}, {0, 127}})) return false;
        out.kind = Command::Send;
        out.fromPanel = true;
        out.messages.push_back({uint8_t(0xB0 | n[0]), uint8_t(n[1]), uint8_t(n[2])});
        return true;
    }
    if (verb == "nrpn") {
        if (!numbers(4, {{0, 15}, {0, 127}, {0, 127}, {0, 127}})) return false;
        const uint8_t st = uint8_t(0xB0 | n[0]);
        out.kind = Command::Send;
        out.fromPanel = true;
        out.messages = {{st, 99, uint8_t(n[1])}, {st, 98, uint8_t(n[2])}, {st, 6, uint8_t(n[3])}};
        return true;
    }
    if (verb == "pc") {
        if (!numbers(2, {{0, 15}, {0, 127}})) return false;
        out.kind = Command::Send;
        out.fromPanel = true;
        out.messages.push_back({uint8_t(0xC0 | n[0]), uint8_t(n[1])});
        return true;
    }
    if (verb == "param") {
        if (w.size() != 4) {
            error = "param takes a name, a part and a value";
            return false;
        }
        const std::string name = w[1];
        w.erase(w.begin() + 1);
        if (!numbers(2, {{0, 8}, {0, 127}})) return false;
        out.kind = Command::Param;
        out.arg = name;
        out.part = int(n[0]);
        out.number = int(n[1]);
        return true;
    }
    if (verb == "raw") {
        if (w.size() < 2) {
            error = "raw needs at least one hex byte";
            return false;
        }
        Bytes b;
        for (size_t i = 1; i < w.size(); ++i) {
            uint8_t v;
            if (!hexByte(w[i], v)) {
                error = "raw: \"" + w[i] + "\" is not a hex byte";
                return false;
            }
            b.push_back(v);
        }
        out.kind = Command::Send;
        out.messages.push_back(std::move(b));
        return true;
    }
    if (verb == "wait") {
        if (!numbers(1, {{0, 600000}})) return false;
        out.kind = Command::Wait;
        out.waitMs = int(n[0]);
        return true;
    }
    if (verb == "dump") {
        if (w.size() != 2) {
            error = "dump takes one folder";
            return false;
        }
        out.kind = Command::Dump;
        out.arg = w[1];
        return true;
    }
    if (verb == "option") {
        if (w.size() < 2 || w.size() > 3) {
            error = "option takes a name and at most one value";
            return false;
        }
        out.kind = Command::Option;
        out.arg = w[1];
        if (w.size() == 3) out.value = w[2];
        return true;
    }
    if (verb == "stats" || verb == "quit") {
        if (w.size() != 1) {
            error = verb + " takes nothing";
            return false;
        }
        out.kind = verb == "stats" ? Command::Stats : Command::Quit;
        return true;
    }
    error = "unknown command \"" + verb + "\"";
    return false;
}

} // namespace synthsim
