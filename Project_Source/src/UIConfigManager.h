#pragma once
// The configuration manager: the parameter registry, the editor bitmap table, the reader of
// the two enciphered configuration files with their SysEx templates and value lists, and the
// control factory with its control actions and MIDI lookup containers.
#include "ControlAction.h"
#include "ControlContainers.h"
#include "kit/plugin/IGraphicsStructs.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
class XMLNode;
}
class QOR;
class PatchLibrarian;
class IGraphics;
struct IDecodedBitmap;
class IPluginBase;
class IParam;
class IControl;
class IFaderControl;
class ControlLayer;
class LibrarianViewControl;
struct LayoutElement;

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
    // More values than any control of the synthesizer has: menus count their entries against
    // it, knobs and faders their messages; a range beyond it is a broken layout.
    static constexpr int kMaxControlValues = 16384;
    // The SysEx bytes one control may precompute (messages x template length); the largest
    // real dump is 383 bytes x 128.
    static constexpr long long kMaxControlSysexBytes = 4LL << 20;

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
    void readUIConfig(IGraphics* graphics, QOR* controller, PatchLibrarian* librarian, int debug, double scale);

    // Parameter registry.
    void initParams();
    void mapParamToString(std::string name, int id);
    int getParamByName(std::string name);
    // The id of part (0 for part 1 .. 7 for part 8) of a registered name; -1 for an unknown
    // name or a part the parameter does not have (single parameters have only part 0).
    int getPartParamByName(std::string name, int part);

    // Bitmap table.
    void initImages(IGraphics* graphics);
    // decoded: the image when initImages decoded it ahead.
    void preloadImage(IGraphics* graphics, int id, const char* name, const char* file, int frames,
                      bool framesHorizontal, IDecodedBitmap* decoded = nullptr);
    IBitmap getImageByName(IGraphics* graphics, std::string name);
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

    // Control actions (UIConfigManagerControlActions.cpp).
    // Replaces out->messages with count messages of the template, the value of each written at
    // the 1-based changingByte, the part (when above 0) at byte 5. A template too short for
    // changingByte or the part byte, or one whose messages would exceed kMaxControlSysexBytes,
    // gives no message.
    void calculateSysexWithChangingByte(std::string sysexTemplate, int changingByte, int count,
                                        ControlActionSysExMessage* out, int start, int part);
    // The action of the parameter, made (and owned here) with the creator's kind when it has
    // none, else given that kind; the control, when given, is appended to its controls. Null
    // when the id names no parameter of the plug-in.
    ControlAction* getControlAction(int paramId, int kind, IControl* control);
    // Copies the link into the action and gives the first linked parameter a link back; a
    // link without both ids is ignored.
    void linkControlAction(ControlAction* action, int paramId, LinkInfo link);
    // Fills the action's messages from template sysexIndex and files the control under the
    // first message's key bytes and index. A template that breaks a limit (kMaxControlSysexBytes
    // among them) leaves the messages
    // empty and files nothing (logged); false then.
    bool setSysexMessages(ControlAction* action, IControl* control, int sysexIndex, int changingByte, int count,
                          int start, int part, unsigned char index);
    // The CC map, under the action's channel key, CC number and global key.
    void fileCCControl(ControlAction* action, IControl* control);
    IControl* getCCControl(int channelKey, int ccNumber, int globalKey) const;

    // Menu creators (UIConfigManagerMenus.cpp).
    const char* getParamGroup(int part, std::string group);
    void createDropDownMenu(std::string name, int paramId, int x, int y, int width, int height, int part,
                            ControlLayer* layer, std::string group);
    void createDropDownMenu2(std::string name, int paramId, int x, int y, int width, int height, int defaultValue,
                             int minValue, int maxValue, std::vector<std::string> values, int part,
                             ControlLayer* layer, std::string group);
    void createMIDIDeviceSelectionControl(std::string name, int paramId, int x, int y, int width, int height,
                                          int inputDevices, int part, ControlLayer* layer, std::string group);
    void createNoValDropDown(std::string name, int paramId, int x, int y, int width, int height, int defaultValue,
                             int minValue, int maxValue, int firstNumber, int lastNumber, int visible,
                             std::vector<std::string> values, int part, ControlLayer* layer, std::string group,
                             bool white);
    // The layout rectangle scaled: each product truncated on its own.
    IRECT scaledRect(int x, int y, int width, int height) const;

    // MIDI menu creators (UIConfigManagerMIDIMenus.cpp).
    void createMultiSelectionCCControl(int ccNumber, int channel, std::string name, int paramId, int x, int y,
                                       int width, int height, int defaultValue, int minValue, int maxValue,
                                       int firstNumber, int lastNumber, std::vector<std::string> values, int part,
                                       ControlLayer* layer, std::string group);
    void createMsbLsbSelectionCCControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                        std::string name, int paramId, int x, int y, int width, int height,
                                        int defaultValue, int minValue, int maxValue, int firstNumber,
                                        int lastNumber, std::vector<std::string> values, int part,
                                        ControlLayer* layer, std::string group);
    void createMultiSelectionSysExControl(std::string name, int paramId, int x, int y, int width, int height,
                                          int defaultValue, int minValue, int maxValue, int firstNumber,
                                          int lastNumber, std::vector<std::string> values, int msgZeroVal,
                                          int color, int sysexIndex, int changingByte, int part,
                                          ControlLayer* layer, std::string group);

    // Switch and button creators (UIConfigManagerButtons.cpp). A button's two SysEx messages are
    // for off and on; the momentary switch made outside the layout is returned to its maker.
    void createSysExBoolControl(std::string name, int paramId, int x, int y, std::string imageId, double defaultValue,
                                int msgZeroVal, int sysexIndex, int changingByte, int part, LinkInfo link,
                                ControlLayer* layer, std::string group);
    void createCCBoolControl(int ccNumber, int channel, std::string name, int paramId, int x, int y,
                             std::string imageId, double defaultValue, double offValue, double onValue, LinkInfo link,
                             int part, ControlLayer* layer, std::string group);
    void createMsbLsbBoolControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                 std::string name, int paramId, int x, int y, std::string imageId,
                                 double defaultValue, double offValue, double onValue, LinkInfo link, int part,
                                 ControlLayer* layer, std::string group);
    void createBoolControl(std::string name, int paramId, int defaultValue, int x, int y, std::string imageId,
                           int part, ControlLayer* layer, std::string group);
    void createSwitchControl(std::string name, int paramId, int defaultValue, int x, int y, std::string imageId,
                             int part, ControlLayer* layer, std::string group);
    IControl* createAutoOffSwitchControl(std::string name, int paramId, int x, int y, std::string imageId, int part,
                                         ControlLayer* layer, std::string group);
    void createRadioControl(std::string name, int paramId, int x, int y, std::string imageId, int buttons, int part,
                            ControlLayer* layer, std::string group);

    // Knob creators (UIConfigManagerKnobs.cpp). The unnamed value is the fourth of valueBounds,
    // which only the CC knob reads (as its step).
    void createSysExKnobControl(std::string name, int paramId, int x, int y, std::string imageId, double defaultValue,
                                double minValue, double maxValue, double, int msgZeroVal, int sysexIndex,
                                int changingByte, int part, LinkInfo link, ControlLayer* layer, std::string group);
    void createCCKnobControl(int ccNumber, int channel, std::string name, int paramId, int x, int y,
                             std::string imageId, double defaultValue, double minValue, double maxValue, double step,
                             LinkInfo link, int part, ControlLayer* layer, std::string group);
    void createMsbLsbKnobControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                 std::string name, int paramId, int x, int y, std::string imageId,
                                 double defaultValue, double minValue, double maxValue, double, LinkInfo link,
                                 int part, ControlLayer* layer, std::string group);
    void createNoValKnobControl(std::string name, int paramId, int x, int y, std::string imageId, double defaultValue,
                                double minValue, double maxValue, double, int part, ControlLayer* layer,
                                std::string group);

    // Text fields (UIConfigManagerDisplays.cpp): a read-out the controller writes, and a name
    // field showing a text parameter. Neither sends MIDI.
    void createControlDisplay(std::string name, int paramId, int x, int y, int width, int height, int part,
                              ControlLayer* layer, std::string group, int displaySize);
    void createNameDisplay(std::string name, int paramId, int x, int y, int width, int height, int nameLen, int part,
                           ControlLayer* layer, std::string group);

    // Attribute parsers (UIConfigManagerLookups.cpp). Slots without a number keep what they held.
    void getCSValues(std::string text, int* values, int count);
    // link[0..2] from "name,name[,extra]": the registered ids plus the part; -1 for a missing
    // name or no link.
    void getBiDirectLinkValues(std::string text, int* link, int part);

    // The layout walk (UIConfigManagerLayout.cpp): builds the layers and controls of node, its
    // following siblings and, for layers, their children, into layer for part (-1 outside any
    // per-part copy).
    void processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part);
    // Nodes the last layout walk looked at.
    long layoutVisited() const { return mLayoutVisited; }

    // Slider creators (UIConfigManagerSliders.cpp).
    void createCCSliderControl(int ccNumber, int channel, std::string name, int paramId, int x, int y, int length,
                               std::string imageId, double defaultValue, double minValue, double maxValue,
                               LinkInfo link, int part, ControlLayer* layer, std::string group,
                               EDirection direction, bool);
    void createSysExSliderControl(std::string name, int paramId, int x, int y, int length, std::string imageId,
                                  double defaultValue, double minValue, double maxValue, double, int msgZeroVal,
                                  int sysexIndex, int changingByte, int part, LinkInfo link, ControlLayer* layer,
                                  std::string group, EDirection direction, bool);

    std::map<std::string, int> paramIds;
    std::map<std::string, ImageInfo> images;
    bool releaseMode = false;

    IGraphics* graphics = nullptr;
    QOR* controller = nullptr;
    PatchLibrarian* librarian = nullptr;
    int debugLevel = 0; // kept, not read
    double scale = 1.0;

    std::map<std::string, std::vector<std::string>> valueLists;
    std::vector<SysExContainer> sysexContainers;

    // The layers the walk made, by name (the last of a name); the surface owns them.
    std::map<std::string, ControlLayer*> layers;
    // The slot grid of the last patchBrowser element; the surface owns it.
    LibrarianViewControl* librarianView = nullptr;

    std::map<int, controlID3> ccControls;
    NRPNControlContainer nrpnControls;
    SysExControlContainer sysexControls;
    std::string paramGroupText;
    // Program values by three int keys, read by the controller's lookups.
    std::map<int, std::map<int, std::map<int, int>>> programValues;
    // A set and a get of programValues may meet on two threads.
    std::mutex programValuesLock;

    bool loggingEnabled = false;
    std::string logFilePath;

