#pragma once
// The configuration manager: the parameter registry, the editor bitmap table, the reader of
// the two enciphered configuration files with their SysEx templates and value lists.
#include "UIConfigGraphics.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
}
class QOR;
class PatchLibrarian;

// One row of the bitmap table as kept in memory.
struct ImageInfo {
    int id = 0;
    int frames = 1;
    bool framesHorizontal = false;
    // Whether this manager holds the bitmap in the cache; false when it could not be loaded,
    // and again after ClearImageCache.
    bool loaded = false;
};

// One list of texts, in document order.
typedef std::vector<std::string> Values;

// One entry of the SysEx template document. The template of an entry is the first text of
// its first plain list.
struct SysExContainer {
    std::vector<Values> values;
    std::vector<std::vector<Values>> multiValues;
    bool isMulti = false;
};

class UIConfigManager {
public:
    // Resource ids and names of the two configuration files.
    static constexpr int kLayoutResourceId = 100;
    static constexpr const char* kLayoutResource = "resources/uiconfig.tea";
    static constexpr int kSysexResourceId = 101;
    static constexpr const char* kSysexResource = "resources/sysex.tea";

    UIConfigManager();
    virtual ~UIConfigManager();
    UIConfigManager(const UIConfigManager&) = delete;
    UIConfigManager& operator=(const UIConfigManager&) = delete;

    // The controller's log switch and log file; every log line of the manager goes there while
    // logging is on. Set before readUIConfig.
    void setLogging(bool enabled, std::string logFilePath);

    // Runs the whole configuration once: SysEx templates, bitmaps, parameter names, then the
    // layout document (value lists, then the layout walk). A configuration file that is
    // missing, empty, unparsable or without its root element is logged and leaves the editor
    // without what that file configures.
    void readUIConfig(UIConfigGraphics* graphics, QOR* controller, PatchLibrarian* librarian, int debug,
                      double scale);

    // Parameter registry.
    void initParams();
    void mapParamToString(std::string name, int id);
    int getParamByName(std::string name);
    // The id of part (0 for part 1 .. 7 for part 8) of a registered name; -1 for an unknown
    // name or a part the parameter does not have (single parameters have only part 0).
    int getPartParamByName(std::string name, int part);

    // Bitmap table.
    void initImages(UIConfigGraphics* graphics);
    void preloadImage(UIConfigGraphics* graphics, int id, const char* name, const char* file, int frames,
                      bool framesHorizontal);
    ConfigBitmap getImageByName(UIConfigGraphics* graphics, std::string name);
    void ClearImageCache();
    // How many open managers hold the bitmap of an image id (shared by the whole process).
    static int imageUsers(int id);

    // SysEx templates and value lists.
    void readSysexValues();
    void readReasources(tinyxml2::XMLDocument* document);
    // The bytes of the template of entry sysexIndex. False, with a log line, when there is no
    // such entry or its first plain list holds no text.
    bool getSysexTemplate(int sysexIndex, std::vector<int>* bytes);
    static void Tokenize(const std::string& text, std::vector<std::string>& tokens, const std::string& delimiters);
    static std::vector<int> convertStringSysextoVector(std::string text);

    // Loads a configuration resource and deciphers it block by block: every deciphered byte,
    // the zeros of a completed last block included. Empty when the file is missing or empty
    // (logged).
    std::string decipherResource(int resourceId, const char* path);

    std::map<std::string, int> paramIds;
    std::map<std::string, ImageInfo> images;
    bool releaseMode = false;

    UIConfigGraphics* graphics = nullptr;
    QOR* controller = nullptr;
    PatchLibrarian* librarian = nullptr;
    int debugLevel = 0; // kept, not read
    double scale = 1.0;

    std::map<std::string, std::vector<std::string>> valueLists;
    std::vector<SysExContainer> sysexContainers;

    bool loggingEnabled = false;
    std::string logFilePath;

protected:
    // Reads the value lists and walks the layout document: the last step of readUIConfig.
    void readLayoutDocument();
    // Builds the layers and controls from the children of the layout's root element. The
    // layout language adds this walk; the manager itself builds no controls.
    virtual void processLayout(tinyxml2::XMLElement* root);

    void log(const std::string& text) const;

    // Deciphers and parses a configuration resource; the root element of rootName, or null
    // (logged) when the file is missing or empty, does not parse or lacks that root.
    tinyxml2::XMLElement* loadDocument(tinyxml2::XMLDocument& document, int resourceId, const char* path,
                                       const char* rootName);

private:
    // The process-wide count of managers holding each image id; both return the count after.
    static int claimImage(int id);
    static int releaseImageClaim(int id);
};
