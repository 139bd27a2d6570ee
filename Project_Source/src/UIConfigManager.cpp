#include "UIConfigManager.h"

#include "kit/plugin/BundleResources.h"
#include "debugger.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"
#include "tea.h"

#include <tinyxml2.h>

#include <cstring>
#include <memory>

UIConfigManager::UIConfigManager() = default;

// The actions go with ownedActions; the maps only point at controls, which the surface owns.
UIConfigManager::~UIConfigManager()
{
    // The actions go with this manager: no parameter may point at one afterwards, since the MIDI
    // thread reads these pointers. A manager outliving its surface has graphics cleared first.
    IPluginBase* plug = graphics ? graphics->GetPlug() : nullptr;
    if (plug && !ownedActions.empty()) {
        std::set<const ControlAction*> mine;
        for (const auto& action : ownedActions) mine.insert(action.get());
        for (int i = 0, n = plug->NParams(); i < n; ++i) {
            IParam* param = plug->GetParam(i);
            if (param && mine.count(param->GetControlAction())) param->SetControlAction(nullptr);
        }
    }
    // A manager that goes without ClearImageCache still stops counting as a user of its bitmaps.
    for (auto& entry : images) {
        if (!entry.second.loaded) continue;
        entry.second.loaded = false;
        releaseImageClaim(entry.second.id);
    }
}

void UIConfigManager::setLogging(bool enabled, std::string path)
{
    loggingEnabled = enabled;
    logFilePath = std::move(path);
}

void UIConfigManager::log(const std::string& text) const
{
    if (loggingEnabled) DebuggerOutput::printDebugInfo(logFilePath, text);
}

void UIConfigManager::readUIConfig(IGraphics* graphicsIn, QOR* controllerIn, PatchLibrarian* librarianIn,
                                   int debug, double scaleIn)
{
    graphics = graphicsIn;
    controller = controllerIn;
    librarian = librarianIn;
    debugLevel = debug;
    scale = scaleIn;

    readSysexValues();
    initImages(graphics);
    initParams();
    readLayoutDocument();
}

void UIConfigManager::readLayoutDocument()
{
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    tinyxml2::XMLElement* root = loadDocument(document, kLayoutResourceId, kLayoutResource, "uiconfig");
    if (!root) return;
    readReasources(&document);
    processLayout(root);
}

std::string UIConfigManager::decipherResource(int resourceId, const char* path)
{
    if (!graphics) {
        log(std::string("CONFIG READER: No file loader for ") + path + "!");
        return {};
    }
    std::unique_ptr<char[]> buffer(graphics->LoadFile(resourceId, path));
    if (!buffer) {
        log(std::string("CONFIG READER: Configuration file ") + path + " MISSING!");
        return {};
    }
    // The size is that of the file just loaded, never more than the loader's buffer holds.
    int size = graphics->loadedFileSize;
    if (size < 0) size = 0;
    if (size > kResourceBufferSize) size = kResourceBufferSize;
    if (size == 0) {
        log(std::string("CONFIG READER: Configuration file ") + path + " is empty!");
        return {};
    }

    unsigned int key[4];
    Tea::configurationKey(key);
    Tea tea;
    std::string text;
    text.reserve(static_cast<size_t>(size) + 8);
    // The buffer is zero beyond the file, and one byte longer than the cap; a last partial
    // block is completed with zeros before it is deciphered.
    for (int offset = 0; offset < size; offset += 8) {
        unsigned char block[8] = {0};
        int available = size - offset < 8 ? size - offset : 8;
        std::memcpy(block, buffer.get() + offset, static_cast<size_t>(available));
        tea.simpledecrypt(block, key);
        text.append(reinterpret_cast<const char*>(block), 8);
    }
    return text;
}

tinyxml2::XMLElement* UIConfigManager::loadDocument(tinyxml2::XMLDocument& document, int resourceId,
                                                    const char* path, const char* rootName)
{
    std::string text = decipherResource(resourceId, path);
    if (text.empty()) return nullptr;
    // The document ends at the first zero byte of the text, as the padding begins there.
    if (document.Parse(text.c_str()) != tinyxml2::XML_SUCCESS) {
        log(std::string("CONFIG READER: Configuration file ") + path + " could not be parsed (" +
            document.ErrorName() + ")!");
        return nullptr;
    }
    tinyxml2::XMLElement* root = document.FirstChildElement(rootName);
    if (!root) {
        log(std::string("CONFIG READER: Configuration file ") + path + " has no " + rootName + " element!");
        return nullptr;
    }
    return root;
}