protected:
    // Reads the value lists and walks the layout document: the last step of readUIConfig.
    void readLayoutDocument();
    // Builds the layers and controls from the children of the layout's root element.
    virtual void processLayout(tinyxml2::XMLElement* root);

    void log(const std::string& text) const;

    // The parameter of the surface's plug-in; null (logged with the element's name) for an id
    // outside the table.
    IParam* paramForElement(const std::string& name, int paramId);
    // The surface's plug-in's list of MIDI input or output device names.
    std::vector<std::string> deviceNames(bool input);
    // The entries of a menu range (max - min); -1, logged with the element's name, for a
    // negative or absurd range.
    int entryCount(const std::string& name, int minValue, int maxValue);
    // Places a creator's control on its layer, else on the surface.
    void placeControl(IControl* control, ControlLayer* layer);
    // The steps the MIDI menus share: the enumeration named by the layer rule (bare on a layer
    // in nameSets), its texts, and a caption placed and given the parameter's action of the
    // kind. Null when the element makes no control: no parameter, a negative range, or no
    // fitting value list and equal display numbers.
    IControl* makeMIDIMenu(const std::string& name, int paramId, unsigned nameSets, IRECT rect, int textSize,
                           IColor color, int defaultValue, int minValue, int maxValue, int firstNumber,
                           int lastNumber, const std::vector<std::string>& values, int part, ControlLayer* layer,
                           const std::string& group, int kind, ControlAction** action);
    // The steps every switch and button shares: the bool parameter, the bitmap switch (momentary
    // or stepping) placed, and the action of the kind. Null when the id names no parameter.
    IControl* makeSwitch(const std::string& name, const std::string& paramName, int paramId, bool on, int x, int y,
                         const std::string& imageId, int part, ControlLayer* layer, const std::string& group,
                         bool momentary, int kind, ControlAction** action);
    // The steps both sliders share: the handle bitmap, the continuous parameter named by the
    // mixer rule, and the fader placed. Null when the id names no parameter.
    IFaderControl* makeFader(const std::string& name, int paramId, int x, int y, int length,
                             const std::string& imageId, double defaultValue, double minValue, double maxValue,
                             int part, ControlLayer* layer, const std::string& group, EDirection direction);

    // The steps every knob shares: the continuous parameter, the frame-strip knob placed and,
    // unless action is null, the parameter's action of the kind. Null when the id names no
    // parameter.
    IControl* makeKnob(const std::string& name, const std::string& paramName, int paramId, int x, int y,
                       const std::string& imageId, double defaultValue, double minValue, double maxValue, double step,
                       int part, ControlLayer* layer, const std::string& group, int kind, ControlAction** action);

    // Writes the NRPN address and the keys (by the element's channel, else by part) into the
    // action and files the control in the NRPN container.
    void fileNRPNControl(ControlAction* action, IControl* control, int ccNumber, int msbValue, int lsbValue,
                         int lsbControl, bool byChannel, int channel, int part, int paramId);
    // Deciphers and parses a configuration resource; the root element of rootName, or null
    // (logged) when the file is missing or empty, does not parse or lacks that root.
    tinyxml2::XMLElement* loadDocument(tinyxml2::XMLDocument& document, int resourceId, const char* path,
                                       const char* rootName);

    // Steps of the layout walk (UIConfigManagerLayout.cpp, UIConfigManagerLayoutControls.cpp).
    void processLayoutElement(tinyxml2::XMLElement* element, ControlLayer* layer, int part);
    // Whether one more layer or control may be built; false, logged once, past the walk's limit.
    bool countLayoutBuild();
    // Whether the walk may look at one more node; false, logged once, past its limit.
    bool countLayoutVisit();
    // The element's parameter id for the part, -1 without a reference; false when the
    // reference names no parameter of the table.
    bool resolveLayoutParam(const LayoutElement& element, int part, int* id);
    void skipLayoutElement(const LayoutElement& element, const std::string& why);
    // count values of a list attribute into values, each preset to 0; a short list is logged.
    // With bounded, each value is kept within the layout's coordinate bound.
    void readLayoutList(const LayoutElement& element, const char* attribute, int* values, int count,
                        bool bounded);
    // Attaches a new layer to its parent, or to the surface at the top; a layer that cannot be
    // attached is deleted (false).
    bool attachLayoutLayer(ControlLayer* layer, ControlLayer* parent);
    void buildLayoutLayer(const LayoutElement& element, ControlLayer* parent, int part);
    void buildLayoutCopies(const LayoutElement& element, ControlLayer* parent);
    void buildPatchBrowser(const LayoutElement& element, ControlLayer* layer);
    void buildBackground(const LayoutElement& element, ControlLayer* layer);
    // display, switch, autooff, radio, dropMenu and multiFx; false when the element is skipped.
    bool buildPlainControl(const LayoutElement& element, int paramId, ControlLayer* layer, int part);
    // knobcontrol, buttoncontrol, menucontrol and slidercontrol, by their type.
    bool buildMIDIControl(const LayoutElement& element, int paramId, ControlLayer* layer, int part);
    // The list named by the element's valueList, made (empty) when there is none.
    std::vector<std::string> layoutValueList(const LayoutElement& element);

private:
    // Layers and controls the walk has built, nodes it has looked at, and whether it stopped at
    // either limit.
    long mLayoutBuilt = 0;
    long mLayoutVisited = 0;
    bool mLayoutStopped = false;

    // Every action this manager made, link targets too: parameters only point at them.
    std::vector<std::unique_ptr<ControlAction>> ownedActions;

    // The process-wide count of managers holding each image id; both return the count after.
    static int claimImage(int id);
    static int releaseImageClaim(int id);
};
