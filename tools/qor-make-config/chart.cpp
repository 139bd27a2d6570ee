#include "chart.h"

#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/NrpnDecoding.h"
#include "Project_Source/src/ParamTable.h"

#include <algorithm>
#include <functional>
#include <cstdlib>
#include <set>
#include <sstream>

namespace makeconfig {

std::string writeLayout(const Chart& chart);
std::string writeSysex(const Chart& chart);
std::string writeListing(const Chart& chart);
std::string writeLabels(const Chart& chart);

namespace {

constexpr int kParts = 8;
constexpr int kLastId = kParameterCount - 1;
constexpr int kMultiFxFirst = 2209, kMultiFxLast = 2496;
constexpr int kPatternDumpType = 13;

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> out;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, sep)) out.push_back(item);
    if (!text.empty() && text.back() == sep) out.push_back("");
    return out;
}

bool toInt(const std::string& text, int* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || v < -100000 || v > 100000) return false;
    *value = static_cast<int>(v);
    return true;
}

bool toInts(const std::string& text, char sep, std::vector<int>* values)
{
    values->clear();
    for (const std::string& item : split(text, sep)) {
        int v = 0;
        if (!toInt(item, &v)) return false;
        values->push_back(v);
    }
    return !values->empty();
}

const ParamTableRow* registered(const std::string& name)
{
    for (size_t i = 0; i < kParamTableSize; ++i)
        if (name == kParamTable[i].name) return &kParamTable[i];
    return nullptr;
}

// The per-part block an id belongs to, and the part within it.
int baseOf(int id)
{
    for (size_t i = kParamTableSize; i-- > 0;)
        if (kParamTable[i].id <= id) return id < kParamTable[i].id + kParamTable[i].parts ? kParamTable[i].id : id;
    return id;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The performance-effects twin of a part's effect parameter: kFX... and kFXMulti... of one name.
int twinOf(int base)
{
    for (size_t i = 0; i < kParamTableSize; ++i)
        if (kParamTable[i].id == base) {
            const ParamTableRow* twin = registered("kFXMulti" + std::string(kParamTable[i].name + 3));
            return twin ? twin->id : -1;
        }
    return -1;
}

bool isCCType(const std::string& t) { return startsWith(t, "cc"); }
bool isNrpnType(const std::string& t) { return startsWith(t, "msbLsb"); }
bool isMenu(const std::string& t) { return t == "ccMenu" || t == "msbLsbMenu" || t == "seMenu"; }
bool isButton(const std::string& t) { return t == "ccButton" || t == "msbLsbButton" || t == "seButton"; }
bool isSlider(const std::string& t) { return t.find("Slider") != std::string::npos; }

bool knownType(const std::string& t)
{
    static const char* kTypes[] = {"seKnob",   "seSliderVer", "seSliderHor", "seButton",     "ccSliderVer",
                                   "ccSliderHor", "ccKnob",   "ccButton",    "msbLsbKnob",   "msbLsbButton",
                                   "msbLsbMenu", "seMenu",    "ccMenu"};
    return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* k) { return t == k; });
}

bool isGridType(const std::string& t) { return t == "switch" || t == "autooff" || t == "radio"; }

bool isVocoderId(int id) { return (id >= 1776 && id <= 1799) || (id >= 2521 && id <= 2544); }
bool isMultiFx(int id) { return id >= kMultiFxFirst && id <= kMultiFxLast; }
bool inBlock(int id, int base) { return id >= base && id < base + kParts; }

bool isWideMixerLayer(const std::string& layer)
{
    return isMixerLayer(layer) || layer == "vocoderLayer" || layer == "arpTempoLayer";
}

// Read-out lists (the value read-out shows these lists' entries for these parameters).
struct ReadoutList {
    int base;
    const char* list;
};
const ReadoutList kReadoutLists[] = {
    {kOscillator1Octave, "oscillatorOctave"}, {kOscillator2Octave, "oscillatorOctave"},
    {kOscillator3Octave, "oscillatorOctave"}, {kOscillator1Waveform, "oscillatorShape"},
    {kOscillator2Waveform, "oscillatorShape"}, {kOscillator3Waveform, "oscillatorShape"},
    {kGlobalTempo, "tempoValues"},            {kArpSpeed, "tempoValues"},
    {kFXReverbRoom, "roomType"},              {kFXMultiReverbRoom, "roomType"},
    {kGlideType, "glideType"},                {kUnisonMode, "unisonMode"},
    {kFilterSlope, "filterSlope"},            {kFilterType, "filterType"},
    {kFilterWidth, "filterWidth"},            {kGlobalMidiChannel, "globalChannel"},
    {kLFO1Waveform, "lfoShape"},              {kLFO2Waveform, "lfoShape"},
    {kMultiPartKeyLow, "keyList"},            {kMultiPartKeyHigh, "keyList"},
    {kMultiPartMIDICh, "partMidiChannel"},    {kMultiPartOutput, "outputList"},
    {kFXPassToFXConfig, "passToEffects"},     {kFXMultiPassToFXConfig, "passToEffects"},
    {kFXRoutingConfig, "fxRouting"},          {kFXMultiRoutingConfig, "fxRouting"},
    {kMultiPartSustain, "sustainPedal"},      {kFXMultiDelaySync, "syncRatio"},
    {kLFO1Sync, "syncRatio"},                 {kLFO2Sync, "syncRatio"},
    {kFXDelaySync, "syncRatio"},              {kFXDelayRatio, "delayRatio"},
    {kFXMultiDelayRatio, "delayRatio"},       {kLFO1Range, "lfoRange"},
    {kLFO2Range, "lfoRange"},                 {kMultiPartPolyphony, "multiPartPolyphony"},
    {kGlobalBreathMode, "breathModeList"},    {kGlobalPedalSensitivity, "controlList"},
    {kGlobalBreathSensing, "breathSensing"},  {kGlobalInputSw1, "inputSwitchList"},
    {kGlobalInputSw2, "inputSwitchList"},     {kVocoderInput, "vocoderInput"},
    {kVocoderInsert, "vocoderInsert"},        {kGlobalPedalSw3, "pedalSwitchList"},
    {kFXPanType, "panType"},                  {kFXMultiPanType, "panType"},
    {kArpBank, "arpBank"},                    {kArpVelocity, "arpVelocity"},
    {kArpQuantize, "arpQuantize"},            {kArpSync, "arpSyncRatio"},
    {kArpSendNotesTo, "arpNotesTo"},          {kArpNoteOrdering, "arpNoteOrdering"},
    {kMultiPartVeloCurve, "velocityCurve"},
};

// Lists that must hold exactly this many texts; another count fails the build.
struct FixedLength {
    const char* list;
    size_t length;
};
const FixedLength kFixedLengths[] = {
    {"categoryName", 20}, {"tempoValues", 128}, {"keyList", 128}, {"partMidiChannel", 17}, {"fxRouting", 19}};

