// The layout walk: layers and per-part copies, references, the element tail, scaled geometry,
// the MIDI control elements with their groups and links, and what a broken layout is cut to.
#include "Project_Source/src/LibrarianViewControl.h"
#include "config_test_support.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace pid
{ // some parameter names are also the framework's controller-number names
#include "Project_Source/src/ParamTable.h"
}
using namespace configtest;
using namespace pid;
using Ints = std::vector<int>;
using Texts = std::vector<std::string>;

namespace
{

const int kHandleImage = 930;

// The creators' bench with the parameter registry and the image "HANDLE" (20 x 10, one frame),
// walking documents whose root's children are given.
struct Walk : Bench {
    explicit Walk(double scale = 1.0) : Bench(scale)
    {
        manager.initParams();
        handle(kHandleImage);
        writeFile(logPath, "");
    }
    void run(const std::string& children)
    {
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        document.Parse(("<uiconfig>" + children + "</uiconfig>").c_str());
        manager.readReasources(&document);
        manager.processXMLElement(document.FirstChildElement("uiconfig")->FirstChild(), nullptr, -1);
    }
    ControlLayer* mapped(const std::string& name)
    {
        auto it = manager.layers.find(name);
        return it == manager.layers.end() ? nullptr : it->second;
    }
    Texts log() const { return logTextsOf(logPath); }
    int controls() const { return surface->NControls() - 1; } // beside the panel background
    IControl* control(int i) { return surface->GetControl(i + 1); }
};

// A MIDI control element; the type chooses the creator, never the element's name.
std::string midi(const std::string& type, const std::string& ref, const std::string& extra = "",
                 const std::string& image = "HANDLE", const std::string& tag = "knobcontrol",
                 const std::string& position = "4,6")
{
    return "<" + tag + " type=\"" + type + "\" name=\"k\" paramId=\"" + ref + "\" position=\"" + position +
           "\" valueBounds=\"0,0,127,1\" imageId=\"" + image + "\" " + extra + "/>";
}

std::string knob(const std::string& ref, const std::string& extra = "")
{
    return midi("ccKnob", ref, extra);
}

Ints rect(IControl* c)
{
    const IRECT* r = c->GetRECT();
    return {r->L, r->T, r->R, r->B};
}

TEST(LayoutWalk, MultilayerBuildsOneNamedCopyPerPartWithEveryChildForItsPart)
{
    Walk w;
    w.run("<multilayer name=\"sequencerPanel\" create=\"8\">" + knob("kFilterCutoff") + "</multilayer>");
    ASSERT_EQ(w.surface->NLayers(), 8);
    for (int i = 0; i < 8; ++i) {
        ControlLayer* copy = w.surface->GetLayer(i);
        EXPECT_EQ(w.mapped("sequencerPanel" + std::to_string(i)), copy);
        EXPECT_EQ(copy->id, i);
        ASSERT_EQ(copy->controls.GetSize(), 1);
        EXPECT_EQ(copy->controls.Get(0)->ParamIdx(), kFilterCutoff + i);
        EXPECT_EQ(w.action(kFilterCutoff + i)->part, i);
    }
    EXPECT_EQ(w.manager.layers.size(), 8u);
}

TEST(LayoutWalk, ReferencesResolveOrSkipTheElementWithOneLine)
{
    const std::string skipped = "CONFIG READER: knobcontrol k skipped";
    const struct {
        const char* ref;
        int id; // -1: skipped
        Texts log;
    } rows[] = {
        {"kFilterCutoff+3", kFilterCutoff + 3, {}},
        {"kFilterCutoff+3+9", kFilterCutoff + 3, {}},
        {"kFilterCutoff+x", kFilterCutoff, {}},
        {"kFilterCutoff + 1", -1, {"CONFIG READER: parameter kFilterCutoff  NOT FOUND!", skipped}},
        {"kNoSuchThing", -1, {"CONFIG READER: parameter kNoSuchThing NOT FOUND!", skipped}},
        {"++", -1, {skipped}},
        {"kFilterCutoff+99999999999", -1, {skipped}},
        {"kLibrarianArea+2", -1, {skipped}},
        {"kFilterCutoff+-1505", -1, {skipped}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ref);
        Walk w;
        w.run(knob(r.ref));
        EXPECT_EQ(w.log(), r.log);
        ASSERT_EQ(w.controls(), r.id < 0 ? 0 : 1);
        if (r.id >= 0) {
            EXPECT_EQ(w.control(0)->ParamIdx(), r.id);
        }
    }
    Walk inCopy;
    inCopy.run("<multilayer name=\"m\" create=\"4\"/><multilayer name=\"p\" create=\"4\">" + knob("kFilterCutoff+1") +
               "</multilayer>");
    EXPECT_EQ(inCopy.mapped("p3")->controls.Get(0)->ParamIdx(), 1508);
}

TEST(LayoutWalk, SkipsAndCutsLogOneLineEachOnlyWhileLoggingIsOn)
{
    const std::string broken =
        "<switch name=\"noRef\" position=\"0,0\"/>"
        "<knobcontrol type=\"seKnob\" name=\"edge\" paramId=\"kFilterCutoff\" valueBounds=\"0,0,16383,0\" "
        "sysexIndex=\"0\" changingByte=\"8\" imageId=\"HANDLE\"/>"
        "<knobcontrol type=\"seKnob\" name=\"big\" paramId=\"kFilterCutoff\" valueBounds=\"0,0,16384,0\"/>"
        "<radio name=\"r\" paramId=\"kFilterKeytrack\" buttons=\"16385\"/>"
        "<multilayer name=\"m\" create=\"9\"/><layer id=\"4\"/>"
        "<switch name=\"short\" paramId=\"kFilterResonance\" position=\"5\" imageId=\"HANDLE\"/>";
    Walk w;
    w.run(broken);
    EXPECT_EQ(w.log(),
              Texts({"CONFIG READER: switch noRef skipped", "CONFIG READER: knobcontrol big skipped: 16385 messages",
                     "CONFIG READER: radio r skipped: 16385 buttons", "CONFIG READER: multilayer m create 9 cut to 8",
                     "CONFIG READER: layer without name left out of the layer map",
                     "CONFIG READER: switch short position gives 1 of 2 values"}));
    // The cut multilayer made eight copies, the nameless layer stands attached after them.
    EXPECT_EQ(w.surface->NLayers(), 9);
    EXPECT_EQ(w.surface->GetLayer(8)->id, 4);
    EXPECT_EQ(w.manager.layers.size(), 8u);
    // The knob of 16,384 messages is built; the short list's missing y is 0.
    ASSERT_EQ(w.controls(), 2);
    EXPECT_EQ(w.control(0)->ParamIdx(), kFilterCutoff);
    EXPECT_EQ(w.action(kFilterCutoff)->messages.size(), 16384u);
    EXPECT_EQ(rect(w.control(1)), Ints({5, 0, 25, 10}));
    EXPECT_EQ(w.action(kFilterKeytrack), nullptr);

    Walk quiet;
    quiet.manager.setLogging(false, quiet.logPath);
    quiet.run(broken + knob("kNoSuchThing"));
    EXPECT_EQ(quiet.log(), Texts());
}

TEST(LayoutWalk, CommentsAreSkippedAndOnlyLayersAndCopiesVisitTheirChildren)
{
    Walk none;
    none.run("<multilayer name=\"a\" create=\"0\">" + knob("kNoSuchThing") +
             "</multilayer><multilayer name=\"b\" create=\"-3\">" + knob("kNoSuchThing") + "</multilayer>");
    EXPECT_EQ(Ints({none.surface->NLayers(), none.controls(), int(none.log().size())}), Ints({0, 0, 0}));

    Walk w;
    w.run("<!-- c -->text<switch name=\"s\" paramId=\"kFilterCutoff\" position=\"1,2\" imageId=\"HANDLE\">"
          "<layer name=\"inSwitch\"/>" +
          knob("kFilterResonance") +
          "</switch><unknown paramId=\"kFilterKeytrack\"><layer name=\"inUnknown\"/></unknown>"
          "<valueLists><layer name=\"inLists\"/></valueLists>"
          "<radio name=\"r\" paramId=\"kFilterKeytrack\" position=\"3,4\" imageId=\"HANDLE\" buttons=\"2\">"
          "<layer name=\"inRadio\"/></radio><sublayer name=\"sub\">" +
          knob("kFilterCutoff+1") + "</sublayer>");
    EXPECT_EQ(w.manager.layers.size(), 1u);
    ASSERT_EQ(w.controls(), 2);
    EXPECT_EQ(Ints({w.control(0)->ParamIdx(), w.control(1)->ParamIdx()}), Ints({kFilterCutoff, kFilterKeytrack}));
    EXPECT_EQ(w.mapped("sub")->controls.Get(0)->ParamIdx(), kFilterCutoff + 1);
    EXPECT_EQ(w.action(kFilterResonance), nullptr);
}

TEST(LayoutWalk, LayerMapHoldsTheLastOfANameAndOverlayIsOnOnlyForTrue)
{
    Walk w;
    w.run("<layer name=\"a\" id=\"3\"><layer name=\"a\" id=\"5\"/></layer>"
          "<multilayer name=\"c\" create=\"2\"><layer name=\"c1\"/></multilayer>"
          "<layer name=\"dup\"/><layer name=\"dup\"/>"
          "<layer name=\"on\" overlay=\"true\"/><layer name=\"caps\" overlay=\"TRUE\"/><layer name=\"yes\" "
          "overlay=\"yes\"/>"
          "<dropMenu type=\"dropSelection\" name=\"d\" paramId=\"kFilterCutoff\" bounds=\"0,0,9,9\" "
          "valueList=\"nope\"/>");
    EXPECT_EQ(w.mapped("a")->id, 5);
    EXPECT_EQ(w.mapped("a"), w.surface->GetLayer(0)->childLayers.Get(0));
    EXPECT_EQ(w.mapped("c1"), w.surface->GetLayer(2));
    EXPECT_EQ(w.mapped("c0")->childLayers.Get(0)->name, "c1");
    EXPECT_EQ(w.mapped("dup"), w.surface->GetLayer(4));
    EXPECT_EQ(w.surface->GetLayer(3)->name, "dup");
    EXPECT_EQ(Ints({w.mapped("on")->ignoreHidden, w.mapped("caps")->ignoreHidden, w.mapped("yes")->ignoreHidden}),
              Ints({1, 0, 0}));
    ASSERT_EQ(w.manager.valueLists.count("nope"), 1u);
    EXPECT_TRUE(w.manager.valueLists["nope"].empty());
}

TEST(LayoutWalk, TailSetsThePartOfTheCopyElseOfTheChannel)
{
    Walk w;
    w.run(knob("kFilterCutoff", "channel=\"3\"") + knob("kFilterResonance") + "<multilayer name=\"m\" create=\"6\">" +
          knob("kFilterKeytrack", "channel=\"3\"") + "</multilayer>" + knob("kFilterResonance+1") +
          "<knobcontrol paramId=\"kFilterResonance+1\" channel=\"5\"/>");
    EXPECT_EQ(Ints({w.action(kFilterCutoff)->part, w.action(kFilterResonance)->part,
                    w.action(kFilterKeytrack + 5)->part, w.action(kFilterResonance + 1)->part}),
              Ints({2, -1, 5, 4}));
    // The element without a type built nothing.
    EXPECT_EQ(w.controls(), 3);
}

TEST(LayoutWalk, BackgroundAndSlotGridAreScaledTruncatingTowardZero)
{
    Walk w(1.15);
    w.run("<background imageId=\"HANDLE\" position=\"10,20\"/><background imageId=\"HANDLE\" position=\"-10,0\"/>"
          "<patchBrowser imageId=\"HANDLE\" paramId=\"kFilterCutoff\" bounds=\"10,10,15,15\"/>"
          "<layer name=\"lib\"><patchBrowser imageId=\"HANDLE\" bounds=\"0,0,100,50\"/></layer>");
    ASSERT_EQ(w.controls(), 3);
    EXPECT_EQ(rect(w.control(0)), Ints({11, 23, 31, 33}));
    EXPECT_EQ(rect(w.control(1)), Ints({-11, 0, 9, 10}));
    auto* first = dynamic_cast<LibrarianViewControl*>(w.control(2));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Ints({first->area.L, first->area.T, first->area.R, first->area.B}), Ints({11, 11, 28, 28}));
    EXPECT_EQ(Ints({first->ParamIdx(), first->GetRECT()->L, first->GetRECT()->T}), Ints({kLibrarianArea, 11, 11}));
    EXPECT_EQ(first->scale, 1.15);
    // The second grid replaces the pointer and stands on its layer.
    EXPECT_EQ(w.manager.librarianView, w.mapped("lib")->controls.Get(0));
    EXPECT_NE(w.manager.librarianView, first);
}

