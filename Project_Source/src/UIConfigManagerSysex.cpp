#include "UIConfigManager.h"

#include <tinyxml2.h>

#include <sstream>

namespace {

// The text of a list element: a single blank for an element without text.
std::string elementText(const tinyxml2::XMLElement* element)
{
    const char* text = element->GetText();
    return text ? std::string(text) : std::string(" ");
}

// A list element and every element after it, whatever their names, as the document walks them.
template <typename F>
void forEachFrom(const tinyxml2::XMLElement* first, F&& f)
{
    for (const tinyxml2::XMLElement* e = first; e; e = e->NextSiblingElement()) f(e);
}

} // namespace

void UIConfigManager::readSysexValues()
{
    log("CONFIG READER: Started to read SysEx Data...");
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    tinyxml2::XMLElement* root = loadDocument(document, kSysexResourceId, kSysexResource, "sysexlist");
    if (root) {
        forEachFrom(root->FirstChildElement("sysex"), [&](const tinyxml2::XMLElement* entry) {
            SysExContainer container;
            forEachFrom(entry->FirstChildElement("values"), [&](const tinyxml2::XMLElement* list) {
                if (list->FirstChildElement("value")) {
                    // A plain list: empty texts are skipped.
                    Values values;
                    forEachFrom(list->FirstChildElement("value"), [&](const tinyxml2::XMLElement* v) {
                        std::string text = elementText(v);
                        if (!text.empty()) values.push_back(text);
                    });
                    container.values.push_back(values);
                } else {
                    // A multi list: one list of texts per multivalue, empty texts kept.
                    std::vector<Values> multi;
                    forEachFrom(list->FirstChildElement("multivalue"), [&](const tinyxml2::XMLElement* m) {
                        Values values;
                        forEachFrom(m->FirstChildElement("value"),
                                    [&](const tinyxml2::XMLElement* v) { values.push_back(elementText(v)); });
                        multi.push_back(values);
                    });
                    container.multiValues.push_back(multi);
                    container.isMulti = true;
                }
            });
            sysexContainers.push_back(container);
        });
    }
    log("CONFIG READER: Completed reading SysEx data!");
}

void UIConfigManager::readReasources(tinyxml2::XMLDocument* document)
{
    if (!document) return;
    tinyxml2::XMLElement* root = document->FirstChildElement("uiconfig");
    tinyxml2::XMLElement* lists = root ? root->FirstChildElement("valueLists") : nullptr;
    if (!lists) return;
    for (tinyxml2::XMLElement* list = lists->FirstChildElement(); list; list = list->NextSiblingElement()) {
        if (std::string(list->Name()) != "list") continue;
        // A list without a name could never be asked for.
        const char* name = list->Attribute("name");
        if (!name) {
            log("CONFIG READER: value list without a name skipped!");
            continue;
        }
        std::vector<std::string> texts;
        for (tinyxml2::XMLElement* v = list->FirstChildElement(); v; v = v->NextSiblingElement()) {
            if (std::string(v->Name()) != "value") continue;
            const char* text = v->GetText();
            texts.push_back(text ? text : "");
        }
        valueLists[name] = texts;
    }
}

bool UIConfigManager::getSysexTemplate(int sysexIndex, std::vector<int>* bytes)
{
    if (sysexIndex < 0 || static_cast<size_t>(sysexIndex) >= sysexContainers.size()) {
        log("CONFIG READER: SysEx template " + std::to_string(sysexIndex) + " does not exist!");
        return false;
    }
    const SysExContainer& entry = sysexContainers[static_cast<size_t>(sysexIndex)];
    if (entry.values.empty() || entry.values.front().empty()) {
        log("CONFIG READER: SysEx template " + std::to_string(sysexIndex) + " has no template text!");
        return false;
    }
    if (bytes) *bytes = convertStringSysextoVector(entry.values.front().front());
    return true;
}

void UIConfigManager::Tokenize(const std::string& text, std::vector<std::string>& tokens,
                               const std::string& delimiters)
{
    std::string::size_type start = text.find_first_not_of(delimiters, 0);
    std::string::size_type end = text.find_first_of(delimiters, start);
    while (start != std::string::npos || end != std::string::npos) {
        tokens.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = text.find_first_not_of(delimiters, end);
        end = text.find_first_of(delimiters, start);
    }
}

std::vector<int> UIConfigManager::convertStringSysextoVector(std::string text)
{
    std::vector<std::string> tokens;
    Tokenize(text, tokens, " ");
    std::vector<int> bytes;
    bytes.reserve(tokens.size());
    for (const std::string& token : tokens) {
        int value = 0;
        std::istringstream in(token);
        in >> std::hex >> value;
        // A token that is no number, or one too large for an int, counts as 0.
        if (in.fail()) value = 0;
        bytes.push_back(value);
    }
    return bytes;
}