// The 39 lists the controller and the read-out look up by name.
const char* const kRequiredLists[] = {
    "categoryName", "oscillatorOctave", "oscillatorShape", "tempoValues",  "roomType",        "glideType",
    "unisonMode",   "filterSlope",      "filterType",      "filterWidth",  "globalChannel",   "lfoShape",
    "keyList",      "partMidiChannel",  "outputList",      "passToEffects", "fxRouting",      "sustainPedal",
    "syncRatio",    "delayRatio",       "lfoRange",        "multiPartPolyphony", "breathModeList", "controlList",
    "breathSensing", "inputSwitchList", "vocoderInput",    "vocoderInsert", "pedalSwitchList", "panType",
    "arpBank",      "arpVelocity",      "arpQuantize",     "arpSyncRatio", "arpNotesTo",      "arpNoteOrdering",
    "velocityCurve", "arpGateVelo",     "dataType"};

// Two parameters whose controls share one incoming address: the first is filed first, so the
// second is the one found.
struct Share {
    int first, second;
};
const Share kShares[] = {
    {kFXReverbRoom, kFXReverbEarlyRef}, {kFXMultiReverbRoom, kFXMultiReverbEarlyRef}, {kArpFillIn, kArpNoteOrdering}};

class Generator {
public:
    Generator(Chart& chart, std::vector<std::string>& errors) : c(chart), mErrors(errors) {}

    void readLists(const std::string& text);
    void readSections(const std::string& text);
    void readChart(const std::string& text);
    void expand();
    void check();
    void listLabels();
    const Layer* pictureOf(const std::string& layer);

private:
    struct Section {
        std::string name, parent;
        int x = 0, y = 0, w = 0, h = 0, cols = 0, rows = 0, cellW = 0, cellH = 0, used = 0;
        bool titled = false, rowNames = false, partColumns = false;
        std::string trim; // a leading word group of the chart's labels that the title says already
        int line = 0;
    };

    void fail(const Row& row, const std::string& what)
    {
        mErrors.push_back("chart.tsv:" + std::to_string(row.line) + ": " + row.name + ": " + what);
    }
    void failLine(const char* file, int line, const std::string& what)
    {
        mErrors.push_back(std::string(file) + ":" + std::to_string(line) + ": " + what);
    }
    Layer* layerNamed(const std::string& name)
    {
        for (Layer& l : c.layers)
            if (l.name == name) return &l;
        return nullptr;
    }
    struct Placed {
        const Row* row;
        int part; // -1, or the part of a row spread over channels
        std::string layer, section;
    };
    void place(Element& e, const Row& row, const std::string& section);
    void placeName(Element& e, const Row& row, const Section& s, int col, int cellX, int cellY);

    void walk(const std::string& parent, int part);
    void emit(const std::string& layer, int part);
    int templateIndex(const Row& row, int partByte);
    void checkRow(const Row& row);
    void checkPlainRow(const Row& row);
    void checkPlacement();
    void checkElement(const Element& e);
    void checkNrpn(const Element& e);
    void checkKeys();
    void checkTwins();

    Chart& c;
    std::vector<std::string>& mErrors;
    std::vector<Section> mSections;
    std::map<std::string, int> mDefaultCells;
    std::vector<Placed> mPlaced;
    std::map<std::pair<const Row*, int>, Element> mPlaces;
    std::map<std::vector<int>, int> mTemplateIndex;
};

void Generator::readLists(const std::string& text)
{
    int line = 0;
    std::string last;
    for (const std::string& raw : split(text, '\n')) {
        ++line;
        if (raw.empty() || raw[0] == '#') continue;
        std::vector<std::string> fields = split(raw, '\t');
        std::string name = fields[0];
        if (name.empty()) {
            if (last.empty()) {
                failLine("lists.tsv", line, "continuation line without a list");
                continue;
            }
            name = last;
        } else {
            if (c.lists.count(name)) failLine("lists.tsv", line, name + ": list given twice");
            c.lists[name].clear();
            c.listOrder.push_back(name);
        }
        last = name;
        c.lists[name].insert(c.lists[name].end(), fields.begin() + 1, fields.end());
    }
    for (const char* name : kRequiredLists)
        if (!c.lists.count(name)) failLine("lists.tsv", 0, std::string(name) + ": list missing");
    for (const FixedLength& f : kFixedLengths)
        if (c.lists.count(f.list) && c.lists[f.list].size() != f.length)
            failLine("lists.tsv", 0, std::string(f.list) + ": list holds " + std::to_string(c.lists[f.list].size()) +
                                         " texts, not " + std::to_string(f.length));
}

void Generator::readSections(const std::string& text)
{
    int line = 0;
    for (const std::string& raw : split(text, '\n')) {
        ++line;
        if (raw.empty() || raw[0] == '#') continue;
        const std::vector<std::string> f = split(raw, '\t');
        std::vector<int> rect;
        if (f.size() < 8 || !toInts(f[4] + "," + f[5] + "," + f[6] + "," + f[7], ',', &rect)) {
            failLine("sections.tsv", line, "row needs kind, name, parent, image and a rectangle");
            continue;
        }
        const std::string& kind = f[0];
        if (kind == "section") {
            Section s;
            s.name = f[1];
            s.parent = f[2] == "-" ? "" : f[2];
            s.x = rect[0];
            s.y = rect[1];
            s.w = rect[2];
            s.h = rect[3];
            s.line = line;
            s.titled = f.size() > 8 && f[8] != "-" && !f[8].empty();
            if (f.size() > 14 && f[14] != "-") {
                for (const std::string& flag : split(f[14], ','))
                    if (flag == "rownames") s.rowNames = true;
                    else if (flag == "partcolumns") s.partColumns = true;
                    else if (startsWith(flag, "trim=")) {
                        s.trim = flag.substr(5) + " "; // trim=Osc_1: "Osc 1 "
                        std::replace(s.trim.begin(), s.trim.end(), '_', ' ');
                    }
                    else failLine("sections.tsv", line, s.name + ": unknown flag " + flag);
            }
            std::vector<int> grid;
            if (f.size() >= 13 && toInts(f[9] + "," + f[10] + "," + f[11] + "," + f[12], ',', &grid)) {
                s.cols = grid[0];
                s.rows = grid[1];
                s.cellW = grid[2];
                s.cellH = grid[3];
            }
            mSections.push_back(s);
        } else if (kind == "page" || kind == "panel" || kind == "window" || kind == "strip") {
            Layer l;
            l.name = f[1];
            l.parent = f[2] == "-" ? "" : f[2];
            l.image = f[3] == "-" ? "" : f[3];
            l.kind = kind;
            l.multi = kind == "panel";
            l.x = rect[0];
            l.y = rect[1];
            l.w = rect[2];
            l.h = rect[3];
            int siblings = 0;
            for (const Layer& other : c.layers) siblings += other.parent == l.parent;
            l.id = siblings;
            if (f.size() > 13 && f[13] != "-" && !toInt(f[13], &l.id))
                failLine("sections.tsv", line, l.name + ": id is not a number");
            if (f.size() > 14 && f[14] != "-") {
                for (const std::string& flag : split(f[14], ',')) {
                    std::vector<int> range;
                    if (flag == "alt") l.alt = true;
                    else if (flag == "overlay") l.overlay = true;
                    else if (startsWith(flag, "pages=") && toInts(flag.substr(6), '-', &range)) {
                        l.firstPage = range.front();
                        l.lastPage = range.back();
                    } else {
                        failLine("sections.tsv", line, l.name + ": unknown flag " + flag);
                    }
                }
            }
            if (layerNamed(l.name)) failLine("sections.tsv", line, l.name + ": layer given twice");
            c.layers.push_back(l);
        } else {
            failLine("sections.tsv", line, "unknown kind " + kind);
        }
    }
}