TEST(LayoutWalk, TypeAloneChoosesTheCreator)
{
    Walk w;
    w.run(midi("ccButton", "kFilterCutoff") + midi("ccKnob", "kFilterResonance", "", "HANDLE", "buttoncontrol") +
          "<slidercontrol type=\"seSliderHor\" paramId=\"kFilterKeytrack\" length=\"50\" imageId=\"HANDLE\"/>"
          "<menucontrol type=\"ccmenu\" paramId=\"kFilterResonance+1\"/>");
    EXPECT_EQ(Ints({w.action(kFilterCutoff)->kind, w.action(kFilterResonance)->kind, w.action(kFilterKeytrack)->kind}),
              Ints({ControlAction::kControlChangeSwitch, ControlAction::kControlChange, ControlAction::kSysEx}));
    EXPECT_EQ(w.controls(), 3);
}

TEST(LayoutWalk, PanelLayersImposeTheirGroupOnMIDIControls)
{
    const int pw = kOscillator1Pulsewidth, cutoff = kFilterCutoff;
    const struct {
        const char* layer;
        bool nested;
        int id;
        const char* group;
    } rows[] = {
        {"oscillatorsPanel3", false, cutoff, "Oscillators"},
        {"oscillatorsPanel3", true, cutoff, "mine"},
        {"o1pw", false, pw, "mine"},
        {"o1pw", false, pw + 1, "Oscillators"},
        {"effectsUsed", false, cutoff, "Effects"},
        {"effects1Panel4", false, cutoff, "LFOs / Mod Matrix"},
        {"sequencerPanel7", false, cutoff, "Arpeggiator"},
        {"filtersEnvelopesPanel0", false, cutoff, "Filter / Envelopes"},
        {"oscillatorsPanel", false, cutoff, "mine"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.layer) + " " + std::to_string(r.id));
        Walk w;
        const std::string ref = r.id == cutoff ? "kFilterCutoff" : "kOscillator1Pulsewidth+" + std::to_string(r.id);
        const std::string control = knob(ref, "paramGroup=\"mine\"");
        w.run(std::string("<layer name=\"") + r.layer + "\">" +
              (r.nested ? "<layer name=\"inner\">" + control + "</layer>" : control) + "</layer>");
        EXPECT_STREQ(w.plug.GetParam(r.id)->GetParamGroupForHost(), r.group);
    }
}

