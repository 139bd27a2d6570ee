// The generator's three outputs: the layout document, the SysEx template document and the
// listing of the chart by address.
#include "chart.h"

#include "Project_Source/src/ParamTable.h"

#include <algorithm>
#include <functional>
#include <cstdio>
#include <sstream>

namespace makeconfig {

namespace {

constexpr int kChangingByte = 7;

std::string escaped(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += ch;
        }
    }
    return out;
}

std::string joined(const std::vector<int>& values, const char* sep)
{
    std::string out;
    for (size_t i = 0; i < values.size(); ++i) out += (i ? sep : "") + std::to_string(values[i]);
    return out;
}

const char* tagOf(const std::string& type)
{
    if (type.find("Knob") != std::string::npos) return "knobcontrol";
    if (type.find("Button") != std::string::npos) return "buttoncontrol";
    if (type.find("Menu") != std::string::npos) return "menucontrol";
    return "slidercontrol";
}

void attribute(std::ostringstream& out, const char* name, const std::string& value)
{
    out << ' ' << name << "=\"" << escaped(value) << '"';
}

// The group a control's parameter is filed under; the panels impose theirs in the reader.
std::string groupOf(const Element& e)
{
    if (isMixerLayer(e.layer) || e.layer.rfind("bankAndProgram", 0) == 0) return "Mixer";
    if (e.layer == "vocoderLayer") return "Effects";
    if (e.layer.empty() || e.layer == "patchLibrarian") return "Global";
    return e.layer;
}

std::string paramRef(const Element& e)
{
    std::string ref = e.row->name;
    if (e.partOfChannel > 0) ref += "+" + std::to_string(e.partOfChannel);
    return ref;
}

// A control that sends nothing.
void writePlainElement(std::ostringstream& out, const Element& e, const std::string& indent)
{
    const Row& r = *e.row;
    const std::string& t = r.type;
    const std::vector<int>& b = r.bounds;
    const std::string box = joined({e.x, e.y, e.w, e.h}, ",");
    out << indent;
    if (t == "display") {
        out << "<display";
        attribute(out, "paramId", paramRef(e));
        attribute(out, "bounds", box);
        attribute(out, "displaySize", std::to_string(b[2]));
    } else if (t == "patchBrowser") {
        out << "<patchBrowser";
        attribute(out, "imageId", r.image);
        attribute(out, "bounds", box);
    } else if (t == "multiFxMenu") {
        out << "<multiFx";
        attribute(out, "type", "Menu");
        attribute(out, "name", e.label);
        attribute(out, "paramId", paramRef(e));
        attribute(out, "position", box);
        attribute(out, "valueBounds", joined({b[2], b[3], b[4]}, ","));
        attribute(out, "visible", "1");
    } else if (t == "switch" || t == "autooff" || t == "radio") {
        out << '<' << t;
        attribute(out, "name", e.label);
        attribute(out, "paramId", paramRef(e));
        attribute(out, "imageId", r.image);
        attribute(out, "position", joined({e.x, e.y}, ","));
        if (t == "switch") attribute(out, "valueBounds", std::to_string(b[0]));
        if (t == "radio") attribute(out, "buttons", std::to_string(b[0]));
    } else {
        // A range is a menu without texts: it makes the parameter's values and builds no control.
        out << "<dropMenu";
        attribute(out, "type", t == "range" ? "dropSelection" : t);
        attribute(out, "name", e.label);
        attribute(out, "paramId", paramRef(e));
        attribute(out, "bounds", box);
        if (t == "nameSelection") attribute(out, "nameLen", std::to_string(b[2]));
        if (t == "deviceSelection") attribute(out, "inputDev", std::to_string(b[2]));
        if (t == "dropSelection") attribute(out, "valueBounds", joined({b[2], b[3], b[4]}, ","));
        if (t == "range") attribute(out, "valueBounds", joined({b[0], b[1], b[2]}, ","));
    }
    if (t != "display" && t != "patchBrowser") attribute(out, "paramGroup", groupOf(e));
    if (!r.list.empty() && t != "range") attribute(out, "valueList", r.list);
    if (r.displayFirst != r.displayLast)
        attribute(out, "valueDisplay", std::to_string(r.displayFirst) + ":" + std::to_string(r.displayLast));
    if (e.channel > 0) attribute(out, "channel", std::to_string(e.channel));
    out << "/>\n";
}