void Generator::readChart(const std::string& text)
{
    int line = 0;
    for (const std::string& raw : split(text, '\n')) {
        ++line;
        if (raw.empty() || raw[0] == '#') continue;
        const std::vector<std::string> f = split(raw, '\t');
        Row row;
        row.line = line;
        row.name = f[0];
        if (f.size() != 11) {
            fail(row, "row has " + std::to_string(f.size()) + " columns, not 11");
            continue;
        }
        row.label = f[1];
        row.type = f[2];
        row.image = f[3] == "-" ? "" : f[3];
        if (!toInts(f[4], ',', &row.bounds)) fail(row, "valueBounds are not a list of numbers");
        if (f[5].find(':') != std::string::npos) {
            std::vector<int> pair;
            if (toInts(f[5], ':', &pair) && pair.size() == 2) {
                row.displayFirst = pair[0];
                row.displayLast = pair[1];
            } else {
                fail(row, "value display is not two numbers");
            }
        } else if (f[5] != "-") {
            row.list = f[5];
        }
        const std::string& a = f[6];
        std::vector<int> n;
        if (startsWith(a, "cc:") && toInts(a.substr(3), '/', &n) && n.size() == 1) {
            row.address.kind = AddressKind::CC;
            row.address.cc = n[0];
        } else if (startsWith(a, "nrpn:") && toInts(a.substr(5), '/', &n) && n.size() == 3) {
            row.address.kind = AddressKind::NRPN;
            row.address.msb = n[0];
            row.address.lsb = n[1];
            row.address.base = n[2];
        } else if (startsWith(a, "sx:") && toInts(a.substr(3), '/', &n) && n.size() == 2) {
            row.address.kind = AddressKind::SysEx;
            row.address.type = n[0];
            row.address.param = n[1];
        } else if (a != "-") {
            fail(row, "address " + a + " is not cc:N, nrpn:MSB/LSB/BASE or sx:TYPE/PARAM");
        }
        if (f[7] == "parts") row.channel = -1;
        else if (f[7] != "-" && !toInt(f[7], &row.channel)) fail(row, "channel is not a number");
        row.link = f[8] == "-" ? "" : f[8];
        row.layer = f[9] == "-" ? "" : f[9];
        row.section = f[10] == "-" ? "" : f[10];
        if (row.section.rfind("@", 0) == 0) {
            std::vector<int> at;
            if (toInts(row.section.substr(1), ',', &at) && at.size() == 2) {
                row.atX = at[0];
                row.atY = at[1];
            } else {
                fail(row, "position " + row.section + " is not @x,y");
            }
            row.section.clear();
        }
        if (const ParamTableRow* reg = registered(row.name)) {
            row.id = reg->id;
            row.idsOwned = reg->parts;
        } else {
            fail(row, "name is not registered");
        }
        c.rows.push_back(row);
    }
}

int Generator::templateIndex(const Row& row, int partByte)
{
    const std::vector<int> bytes = {0x3E, 0x0F, 0x00, row.address.type, partByte, row.address.param, 0x00};
    auto it = mTemplateIndex.find(bytes);
    if (it != mTemplateIndex.end()) return it->second;
    c.templates.push_back(bytes);
    return mTemplateIndex[bytes] = static_cast<int>(c.templates.size()) - 1;
}

void Generator::place(Element& e, const Row& row, const std::string& section)
{
    // A control that sends nothing takes the size it is given; the others take their cell.
    const std::vector<int>& b = row.bounds;
    if (row.type == "range") return; // builds no control: nowhere to be
    const bool sized = isPlainType(row.type) && !isGridType(row.type) && row.type != "patchBrowser";
    if (row.type == "patchBrowser" && b.size() == 4) {
        e.x = b[0], e.y = b[1], e.w = b[2], e.h = b[3];
        return;
    }
    if (row.atX >= 0) {
        e.x = row.atX, e.y = row.atY;
        e.w = sized && b.size() >= 2 ? b[0] : 56, e.h = sized && b.size() >= 2 ? b[1] : 56;
        return;
    }
    for (Section& s : mSections) {
        if (s.name != section || s.cols <= 0) continue;
        const int cell = s.used++;
        if (s.rows > 0 && cell >= s.cols * s.rows) fail(row, "section " + s.name + " is full");
        const int left = s.x + (s.titled ? kTitledInset : 0) + (s.rowNames ? kRowNameWidth : 0);
        const int top = s.y + (s.titled ? kTitleBar : 0) + (s.partColumns ? kLabelLine + 2 : 0);
        const int cellX = left + (cell % s.cols) * s.cellW, cellY = top + (cell / s.cols) * s.cellH;
        if (cellX + s.cellW > s.x + s.w || cellY + s.cellH > s.y + s.h)
            fail(row, "its cell lies outside section " + s.name);
        e.x = cellX;
        e.y = cellY;
        e.w = s.cellW;
        e.h = s.cellH;
        if (sized && b.size() >= 2) e.w = b[0], e.h = b[1];
        placeName(e, row, s, cell % s.cols, cellX, cellY);
        return;
    }
    if (!section.empty()) fail(row, "section " + section + " is not in sections.tsv");
    // Until the layout places it: a grid per layer under the top strip.
    const int cell = mDefaultCells[e.layer]++;
    e.x = 20 + (cell % 18) * 80;
    e.y = 110 + (cell / 18) * 64;
    e.w = 80;
    e.h = 64;
    if (sized && b.size() >= 2) e.w = b[0], e.h = b[1];
}