TEST(LayoutWalk, LinkRecordIsReadForTheElementsPart)
{
    const struct {
        const char* link;
        bool inCopy;
        LinkInfo expected;
    } rows[] = {
        {"kFilterCutoff", false, {-1, -1, -1}},
        {"kFilterCutoff,kFilterResonance", false, {1504, 1520, -1}},
        {"kFilterCutoff,kFilterResonance,3", false, {1504, 1520, 3}},
        {"kFilterCutoff,kFilterResonance,3,4", false, {1504, 1520, -1}},
        {"kFilterCutoff,kFilterResonance", true, {1506, 1522, -1}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.link);
        Walk w;
        const std::string control = knob("kFilterKeytrack", std::string("biDirectLink=\"") + r.link + "\"");
        w.run(r.inCopy ? "<multilayer name=\"m\" create=\"3\">" + control + "</multilayer>" : control);
        const LinkInfo got = w.action(kFilterKeytrack + (r.inCopy ? 2 : 0))->link;
        EXPECT_EQ(Ints({got.firstId, got.secondId, got.extra}),
                  Ints({r.expected.firstId, r.expected.secondId, r.expected.extra}));
    }
}

TEST(LayoutWalk, MenusAreThirteenHighWithTheThirdPositionAsWidth)
{
    const struct {
        const char* display;
        Texts texts; // none: the menu is not built without numbers or a list
    } rows[] = {{"3:5", {"3", "4"}}, {"3", {}}, {"3:4:5", {}}, {"", {}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.display);
        Walk w;
        w.run(std::string("<menucontrol type=\"ccMenu\" name=\"m\" paramId=\"kFilterCutoff\" position=\"10,20,40\" "
                          "valueBounds=\"0,0,2\" valueDisplay=\"") +
              r.display + "\"/>");
        ASSERT_EQ(w.controls(), r.texts.empty() ? 0 : 1);
        if (r.texts.empty()) continue;
        EXPECT_EQ(rect(w.control(0)), Ints({10, 20, 50, 33}));
        IParam* p = w.plug.GetParam(kFilterCutoff);
        EXPECT_EQ(Texts({p->GetDisplayText(0), p->GetDisplayText(1)}), r.texts);
    }
}