void writeElement(std::ostringstream& out, const Element& e, const std::string& indent)
{
    const Row& r = *e.row;
    if (isPlainType(r.type)) {
        writePlainElement(out, e, indent);
        return;
    }
    const bool menu = r.type.find("Menu") != std::string::npos;
    out << indent << '<' << tagOf(r.type);
    attribute(out, "type", r.type);
    attribute(out, "name", e.label);
    attribute(out, "paramId", paramRef(e));
    attribute(out, "paramGroup", groupOf(e));
    if (!r.image.empty()) attribute(out, "imageId", r.image);
    std::vector<int> position = {e.x, e.y};
    if (menu) position.push_back(e.menuW);
    attribute(out, "position", joined(position, ","));
    if (r.type.find("Slider") != std::string::npos) attribute(out, "length", std::to_string(kSliderLength));
    attribute(out, "valueBounds", joined(r.bounds, ","));
    if (!r.list.empty()) attribute(out, "valueList", r.list);
    if (r.displayFirst != r.displayLast)
        attribute(out, "valueDisplay", std::to_string(r.displayFirst) + ":" + std::to_string(r.displayLast));
    const Address& a = r.address;
    if (a.kind == AddressKind::CC) {
        attribute(out, "ccNumber", std::to_string(a.cc));
    } else if (a.kind == AddressKind::NRPN) {
        attribute(out, "ccNumber", "6");
        attribute(out, "msbValue", std::to_string(a.msb));
        attribute(out, "lsbValue", std::to_string(a.base));
        attribute(out, "lsbControl", std::to_string(a.lsb));
    } else if (a.kind == AddressKind::SysEx) {
        attribute(out, "sysexIndex", std::to_string(e.sysexIndex));
        attribute(out, "changingByte", std::to_string(kChangingByte));
    }
    if (e.channel > 0) attribute(out, "channel", std::to_string(e.channel));
    if (!r.link.empty()) attribute(out, "biDirectLink", r.link);
    out << "/>\n";
}

std::string hexByte(int v)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

} // namespace

std::string writeLayout(const Chart& chart)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<!-- Made by qor-make-config from resources/chart: edit the chart, not this file. -->\n"
        << "<uiconfig>\n  <valueLists>\n";
    for (const std::string& name : chart.listOrder) {
        out << "    <list name=\"" << escaped(name) << "\">";
        for (const std::string& v : chart.lists.at(name)) out << "<value>" << escaped(v) << "</value>";
        out << "</list>\n";
    }
    out << "  </valueLists>\n";
    // The top-level controls first: the controller takes the first control of a parameter.
    for (const Element& e : chart.elements)
        if (e.layer.empty()) writeElement(out, e, "  ");
    std::function<void(const std::string&, const std::string&)> layers = [&](const std::string& parent,
                                                                           const std::string& indent) {
        for (const Layer& l : chart.layers) {
            if (l.parent != parent || l.name.empty()) continue;
            if (l.multi) out << indent << "<multilayer name=\"" << escaped(l.name) << "\" create=\"8\">\n";
            else out << indent << "<layer name=\"" << escaped(l.name) << "\" id=\"" << l.id << "\">\n";
            if (!l.image.empty())
                out << indent << "  <background imageId=\"" << escaped(l.image) << "\" position=\"" << l.x << ","
                    << l.y << "\"/>\n";
            for (const Element& e : chart.elements)
                if (e.layer == l.name && e.part <= 0) writeElement(out, e, indent + "  ");
            layers(l.name, indent + "  ");
            out << indent << (l.multi ? "</multilayer>\n" : "</layer>\n");
        }
    };
    layers("", "  ");
    out << "</uiconfig>\n";
    return out.str();
}

std::string writeSysex(const Chart& chart)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<!-- Made by qor-make-config from resources/chart. Entry n is the layout's sysexIndex n: device, type,\n"
        << "     part, parameter and value; F0 and F7 are added when the message leaves. -->\n"
        << "<sysexlist>\n";
    for (const std::vector<int>& t : chart.templates) {
        std::string text;
        for (size_t i = 0; i < t.size(); ++i) text += (i ? " " : "") + hexByte(t[i]);
        out << "  <sysex><values><value>" << text << "</value></values></sysex>\n";
    }
    out << "</sysexlist>\n";
    return out.str();
}