namespace {

// Buttons whose face says what they do: placed by their face, drawn without a name.
struct TextFace {
    const char* image;
    int w, h;
};
const TextFace kTextFaces[] = {{"BUTTON_LIB_DISCARD_ID", 80, 20},      {"BUTTON_BANK_OVERWRITE_ID", 80, 20},
                               {"BUTTON_LIB_PATTERN_MODE_ID", 80, 20}, {"BUTTON_BANK_RECALL_ID", 80, 20},
                               {"BUTTON_BANK_SEARCH_ID", 60, 20}};

// The face a control draws, where its image or kind fixes it: knobs, the generic buttons that
// carry no text of their own, menus and name fields get a drawn name (*named); buttons that say
// what they do only their place.
bool faceOf(const Row& row, int* w, int* h, bool* named)
{
    const std::string& i = row.image;
    const std::vector<int>& b = row.bounds;
    *named = true;
    for (const TextFace& t : kTextFaces)
        if (i == t.image) {
            *w = t.w, *h = t.h, *named = false;
            return row.type != "radio";
        }
    if (row.type.find("Menu") != std::string::npos && row.type != "multiFxMenu") {
        *w = kMenuWidth, *h = kMenuHeight;
    } else if (i == "IKNOBROTATERCONTROL_ID3") {
        *w = *h = 20;
    } else if (startsWith(i, "IKNOBROTATERCONTROL_ID")) {
        *w = *h = 40; // the frames of some strips are taller: the knob is drawn at their top
    } else if (i == "BTN_SMALL_ID" || i == "BTN_OFFON_ID") {
        *w = 40, *h = 20;
    } else if (i == "BTN_SMALL_LED_SM_ID") { // also a radio's: one button the clicks step through
        *w = 40, *h = 20;
        return true;
    } else if (i == "BTN_127x18_ID") {
        *w = 127, *h = 18;
    } else if (i == "BTN_CHECKBOX_ID" || i == "BUTTON_PATCHUP_ID" || i == "BUTTON_PATCHDW_ID") {
        *w = *h = 20;
    } else if (row.type.find("SliderVer") != std::string::npos) {
        *w = 40, *h = kSliderLength;
    } else if (row.type.find("SliderHor") != std::string::npos) {
        *w = kSliderLength, *h = 20;
    } else if ((row.type == "nameSelection" || row.type == "dropSelection" || row.type == "deviceSelection") &&
               b.size() >= 2) {
        *w = b[0], *h = b[1];
    } else {
        return false;
    }
    return row.type != "radio";
}

} // namespace

// A control with a known face stands centred in its cell with its name under it, or, in a
// section with row names, centred in its cell with the row's name before the first column.
void Generator::placeName(Element& e, const Row& row, const Section& s, int col, int cellX, int cellY)
{
    int fw = 0, fh = 0;
    bool withName = false;
    if (!faceOf(row, &fw, &fh, &withName)) return;
    if (fw > s.cellW || fh > s.cellH) {
        fail(row, "its face of " + std::to_string(fw) + "x" + std::to_string(fh) + " is larger than the cells of section " +
                      s.name);
        return;
    }
    // A menu takes its cell's width, so that its longer value texts fit.
    if (fw == kMenuWidth && fh == kMenuHeight && isMenu(row.type)) fw = e.menuW = std::max(kMenuWidth, s.cellW - 2);
    e.x = cellX + (s.cellW - fw) / 2;
    e.w = fw;
    e.h = fh;
    const bool named = withName && !row.label.empty() && row.label != "-";
    e.name.text = row.label;
    if (!s.trim.empty() && startsWith(row.label, s.trim.c_str()) && row.label.size() > s.trim.size())
        e.name.text = row.label.substr(s.trim.size());
    if (e.name.text.empty()) e.name.text = row.label;
    if (s.rowNames) {
        e.y = cellY + (s.cellH - fh) / 2;
        if (named && col == 0)
            e.name.x = s.x + (s.titled ? kTitledInset : 0) + 4, e.name.y = cellY, e.name.w = kRowNameWidth - 8,
            e.name.h = s.cellH, e.name.left = true;
        return;
    }
    e.y = cellY + 1;
    const int top = e.y + fh + 1;
    // A name field or list that fills its cell shows what it holds, and goes without a name.
    const bool room = cellY + s.cellH - top >= kLabelLine || !isPlainType(row.type) || isGridType(row.type);
    if (named && room)
        e.name.x = cellX + 1, e.name.y = top, e.name.w = s.cellW - 2,
        e.name.h = std::min(kLabelLines * kLabelLine, cellY + s.cellH - top);
}

// Each drawn name goes into the picture of the nearest layer up its control's chain that has one.
// A strip without one that shows with a single page lies on that page's picture; the rest lie on
// the window's.
const Layer* Generator::pictureOf(const std::string& layer)
{
    const Layer* pictured = nullptr;
    const Layer* top = nullptr;
    for (std::string name = layer; !name.empty() && !pictured;) {
        const Layer* l = layerNamed(name);
        if (!l) break;
        if (!l->image.empty()) pictured = l;
        top = l;
        name = l->parent;
    }
    if (!pictured && top && top->parent.empty() && top->firstPage == top->lastPage)
        for (const Layer& page : c.layers)
            if (page.parent == "root" && page.id == top->firstPage)
                for (const Layer& l : c.layers)
                    if (!pictured && !l.image.empty() && (&l == &page || l.parent == page.name)) pictured = &l;
    return pictured;
}

void Generator::listLabels()
{
    auto add = [&](const std::string& layer, const Element::Label& name) {
        const Layer* pictured = pictureOf(layer);
        LabelPlacement p;
        p.layer = layer;
        p.image = pictured ? pictured->image : "MAIN_BG_FRAME_ID";
        p.x = name.x - (pictured ? pictured->x : 0);
        p.y = name.y - (pictured ? pictured->y : 0);
        p.w = name.w;
        p.h = name.h;
        p.left = name.left;
        p.text = name.text;
        c.labels.push_back(p);
    };
    for (const Element& e : c.elements)
        if (e.name.w > 0 && e.part <= 0 && e.partOfChannel <= 0) add(e.layer, e.name);
    // A section with one column per part names its columns over the first row.
    for (const Section& s : mSections)
        for (int col = 0; s.partColumns && col < s.cols; ++col) {
            Element::Label head;
            head.x = s.x + (s.titled ? kTitledInset : 0) + (s.rowNames ? kRowNameWidth : 0) + col * s.cellW;
            head.y = s.y + (s.titled ? kTitleBar : 0);
            head.w = s.cellW, head.h = kLabelLine;
            head.text = "Part " + std::to_string(col + 1);
            if (labelLines(head.text, head.w) > 1) failLine("sections.tsv", s.line, s.name + ": " + head.text + " does not fit its column");
            add(s.parent, head);
        }
    // Layers that take turns in one place share their picture: the names drawn into one picture
    // must not cross unless they are the same text at the same place. Told once per two layers.
    std::set<std::string> told;
    for (size_t i = 0; i < c.labels.size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            const LabelPlacement& a = c.labels[i];
            const LabelPlacement& b = c.labels[j];
            const bool same = a.text == b.text && a.x == b.x && a.y == b.y && a.w == b.w;
            if (a.image == b.image && !same && a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h &&
                told.insert(a.image + " " + a.layer + " " + b.layer).second)
                failLine("labels.tsv", 0, a.image + ": the name \"" + a.text + "\" of layer " + a.layer +
                                              " crosses \"" + b.text + "\" of layer " + b.layer);
        }
}