TEST(LayoutWalk, StopsBuildingAfterAHundredThousandLayersAndControls)
{
    Walk w;
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "<background imageId=\"HANDLE\"/>";
    w.run(many + "<layer name=\"late\"/><background/>");
    EXPECT_EQ(w.controls(), 100000);
    EXPECT_EQ(w.surface->NLayers(), 0);
    const Texts log = w.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "CONFIG READER: layout stopped after 100000 layers and controls"), 1);
}

// Copies walk their children again: elements that build nothing must still count, or five
// nested eight-fold copies of 30,000 of them would take a billion steps.
TEST(LayoutWalk, StopsLookingAfterAQuarterMillionNodesWhateverTheyBuild)
{
    const struct {
        const char* child;
    } rows[] = {{"<unknown/>"}, {"<!---->"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.child);
        std::string inner;
        for (int i = 0; i < 30000; ++i) inner += r.child;
        for (int level = 0; level < 5; ++level) inner = "<multilayer name=\"m\" create=\"8\">" + inner + "</multilayer>";
        Walk w;
        w.run(inner);
        EXPECT_LE(w.manager.layoutVisited(), 250000);
        const Texts log = w.log();
        EXPECT_EQ(std::count(log.begin(), log.end(), "CONFIG READER: layout stopped after 250000 elements"), 1);
    }
}

