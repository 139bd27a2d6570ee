// Every parameter a dump carries needs a range from the chart: a parser sets it through the
// parameter's clamp, so a parameter the chart never mentions keeps the framework's 0..1 and
// turns a received byte into another one on its way back. The dumps are probed through the
// editor's own parsers, so the check follows their layouts without a copy of them.
#include "chart.h"

#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/ParamTable.h"
#include "Project_Source/src/PerformanceDump.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/SysexFamily.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>

namespace makeconfig
{

namespace
{

namespace sx = SysexFamily;

// Bytes that set each bit once and clear it once: a field that follows all of them is the byte.
constexpr int kProbes[] = {0, 1, 2, 4, 8, 16, 32, 64, 127, 85, 42};

struct Carried {
    std::string where; // the first message and byte that carry it
    bool plain = true; // read as the byte itself wherever it is carried
};

using SetValue = std::function<void(int, double)>;
using Reader = std::function<void(const uint8_t*, size_t, const SetValue&)>;

// Probes each byte from first to last of a message whose frame is given; notes every parameter
// whose value follows the byte.
void probe(const char* message, std::vector<uint8_t> frame, size_t first, size_t last, const Reader& read,
           std::map<int, Carried>* carried)
{
    constexpr size_t kCount = std::size(kProbes);
    constexpr double kUnset = -1e9; // a probe that left the parameter alone
    std::vector<double> values(kCount * kParameterCount, kUnset);
    std::vector<int> touched;
    std::vector<char> isTouched(kParameterCount, 0);
    for (size_t at = first; at <= last; ++at) {
        for (size_t n = 0; n < kCount; ++n) {
            frame[at] = uint8_t(kProbes[n]);
            read(frame.data(), frame.size(), [&](int id, double v) {
                if (id < 0 || id >= kParameterCount) return;
                if (!isTouched[size_t(id)]) isTouched[size_t(id)] = 1, touched.push_back(id);
                values[size_t(id) * kCount + n] = v;
            });
        }
        for (int id : touched) {
            const double* v = &values[size_t(id) * kCount];
            bool varies = false, same = true;
            for (size_t n = 0; n < kCount; ++n) {
                varies = varies || v[n] != v[0];
                same = same && v[n] == kProbes[n];
            }
            if (varies) {
                auto [it, fresh] = carried->emplace(id, Carried());
                if (fresh) it->second.where = std::string(message) + " byte " + std::to_string(at);
                it->second.plain = it->second.plain && same;
            }
            std::fill(values.begin() + long(size_t(id) * kCount), values.begin() + long(size_t(id + 1) * kCount),
                      kUnset);
            isTouched[size_t(id)] = 0;
        }
        touched.clear();
        frame[at] = 0;
    }
}

std::vector<uint8_t> frameOf(size_t size, uint8_t type)
{
    std::vector<uint8_t> m(size, 0);
    m[0] = sx::kStart;
    std::copy(std::begin(sx::kMakerId), std::end(sx::kMakerId), m.begin() + 1);
    m[4] = sx::kFixed;
    m[sx::kModelAt] = sx::kModelFirst;
    m[sx::kTypeAt] = type;
    m.back() = sx::kEnd;
    return m;
}

std::map<int, Carried> carriedByDumps()
{
    std::map<int, Carried> carried;
    for (int part = 0; part < ProgramDump::kParts; ++part) {
        std::vector<uint8_t> frame = frameOf(ProgramDump::kSize, sx::kTypeProgramDump);
        frame[ProgramDump::kPartAt] = uint8_t(part);
        const ProgramDump::Locks none([](int) { return 0.0; }, part);
        const Reader read = [&](const uint8_t* m, size_t, const SetValue& set) {
            ProgramDump::readParameters(m, part, none, set);
        };
        probe("the program dump", frame, ProgramDump::kFirstParameterAt, ProgramDump::kLastParameterAt, read, &carried);
    }
    const PerformanceDump::ReadOptions options;
    const struct {
        const char* name;
        size_t size;
        uint8_t type;
        size_t first; // the first byte a parameter may take
        Reader read;
    } messages[] = {
        {"the performance dump", sx::kPerformanceDumpSize, sx::kTypePerformanceDump, PerformanceDump::kFlagsAt,
         [&](const uint8_t* m, size_t n, const SetValue& set) { PerformanceDump::readDump(m, n, set, options); }},
        {"the performance follow-up", sx::kFollowUpSize, sx::kTypePerformanceFollowUp, sx::kHeaderSize,
         [&](const uint8_t* m, size_t n, const SetValue& set) { PerformanceDump::readFollowUp(m, n, set, options); }},
        {"the first global dump", sx::kGlobalFirstSize, sx::kTypeGlobalFirst, sx::kDeviceAt, GlobalDumps::readFirst},
        {"the second global dump", sx::kGlobalSecondSize, sx::kTypeGlobalSecond, sx::kDeviceAt,
         GlobalDumps::readSecond},
    };
    for (const auto& m : messages) probe(m.name, frameOf(m.size, m.type), m.first, m.size - 2, m.read, &carried);
    return carried;
}

// A parameter's registered name, and its part where it has eight (-1 where it has one).
std::string nameOf(int id, int* part)
{
    *part = -1;
    for (size_t i = kParamTableSize; i-- > 0;) {
        const ParamTableRow& r = kParamTable[i];
        if (r.id > id) continue;
        if (id >= r.id + r.parts) break;
        if (r.parts > 1) *part = id - r.id;
        return r.name;
    }
    return "parameter " + std::to_string(id);
}

// A row whose values are choices the chart names: a list, numbered entries, buttons or a switch.
bool choicesNamed(const Row& row)
{
    const std::string& t = row.type;
    return !row.list.empty() || row.displayFirst != row.displayLast || t.find("Button") != std::string::npos ||
           t == "switch" || t == "autooff" || t == "radio";
}

} // namespace

bool configuredRange(const Row& row, int* first, int* last)
{
    const std::string& t = row.type;
    const std::vector<int>& b = row.bounds;
    if (t == "switch" || t == "autooff") {
        *first = 0, *last = 1;
    } else if (t == "radio" && !b.empty()) {
        *first = 0, *last = b[0] - 1;
    } else if ((t == "dropSelection" || t == "multiFxMenu") && b.size() >= 5) {
        *first = 0, *last = b[4] - b[3] - 1;
    } else if (t == "range" && b.size() >= 3) {
        *first = 0, *last = b[2] - b[1] - 1;
    } else if (!isPlainType(t) && b.size() >= (t == "seButton" ? 1u : 3u)) {
        valueRange(row, first, last);
    } else {
        return false;
    }
    return true;
}

void checkDumpRanges(const Chart& chart, std::vector<std::string>* errors)
{
    std::map<int, const Row*> rowOf; // the last row built for each id decides its range
    for (const Element& e : chart.elements) rowOf[e.id] = e.row;
    // A parameter without a range is told once, with the parts that lack one.
    std::map<std::string, std::pair<std::string, std::vector<int>>> missing;
    std::vector<std::string> order;
    static const std::map<int, Carried> kCarried = carriedByDumps(); // the parsers' layouts, not the chart's
    for (const auto& [id, c] : kCarried) {
        auto it = rowOf.find(id);
        int first = 0, last = 0;
        if (it == rowOf.end() || !configuredRange(*it->second, &first, &last)) {
            int part = -1;
            const std::string name = nameOf(id, &part);
            auto [m, fresh] = missing.emplace(name, std::make_pair(c.where, std::vector<int>()));
            if (fresh) order.push_back(name);
            if (part >= 0) m->second.second.push_back(part + 1);
            continue;
        }
        const Row& row = *it->second;
        if (c.plain && !choicesNamed(row) && (first != 0 || last != 127))
            errors->push_back("chart.tsv:" + std::to_string(row.line) + ": " + row.name + ": " + c.where +
                              " carries it as a plain byte, but its range is " + std::to_string(first) + " to " +
                              std::to_string(last) + ", not 0 to 127");
    }
    for (const std::string& name : order) {
        const auto& [where, parts] = missing[name];
        std::string which;
        if (!parts.empty() && parts.size() < size_t(ProgramDump::kParts)) {
            which = " (part";
            for (size_t i = 0; i < parts.size(); ++i)
                which += (i ? ", " : parts.size() > 1 ? "s " : " ") + std::to_string(parts[i]);
            which += ")";
        }
        errors->push_back("chart.tsv: " + name + which + ": " + where + " carries it, but no row gives it a range");
    }
}

} // namespace makeconfig