void Generator::expand()
{
    // Where each row's controls go: one place, or one per part for a row spread over channels.
    for (const Row& row : c.rows) {
        if (row.id < 0) continue;
        for (int k = row.channel == -1 ? 0 : -1; k < (row.channel == -1 ? kParts : 0); ++k) {
            Placed p{&row, k, row.layer, row.section};
            for (std::string* text : {&p.layer, &p.section}) {
                const size_t hash = text->find('#');
                if (hash != std::string::npos) text->replace(hash, 1, std::to_string(k + 1));
            }
            for (const Section& s : mSections)
                if (s.name == p.section) p.layer = s.parent;
            mPlaced.push_back(p);
        }
    }
    for (const Placed& p : mPlaced) {
        if (p.layer.empty()) continue;
        Layer* l = layerNamed(p.layer);
        if (!l) {
            Layer fresh;
            fresh.name = p.layer;
            int siblings = 0;
            for (const Layer& other : c.layers) siblings += other.parent.empty();
            fresh.id = siblings;
            c.layers.push_back(fresh);
            l = &c.layers.back();
        }
        if (p.row->channel == 0 && p.row->idsOwned == kParts && !isPlainType(p.row->type)) l->multi = true;
    }
    // A layer inside a panel is copied with it: it is no panel of its own.
    for (Layer& l : c.layers)
        for (const Layer* up = layerNamed(l.parent); up && l.multi && l.kind != "panel"; up = layerNamed(up->parent))
            if (up->multi) l.multi = false;
    // Document order: the top-level controls, then the layer tree depth first, each layer's own
    // controls before its children, a multilayer copy by copy.
    emit("", -1);
    walk("", -1);
}

void Generator::walk(const std::string& parent, int part)
{
    for (size_t i = 0; i < c.layers.size(); ++i) {
        const Layer l = c.layers[i];
        if (l.parent != parent || (parent.empty() && l.name.empty())) continue;
        if (l.multi && part >= 0 && part == 0) failLine("sections.tsv", 0, "panel " + l.name + " stands inside another panel");
        for (int copy = l.multi ? 0 : part; copy < (l.multi ? kParts : part + 1); ++copy) {
            emit(l.name, copy);
            walk(l.name, copy);
        }
    }
}

void Generator::emit(const std::string& layer, int part)
{
    for (const Placed& p : mPlaced) {
        if (p.layer != layer) continue;
        const Row& row = *p.row;
        if (part >= 0 && row.channel != 0) {
            if (part == 0) fail(row, "a control with a channel stands in the per-part layer " + layer);
            continue;
        }
        Element e;
        e.row = &row;
        e.layer = layer;
        e.label = row.label;
        if (part >= 0) {
            e.part = part;
            e.id = row.id + part;
        } else if (p.part >= 0) {
            e.partOfChannel = p.part;
            e.channel = p.part + 1;
            e.id = row.id + p.part;
            // The creators keep the configured name on mixer layers: the chart names the part
            // there, as the read-out expects.
            if (isMixerLayer(layer) || row.type == "range")
                e.label = "[" + std::to_string(p.part + 1) + "] " + row.label;
        } else {
            e.channel = row.channel;
            e.id = row.id;
        }
        if (row.address.kind == AddressKind::SysEx) e.sysexIndex = templateIndex(row, p.part >= 0 ? p.part : 0);
        // Copies share the first copy's place.
        const auto key = std::make_pair(&row, p.part);
        auto at = mPlaces.find(key);
        if (at == mPlaces.end()) {
            place(e, row, p.section);
            mPlaces[key] = e;
        } else {
            e.x = at->second.x, e.y = at->second.y, e.w = at->second.w, e.h = at->second.h;
            e.name = at->second.name;
            e.menuW = at->second.menuW;
        }
        c.elements.push_back(e);
    }
}

} // namespace

bool isPlainType(const std::string& t)
{
    static const char* kTypes[] = {"display",       "nameSelection", "textSelection", "deviceSelection",
                                   "dropSelection", "switch",        "autooff",       "radio",
                                   "patchBrowser",  "multiFxMenu",   "range"};
    return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* k) { return t == k; });
}

bool isMixerLayer(const std::string& layer)
{
    return layer == "miniMixer" || layer == "multiModeMixer" || layer == "miniMixer2" || layer == "multiModeMixer2" ||
           layer == "multiModeSettingsPage1";
}

bool isAdditionalSettingsLayer(const std::string& layer)
{
    return layer.size() == 23 && startsWith(layer, "additionalSettingsPart") && layer[22] >= '1' && layer[22] <= '8';
}

bool isPartStripLayer(const std::string& layer)
{
    for (const char* stem : {"miniMixerDelayPart", "partPanning"})
        if (startsWith(layer, stem) && layer.size() == std::string(stem).size() + 1 && layer.back() >= '1' &&
            layer.back() <= '8')
            return true;
    return false;
}

int labelLines(const std::string& text, int width)
{
    int lines = 0, used = 0;
    for (const std::string& word : split(text, ' ')) {
        const int w = static_cast<int>(word.size()) * kLabelCharWidth;
        if (w > width) return kLabelLines + 1;
        if (lines > 0 && used + kLabelCharWidth + w <= width) {
            used += kLabelCharWidth + w;
        } else {
            ++lines;
            used = w;
        }
    }
    return lines;
}

void valueRange(const Row& row, int* first, int* last)
{
    const int lo = row.bounds.size() > 1 ? row.bounds[1] : 0;
    const int hi = row.bounds.size() > 2 ? row.bounds[2] : 0;
    if (isButton(row.type)) {
        *first = 0;
        *last = 1;
    } else if (isMenu(row.type)) {
        *first = 0;
        *last = hi - lo - 1;
    } else {
        *first = lo;
        *last = hi;
    }
}

Keys filingKeys(const Element& e)
{
    const Row& r = *e.row;
    const std::string& t = r.type;
    const int partKey = e.part + 1;
    const int g = isMultiFx(e.id) ? 1 : 0;
    Keys k;
    k.kind = r.address.kind;
    if (r.address.kind == AddressKind::CC) {
        int ck = partKey, gk = g;
        if (t == "ccMenu" || t == "ccButton") {
            if (isMixerLayer(e.layer)) ck = e.channel, gk = 0;
        } else if (t == "ccKnob") {
            if (isPartStripLayer(e.layer)) {
                ck = e.channel;
                gk = 1;
            } else if (isWideMixerLayer(e.layer) && inBlock(e.id, kFilterResonance)) {
                ck = e.id - (kFilterResonance - 1);
            } else if (isWideMixerLayer(e.layer) && inBlock(e.id, kFilterCutoff)) {
                ck = e.id - (kFilterCutoff - 1);
            }
        } else { // faders
            ck = e.part >= 0 ? partKey : e.channel;
            gk = 0;
        }
        k.keys = {ck, r.address.cc, gk};
    } else if (r.address.kind == AddressKind::NRPN) {
        bool byChannel = isMixerLayer(e.layer) || isVocoderId(e.id);
        if (t != "msbLsbKnob") byChannel = byChannel || isAdditionalSettingsLayer(e.layer);
        k.keys = {byChannel ? e.channel : partKey, r.address.msb, r.address.base, r.address.lsb, byChannel ? 0 : g};
    } else if (r.address.kind == AddressKind::SysEx) {
        const int partByte = e.part > 0 ? e.part : std::max(e.partOfChannel, 0);
        const int index = isSlider(t) && e.part < 0 ? 1 : 0;
        k.keys = {0, r.address.type, partByte, r.address.param, index};
    }
    return k;
}

int incomingChannelKey(const Element& e)
{
    if (e.part >= 0) return e.part + 1;
    return e.channel;
}