TEST(LayoutWalk, ConfigurationRunEndsWithTheWalkAndItsControlsDrawWhereTheLayoutPutsThem)
{
    TempDir dir;
    BundleFolder bundle(dir.path);
    writeFile(dir.file("sysex.tea"), encipher("<sysexlist><sysex><values><value>F0 7D 01 02 03 04 05 00 F7</value>"
                                              "</values></sysex></sysexlist>"));
    writeFile(dir.file("uiconfig.tea"),
              encipher("<uiconfig><background imageId=\"OSCILLATORS_ID\" position=\"0,0\"/>"
                       "<multilayer name=\"oscillatorsPanel\" create=\"2\">" +
                       midi("ccKnob", "kFilterCutoff", "", "IKNOBROTATERCONTROL_ID2") +
                       midi("seButton", "kFilterKeytrack", "sysexIndex=\"0\" changingByte=\"8\"",
                            "BUTTON_LOCK_WHITE_ID", "buttoncontrol", "60,6") +
                       "</multilayer></uiconfig>"));
    SurfacePlug plug(5124);
    auto* surface = new BundleSurface(&plug, 1500, 757);
    plug.AttachGraphics(surface);
    UIConfigManager manager;
    testing::internal::CaptureStdout();
    manager.readUIConfig(surface, nullptr, nullptr, 0, 1.0);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(manager.layers.count("oscillatorsPanel1"), 1u);
    ControlLayer* page = manager.layers["oscillatorsPanel1"];
    ASSERT_EQ(page->controls.GetSize(), 2);
    EXPECT_EQ(page->controls.Get(0)->ParamIdx(), kFilterCutoff + 1);
    EXPECT_EQ(plug.GetParam(kFilterCutoff + 1)->GetParamGroupForHost(), std::string("Part 2:Oscillators"));

    // The shown page over the background, written for a person to look at.
    page->Hide(false);
    IRECT all(0, 0, 1500, 757), dirty;
    surface->IsDirty(&dirty);
    ASSERT_TRUE(surface->Draw(&all));
    ASSERT_TRUE(surface->WriteScreenshot("layout-walk.png"));
    // The knob of the shown page stands over the background at (4, 6).
    EXPECT_NE(surface->GetPoint(20, 25), surface->GetPoint(500, 300));
    manager.ClearImageCache();
}

} // namespace