// The placement of the drawn names, for the image tool: one line per name.
std::string writeLabels(const Chart& chart)
{
    std::ostringstream out;
    out << "# Names drawn into the editor's backgrounds, placed by qor-make-config. Tab-separated:\n"
           "# image  x y w h (in the image)  align (left or centre)  text  layer\n";
    for (const LabelPlacement& l : chart.labels)
        out << l.image << '\t' << l.x << '\t' << l.y << '\t' << l.w << '\t' << l.h << '\t'
            << (l.left ? "left" : "centre") << '\t' << l.text << '\t' << (l.layer.empty() ? "-" : l.layer) << '\n';
    return out.str();
}

std::string writeListing(const Chart& chart)
{
    struct Line {
        std::vector<int> order;
        std::string text;
    };
    std::vector<Line> cc, nrpn, sysex;
    for (const Row& r : chart.rows) {
        int first = 0, last = 0;
        valueRange(r, &first, &last);
        const std::string where = r.channel == -1  ? "parts 1-8 on channels 1-8"
                                  : r.channel == 0 ? "parts 1-8"
                                                   : "channel " + std::to_string(r.channel);
        const std::string ids = r.channel == 0 || r.channel == -1
                                    ? std::to_string(r.id) + "-" + std::to_string(r.id + 7)
                                    : std::to_string(r.id);
        const std::string tail = " | `" + r.name + "` | " + ids + " | " + std::to_string(first) + "-" +
                                 std::to_string(last) + " | " + where + " | " + r.type + " |";
        const Address& a = r.address;
        if (a.kind == AddressKind::CC) cc.push_back({{a.cc, r.line}, "| " + std::to_string(a.cc) + tail});
        else if (a.kind == AddressKind::NRPN)
            nrpn.push_back({{a.msb, a.lsb, a.base, r.line},
                            "| " + std::to_string(a.msb) + " | " + std::to_string(a.lsb) + " | " +
                                std::to_string(a.base) + tail});
        else if (a.kind == AddressKind::SysEx)
            sysex.push_back({{a.type, a.param}, "| " + hexByte(a.type) + " | " + hexByte(a.param) + tail});
    }
    std::ostringstream out;
    out << "# MIDI chart\n\nMade by qor-make-config from `resources/chart/chart.tsv`. A per-part parameter sends on\n"
        << "its part's channel; a control with a channel outside the part panels sends on the channel of\n"
        << "part (channel - 1), or on the global channel for the global settings.\n";
    auto table = [&](const char* title, const char* head, std::vector<Line>& lines) {
        std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.order < b.order; });
        out << "\n## " << title << "\n\n" << head << "\n";
        for (const Line& l : lines) out << l.text << "\n";
    };
    const char* cols = " parameter | ids | values | where | control |";
    table("Control change", (std::string("| CC |") + cols + "\n|---|---|---|---|---|---|").c_str(), cc);
    table("NRPN (controller 99 MSB, 98 LSB, data on 6 = base + value)",
          (std::string("| MSB | LSB | base |") + cols + "\n|---|---|---|---|---|---|---|---|").c_str(), nrpn);
    table("SysEx parameter messages: F0 3E 0F device type part parameter value F7",
          (std::string("| type | parameter |") + cols + "\n|---|---|---|---|---|---|---|").c_str(), sysex);
    out << "\n## Shared addresses\n\n"
        << "- `kFXReverbRoom` and `kFXReverbEarlyRef` (and the Multi pair) send one CC value, 8 x room + early\n"
        << "  reflections. The room control is filed first, so incoming values find the early-reflections\n"
        << "  control, whose rule sets both.\n"
        << "- `kArpFillIn` and `kArpNoteOrdering` share MSB 0/LSB 1 with data 122 + 2 x ordering + fill-in;\n"
        << "  fill-in is filed first, so incoming values find note ordering, whose rule sets both.\n"
        << "- `kGlobalTempo` (global channel) and `kArpSpeed` (each part's channel) both use CC 9.\n"
        << "\n## One-way addresses\n\n"
        << "- `kGlobalMidiChannel`: the data value is value + 32 above its base, which no decoding row maps\n"
        << "  back; the synthesizer's global dump carries the channel instead.\n"
        << "- `kFXDelayRatio` and `kFXMultiDelayRatio` values 11 and 12 go out as MSB 0/LSB 100 with data\n"
        << "  value + 99, which decodes to base 96 at LSB 100; no row takes that key.\n"
        << "- No row uses MSB 7/LSB 120 or MSB 34/LSB 122 (three switches in one value) or MSB 14 and 43 with\n"
        << "  LSB 122 (remapped to other keys): data = base + value cannot make what they decode.\n";
    return out.str();
}

} // namespace makeconfig