NrpnMessage nrpnSent(const Element& e, int value, int other)
{
    const Address& a = e.row->address;
    NrpnMessage m{a.msb, a.lsb, a.base + value};
    const int base = baseOf(e.id);
    if (e.id == kGlobalMidiChannel) m.data = a.base + value + 32;
    else if (base == kEnvelopeTriggering) m.lsb = 1;
    else if (base == kArpNoteOrdering) m.data = 122 + 2 * value + other;
    else if (base == kArpFillIn) m.data = 122 + 2 * other + value;
    else if ((base == kFXDelayRatio || base == kFXMultiDelayRatio) && value >= 11) m = {0, 100, value + 99};
    else if (base == kMultiPartSustain) {
        if (value == 3) m.lsb = 110, m.data = 126;
        else if (value >= 4 && value <= 6) m.data = value + 76;
        else if (value == 7) m.lsb = 110, m.data = 127;
        else if (value >= 8 && value <= 12) m.lsb = 113, m.data = value - 4;
        else if (value == 13) m.data = 83;
    } else if (e.id == kGlobalRXPC) m.data = value != 0 ? 36 : 34;
    else if (base == kMultiPartPolyphony) m.data -= 1;
    return m;
}

namespace {

void Generator::checkPlainRow(const Row& row)
{
    const std::string& t = row.type;
    static const std::map<std::string, size_t> kBounds = {
        {"display", 3},       {"nameSelection", 3}, {"textSelection", 2}, {"deviceSelection", 3},
        {"dropSelection", 5}, {"switch", 1},        {"autooff", 1},       {"radio", 1},
        {"patchBrowser", 4},  {"multiFxMenu", 5},   {"range", 3}};
    if (row.address.kind != AddressKind::None) fail(row, "a " + t + " sends nothing and takes no address");
    if (row.bounds.size() < kBounds.at(t)) fail(row, "a " + t + " needs " + std::to_string(kBounds.at(t)) + " numbers");
    const bool needsImage = isGridType(t) || t == "patchBrowser";
    if (needsImage != !row.image.empty()) fail(row, needsImage ? "a " + t + " needs an image" : "a " + t + " takes no image");
    if (!row.list.empty() && !c.lists.count(row.list)) fail(row, "list " + row.list + " does not exist");
    if (t == "radio" && !row.bounds.empty() && row.bounds[0] < 1) fail(row, "a radio needs a button");
    // A menu offers one item per value: a longer list offers values the parameter cannot hold,
    // and the creator builds no control for a list of another length.
    if ((t == "dropSelection" || t == "multiFxMenu") && row.bounds.size() >= 5) {
        const int values = row.bounds[4] - row.bounds[3];
        auto it = c.lists.find(row.list);
        if (it != c.lists.end() && it->second.size() != static_cast<size_t>(std::max(values, 0)))
            fail(row, "list " + row.list + " holds " + std::to_string(it->second.size()) + " texts for " +
                          std::to_string(values) + " entries");
        else if (row.list.empty() && row.displayFirst == row.displayLast)
            fail(row, "menu without a list or a value display");
        else if (row.list.empty() && row.displayLast - row.displayFirst + 1 != values)
            fail(row, "value display " + std::to_string(row.displayFirst) + ":" + std::to_string(row.displayLast) +
                          " numbers " + std::to_string(row.displayLast - row.displayFirst + 1) + " entries, not " +
                          std::to_string(values));
    }
    if (t == "range" && row.bounds.size() >= 3) {
        const int values = row.bounds[2] - row.bounds[1];
        auto it = c.lists.find(row.list);
        if (values < 1)
            fail(row, "a range needs a value");
        else if (it != c.lists.end() && it->second.size() != static_cast<size_t>(values))
            fail(row, "list " + row.list + " holds " + std::to_string(it->second.size()) + " texts for " +
                          std::to_string(values) + " values");
    }
}

void Generator::checkRow(const Row& row)
{
    const std::string& t = row.type;
    if (isPlainType(t)) {
        checkPlainRow(row);
        return;
    }
    if (!knownType(t)) {
        fail(row, "type " + t + " builds nothing");
        return;
    }
    const AddressKind want = isCCType(t) ? AddressKind::CC : isNrpnType(t) ? AddressKind::NRPN : AddressKind::SysEx;
    if (row.address.kind != want) fail(row, "address does not suit the type " + t);
    const size_t need = (t == "seButton") ? 1 : (startsWith(t, "seKnob") || t == "ccKnob" || t == "msbLsbKnob") ? 4 : 3;
    if (row.bounds.size() < need) fail(row, "valueBounds need " + std::to_string(need) + " numbers");
    if (row.bounds.size() < 3 && t != "seButton") return;
    if ((row.channel == 0 || row.channel == -1) && row.idsOwned == 1 && row.id + kParts - 1 > kLastId)
        fail(row, "name + 7 lies past " + std::to_string(kLastId));
    if (row.channel > 16 || row.channel < -1) fail(row, "channel " + std::to_string(row.channel) + " is no channel");
    if (!row.image.empty()) {
        bool found = false;
        for (size_t i = 0; i < kImageTableSize; ++i) found = found || row.image == kImageTable[i].name;
        if (!found) fail(row, "image " + row.image + " is not in the bitmap table");
    } else if (!isMenu(t)) {
        fail(row, "a " + t + " needs an image");
    }
    if (!row.link.empty()) {
        const std::vector<std::string> names = split(row.link, ',');
        if (names.size() < 2 || !registered(names[0]) || !registered(names[1]))
            fail(row, "link " + row.link + " does not name two registered parameters");
    }

    int first = 0, last = 0;
    valueRange(row, &first, &last);
    if (last < first) fail(row, "valueBounds give no value");
    const Address& a = row.address;
    // Lists: a menu's list holds one text per entry; a read-out list covers the whole range.
    if (isMenu(t)) {
        const size_t entries = static_cast<size_t>(std::max(last - first + 1, 0));
        if (!row.list.empty()) {
            auto it = c.lists.find(row.list);
            if (it == c.lists.end()) fail(row, "list " + row.list + " does not exist");
            else if (it->second.size() != entries && row.displayFirst == row.displayLast)
                fail(row, "list " + row.list + " holds " + std::to_string(it->second.size()) + " texts for " +
                              std::to_string(entries) + " entries");
        } else if (row.displayFirst == row.displayLast) {
            fail(row, "menu without a list or a value display");
        }
    }
    const int base = baseOf(row.id);
    for (const ReadoutList& r : kReadoutLists) {
        if (r.base != base) continue;
        auto it = c.lists.find(r.list);
        const size_t size = it == c.lists.end() ? 0 : it->second.size();
        if (first < 0 || size < static_cast<size_t>(last) + 1)
            fail(row, std::string("read-out list ") + r.list + " does not cover " + std::to_string(first) + " to " +
                          std::to_string(last));
    }
    // Wire values.
    auto wire = [&](int v, const char* what) {
        if (v < 0 || v > 127) fail(row, std::string(what) + " " + std::to_string(v) + " lies outside 0 to 127");
        return v >= 0 && v <= 127;
    };
    if (a.kind == AddressKind::CC) {
        static const int kReserved[] = {0, 6, 32, 38, 98, 99, 100, 101};
        if (std::count(std::begin(kReserved), std::end(kReserved), a.cc) || a.cc >= 120 || a.cc < 0)
            fail(row, "CC " + std::to_string(a.cc) + " is reserved");
        if (t == "ccButton") {
            for (int i : {1, 2}) {
                int s = row.bounds[static_cast<size_t>(i)];
                if (s == 1 && (row.id == kGlobalLocalControl || base == kArpLatch)) s = 127;
                if (!wire(s, "switch value")) break;
            }
        } else if (base == kFXReverbEarlyRef || base == kFXMultiReverbEarlyRef) {
            for (int v = first; v <= last; ++v)
                if (!wire(v + 8 * 15, "packed reverb value")) break;
        } else if (base == kFXReverbRoom || base == kFXMultiReverbRoom) {
            for (int v = first; v <= last; ++v)
                if (!wire(8 * v + 7, "packed reverb value")) break;
        } else {
            for (int v = first; v <= last; ++v)
                if (!wire(v, "value")) break;
        }
    } else if (a.kind == AddressKind::SysEx) {
        if (row.bounds[1 % row.bounds.size()] != 0 && t != "seButton") fail(row, "a SysEx row's minimum is not 0");
        if (a.type == kPatternDumpType) fail(row, "SysEx type 13 is the pattern dump");
        wire(a.type, "SysEx type");
        wire(a.param, "SysEx parameter number");
        if (t != "seButton") wire(last, "value");
    } else if (a.kind == AddressKind::NRPN) {
        wire(a.msb, "MSB");
        wire(a.lsb, "LSB");
    }
    // Channels: only where a part's mixer control or a global-channel control needs one.
    if (row.channel == 16) {
        const bool globalId = row.id >= 4321 && row.id <= 4343;
        const bool nrpnGlobal = a.kind == AddressKind::NRPN &&
                                ((row.id >= 1776 && row.id <= 1792) || (row.id >= 2521 && row.id <= 2537));
        if (a.kind != AddressKind::SysEx && !globalId && !nrpnGlobal)
            fail(row, "channel 16 on a control not sent on the global channel reads another parameter as its channel");
    } else if (row.channel > 8) {
        fail(row, "channel " + std::to_string(row.channel) + " is neither a part's nor the global one");
    }
}

void Generator::checkElement(const Element& e)
{
    const Row& row = *e.row;
    if (e.x < 0 || e.y < 0 || e.x + e.w > kLayoutWidth || e.y + e.h > kLayoutHeight)
        fail(row, "placed outside the " + std::to_string(kLayoutWidth) + "x" + std::to_string(kLayoutHeight) + " layout");
    if (isPlainType(row.type)) return;
    if (e.part < 0 && e.channel == 0) {
        fail(row, "channel missing on a control outside the per-part layers");
        return;
    }
    if (e.part < 0 && row.address.kind != AddressKind::SysEx) {
        const Keys k = filingKeys(e);
        if (k.keys.empty() || k.keys[0] != e.channel)
            fail(row, "on layer " + e.layer + " the creator keys by part, so nothing incoming finds it");
    }
}

bool isOneWay(const Element& e, int value)
{
    const int base = baseOf(e.id);
    return e.id == kGlobalMidiChannel || ((base == kFXDelayRatio || base == kFXMultiDelayRatio) && value >= 11);
}

void Generator::checkNrpn(const Element& e)
{
    const Row& row = *e.row;
    const int base = baseOf(e.id);
    const bool paired = base == kArpNoteOrdering || base == kArpFillIn;
    int first = 0, last = 0;
    valueRange(row, &first, &last);
    int otherLast = 0;
    if (paired) {
        const int partner = base == kArpNoteOrdering ? kArpFillIn : kArpNoteOrdering;
        otherLast = partner == kArpFillIn ? 1 : 2;
    }
    const Keys own = filingKeys(e);
    const int lo = row.bounds[1];
    for (int v = first; v <= last; ++v) {
        for (int o = 0; o <= otherLast; ++o) {
            const NrpnMessage m = nrpnSent(e, v, o);
            if (m.msb < 0 || m.msb > 127 || m.lsb < 0 || m.lsb > 127 || m.data < 0 || m.data > 127) {
                fail(row, "value " + std::to_string(v) + " sends data " + std::to_string(m.data) + " outside 0 to 127");
                return;
            }
            const NrpnDecoding::Decoded d = NrpnDecoding::decode(m.msb, m.lsb, m.data);
            // A performance-effects twin is found by the effect lookup, under the decoded base twice.
            const bool twin = isMultiFx(e.id) && own.keys.back() == 1;
            const std::vector<int> found = {incomingChannelKey(e), d.msb, d.base, twin ? d.base : d.lsb,
                                            twin ? 1 : d.global};
            if (isOneWay(e, v)) {
                for (const Element& other : c.elements)
                    if (other.row->address.kind == AddressKind::NRPN && filingKeys(other).keys == found &&
                        d.outcome == NrpnDecoding::Outcome::Lookup)
                        fail(row, "one-way value " + std::to_string(v) + " decodes to " + other.row->name);
                continue;
            }
            if (d.outcome != NrpnDecoding::Outcome::Lookup || found != own.keys) {
                fail(row, "value " + std::to_string(v) + " (data " + std::to_string(m.data) +
                              ") does not decode to the row's own keys");
                return;
            }
            int back = 0;
            bool ok = true;
            if (base == kArpNoteOrdering || base == kArpFillIn) {
                const int dd = d.value - 122;
                const int ordering = dd / 2, fill = dd >= 0 && dd <= 5 ? dd % 2 : 0;
                ok = base == kArpNoteOrdering ? ordering == v && fill == o : fill == v && ordering == o;
                back = v;
            } else if (base == kMultiPartPolyphony) {
                back = d.value + 1;
            } else if (base == kEnvelopeTriggering) {
                back = d.value >= 0 && d.value <= 6 ? d.value : 7;
            } else {
                const int span = last - first;
                back = (isMenu(row.type) ? 0 : lo) + std::min(std::max(d.value, 0), span);
            }
            if (!ok || back != v) {
                fail(row, "value " + std::to_string(v) + " comes back as " + std::to_string(back));
                return;
            }
        }
    }
}

void Generator::checkKeys()
{
    std::map<std::pair<int, std::vector<int>>, const Element*> filed;
    std::set<std::pair<int, int>> sysexNumbers;
    for (const Row& row : c.rows)
        if (row.id >= 0 && row.address.kind == AddressKind::SysEx &&
            !sysexNumbers.insert({row.address.type, row.address.param}).second)
            fail(row, "SysEx parameter number " + std::to_string(row.address.param) + " of type " +
                          std::to_string(row.address.type) + " repeats");
    for (const Element& e : c.elements) {
        const Keys k = filingKeys(e);
        if (k.kind == AddressKind::None) continue;
        auto key = std::make_pair(static_cast<int>(k.kind), k.keys);
        auto it = filed.find(key);
        if (it != filed.end() && it->second->row != e.row && it->second->id != e.id) {
            const int was = baseOf(it->second->id), now = baseOf(e.id);
            bool shared = false, ordered = false;
            for (const Share& s : kShares) {
                if ((was == s.first && now == s.second) || (was == s.second && now == s.first)) shared = true;
                if (was == s.first && now == s.second) ordered = true;
            }
            if (!shared) fail(*e.row, "shares its incoming keys with " + it->second->row->name);
            else if (!ordered) fail(*e.row, "filed after " + it->second->row->name + ", which must be found instead");
        }
        filed[key] = &e;
    }
}

bool overlapping(const Element& a, const Element& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Nothing overlaps within what can show at once: the top-level controls and strips, one page with
// one copy of its panel, and the strips the tabs show with that page. Alternatives (alt) and
// layers drawn over others on purpose (overlay) are left out; the device menus, which stay on
// top of no layer, keep clear of every layer.
void Generator::checkPlacement()
{
    struct Seen {
        const Element* e;
        int firstPage, lastPage;
        std::vector<const Layer*> chain;
        bool name = false; // the element's drawn name rather than its face
        Element box() const
        {
            Element b;
            b.x = name ? e->name.x : e->x, b.y = name ? e->name.y : e->y;
            b.w = name ? e->name.w : e->w, b.h = name ? e->name.h : e->h;
            return b;
        }
    };
    std::vector<Seen> seen;
    for (const Element& e : c.elements) {
        if (e.part > 0) continue;
        Seen s{&e, 0, 6, {}, false};
        bool skip = false;
        for (std::string name = e.layer; !name.empty();) {
            const Layer* l = layerNamed(name);
            if (!l) break;
            s.chain.push_back(l);
            skip = skip || l->overlay;
            if (l->parent == "root") s.firstPage = s.lastPage = l->id;
            else if (l->parent.empty() && l->name != "root") s.firstPage = l->firstPage, s.lastPage = l->lastPage;
            name = l->parent;
        }
        // A row placed at a position of its own lies where it does on purpose (a caption under a menu).
        if (!skip && e.row->atX < 0) seen.push_back(s);
        // A drawn name is checked like a control of its own: one per row (copies share it).
        if (e.name.w > 0 && e.partOfChannel <= 0) {
            s.name = true;
            if (!skip) seen.push_back(s);
            if (labelLines(e.name.text, e.name.w) > e.name.h / kLabelLine)
                fail(*e.row, "its name \"" + e.row->label + "\" does not fit " + std::to_string(e.name.w) + "x" +
                                 std::to_string(e.name.h));
        }
        if (e.row->type == "deviceSelection")
            for (const Layer& l : c.layers)
                if (l.w > 0 && e.x < l.x + l.w && l.x < e.x + e.w && e.y < l.y + l.h && l.y < e.y + e.h)
                    fail(*e.row, "the device menu lies under the layer " + l.name);
    }
    // The controller's bank and program number menus lie above every layer and show with every
    // window: a window keeps clear of them.
    for (const Layer& l : c.layers)
        if (l.kind == "window" && l.x < 1230 && 1142 < l.x + l.w && l.y < 85 && 60 < l.y + l.h)
            failLine("sections.tsv", 0, l.name + ": the window lies under the bank and program menus");
    auto alternatives = [](const Seen& a, const Seen& b) {
        for (const Layer* x : a.chain)
            for (const Layer* y : b.chain)
                if (x != y && x->alt && y->alt && x->parent == y->parent) return true;
        return false;
    };
    for (size_t i = 0; i < seen.size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            const Seen& a = seen[i];
            const Seen& b = seen[j];
            if (a.firstPage > b.lastPage || b.firstPage > a.lastPage || !overlapping(a.box(), b.box())) continue;
            if (alternatives(a, b)) continue;
            fail(*a.e->row, std::string(a.name ? "its name overlaps " : "overlaps ") + b.e->row->name +
                                (b.name ? "'s name" : "") + " on layer " + (b.e->layer.empty() ? "(top)" : b.e->layer));
        }
}

void Generator::checkTwins()
{
    for (const Element& e : c.elements) {
        const int base = baseOf(e.id);
        if (e.part < 0 || base < kFXDistortionOverdrive || base > kFXCMorph) continue;
        const int twinBase = twinOf(base);
        const Element* twin = nullptr;
        for (const Element& t : c.elements)
            if (twinBase >= 0 && t.part == e.part && t.id == twinBase + e.part) twin = &t;
        if (!twin) {
            fail(*e.row, "has no twin for the performance's effects");
            continue;
        }
        const Keys k = filingKeys(*twin);
        std::vector<int> want;
        if (e.row->address.kind == AddressKind::CC) {
            want = {e.part + 1, e.row->address.cc, 1};
        } else if (e.row->address.kind == AddressKind::NRPN) {
            const NrpnMessage m = nrpnSent(e, 0, 0);
            const NrpnDecoding::Decoded d = NrpnDecoding::decode(m.msb, m.lsb, m.data);
            want = {e.part + 1, d.msb, d.base, d.base, 1};
        }
        if (k.kind != e.row->address.kind || k.keys != want)
            fail(*twin->row, "the effect lookup of " + e.row->name + " does not find this twin");
    }
}

void Generator::check()
{
    for (const Row& row : c.rows)
        if (row.id >= 0) checkRow(row);
    std::set<const Row*> seen;
    for (const Element& e : c.elements) {
        if (!seen.insert(e.row).second && e.part > 0) continue;
        checkElement(e);
    }
    for (const Element& e : c.elements)
        if (e.row->address.kind == AddressKind::NRPN && e.row->bounds.size() >= 3) checkNrpn(e);
    checkKeys();
    checkTwins();
    checkPlacement();
}

} // namespace

bool generate(const Inputs& in, Outputs* out, std::vector<std::string>* errors, Chart* chartOut)
{
    Chart local;
    Chart& chart = chartOut ? *chartOut : local;
    chart = Chart();
    const size_t before = errors->size();
    Generator g(chart, *errors);
    g.readLists(in.lists);
    g.readSections(in.sections);
    g.readChart(in.chart);
    if (errors->size() != before) return false;
    g.expand();
    g.check();
    checkDumpRanges(chart, errors);
    g.listLabels();
    // Copies of a per-part row fail alike: name each failure once.
    std::set<std::string> seen;
    errors->erase(std::remove_if(errors->begin() + static_cast<long>(before), errors->end(),
                                 [&](const std::string& e) { return !seen.insert(e).second; }),
                  errors->end());
    if (errors->size() != before) return false;
    out->uiconfig = writeLayout(chart);
    out->sysex = writeSysex(chart);
    out->listing = writeListing(chart);
    out->labels = writeLabels(chart);
    if (out->uiconfig.size() >= static_cast<size_t>(kMaxLayoutBytes)) {
        errors->push_back("uiconfig.xml: " + std::to_string(out->uiconfig.size()) + " bytes reach the reader's limit of " +
                          std::to_string(kMaxLayoutBytes));
        return false;
    }
    return true;
}

} // namespace makeconfig
