#pragma once
// The project's MIDI chart and what the configuration generator makes of it: the rows of
// resources/chart/chart.tsv, the value lists of resources/chart/lists.tsv and the optional
// section table resources/chart/sections.tsv, expanded into one element per control, checked,
// and written out as the two configuration documents and a listing by address.
#include <map>
#include <string>
#include <vector>

namespace makeconfig {

enum class AddressKind { None, CC, NRPN, SysEx };

struct Address {
    AddressKind kind = AddressKind::None;
    int cc = 0;                  // CC
    int msb = 0, lsb = 0, base = 0; // NRPN: controller 99, controller 98, offset of the data value
    int type = 0, param = 0;     // SysEx: message type and parameter number
};

// One chart row, as written.
struct Row {
    int line = 0;
    std::string name, label, type, image;
    std::vector<int> bounds; // default, min, max and, for knobs, a fourth value
    std::string list;        // value list name, empty for none
    int displayFirst = -1, displayLast = -1;
    Address address;
    int channel = 0;         // 0: none; -1: one control per part on channels 1 to 8
    std::string link;
    std::string layer, section;
    int atX = -1, atY = -1;  // a position written as @x,y in the section column

    int id = -1;             // the registered id of name
    int idsOwned = 0;
};

constexpr int kMenuWidthStandard = 70;

// One control of the generated layout.
struct Element {
    const Row* row = nullptr;
    int id = -1;             // parameter id, part included
    int part = -1;           // multilayer copy, -1 outside
    int channel = 0;         // the element's channel attribute
    int partOfChannel = -1;  // for a per-part row spread over channels: the part it shows
    std::string layer;       // the layer the element sits on
    std::string label;
    int x = 0, y = 0;
    int w = 0, h = 0;        // the space the control takes: its face, its cell, or its own size
    int sysexIndex = -1;
    int menuW = kMenuWidthStandard; // a MIDI menu's width: its cell's, less a pixel each side
    // The control's name as drawn into the background it sits on, beside or under its face;
    // w 0 for none. labelLeft: left-aligned at the start of its row, else centred.
    struct Label {
        int x = 0, y = 0, w = 0, h = 0;
        bool left = false;
        std::string text; // the label, less a word group its section's title says already
    } name;
};

// One drawn name of the placement listing: the background image it goes into (the nearest
// layer up the element's chain with a picture), its rectangle there, and its text.
struct LabelPlacement {
    std::string layer, image;
    int x = 0, y = 0, w = 0, h = 0;
    bool left = false;
    std::string text;
};

struct Layer {
    std::string name, parent, image;
    std::string kind;        // page, panel, window, strip; empty for a layer only the chart names
    bool multi = false;      // eight copies, one per part
    bool alt = false, overlay = false; // left out of the overlap check (see sections.tsv)
    int firstPage = 0, lastPage = 6;   // the main pages a top-level layer shows with
    int id = 0;
    int x = 0, y = 0, w = 0, h = 0;
};

// Keys under which the creators file a control for incoming MIDI.
struct Keys {
    AddressKind kind = AddressKind::None;
    std::vector<int> keys;
};

struct Chart {
    std::vector<Row> rows;
    std::map<std::string, std::vector<std::string>> lists;
    std::vector<std::string> listOrder;
    std::vector<Layer> layers;
    std::vector<Element> elements;
    std::vector<std::vector<int>> templates; // SysEx templates, by sysexIndex
    std::vector<LabelPlacement> labels;
};

struct Inputs {
    std::string chart, lists, sections; // file texts; sections may be empty
};

struct Outputs {
    std::string uiconfig, sysex, listing;
    std::string labels; // the placement listing of the drawn names (labels.tsv)
};

// Reads, expands and checks; on success fills out and returns true. Every problem found is
// appended to errors as "chart.tsv:<line>: <name>: <what>" (or "lists.tsv:..." for a list).
bool generate(const Inputs& in, Outputs* out, std::vector<std::string>* errors, Chart* chart = nullptr);

// A control that sends nothing: display, name field, menu without MIDI, switch, radio, slot grid.
bool isPlainType(const std::string& type);

// The layer-name sets the control creators test.
bool isMixerLayer(const std::string& layer);
bool isAdditionalSettingsLayer(const std::string& layer);
bool isPartStripLayer(const std::string& layer);

// The keys under which the creators file an element, and the channel key an incoming message
// of the element's part or channel arrives with.
Keys filingKeys(const Element& e);
int incomingChannelKey(const Element& e);

// The data values an NRPN element sends for value v of its parameter (Part of the sending
// rules): controller 99, controller 98 and the data entry. other is the value of the parameter
// that shares the message (fill-in with note ordering), where there is one.
struct NrpnMessage {
    int msb, lsb, data;
};
NrpnMessage nrpnSent(const Element& e, int value, int other);

// The values a control's parameter takes: first and last.
void valueRange(const Row& row, int* first, int* last);

// The values a row's creator gives its parameter, first and last; false for a row that gives it
// no range of values (a display, a name field, the device menus).
bool configuredRange(const Row& row, int* first, int* last);

// Every parameter that a program, performance, follow-up or global dump carries has a range
// from the chart, and one read as a plain byte takes 0 to 127 unless the row names its choices.
void checkDumpRanges(const Chart& chart, std::vector<std::string>* errors);

// The drawn names: one line of the label font is kLabelLine high and holds about
// kLabelCharWidth pixels per character; a name takes at most two lines.
// A menu is written kMenuWidth wide; the controls draw it kMenuHeight high.
constexpr int kMenuWidth = kMenuWidthStandard, kMenuHeight = 13;
// A slider is written kSliderLength long.
constexpr int kSliderLength = 50;
constexpr int kLabelLine = 12, kLabelCharWidth = 6, kLabelLines = 2;
// A titled section's grid starts under its title bar; a section with row names keeps a column
// for them at its left.
constexpr int kTitleBar = 26, kTitledInset = 4, kRowNameWidth = 72;

// The lines a name takes when wrapped at spaces into width pixels of the label font, by the
// character estimate; a word wider than the width counts as more lines than fit.
int labelLines(const std::string& text, int width);

constexpr int kMaxLayoutBytes = 4096000;
constexpr int kLayoutWidth = 1500, kLayoutHeight = 757;

} // namespace makeconfig
