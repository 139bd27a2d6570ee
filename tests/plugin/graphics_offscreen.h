#pragma once
// An editor surface without a window for tests: bitmaps load from a folder of PNGs, the popup
// menu and the text entry answer from a script and remember what they were shown, and the
// screen can be written to a PNG. SurfacePlug is a plug-in with a small parameter table that
// records its change hooks.
#include <deque>
#include <string>
#include <vector>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/IPopupMenu.h"
#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_png.h"
#include "kit/raster/rast_rect.h"
#include "tools/pngwriter/png_writer.h"

class SurfacePlug : public IPluginBase {
public:
    explicit SurfacePlug(int nParams = 16)
        : IPluginBase(nParams, "2-2", 0, "QOR Editor", "", "Tessmoor Audio", 0x00010009, 0x616E6E71, 0x56654231, 128,
                      false, true, true, kAPIAU)
    {
        initialize(0, nParams, "2-2", 0, "QOR Editor", "", "Tessmoor Audio", 0x00010009, 0x616E6E71, 0x56654231, 128,
                   false, true, true);
    }
    struct Change {
        int idx;
        double value;
    };
    std::vector<Change> changes, changes2;
    void OnParamChange(int idx) override { changes.push_back({idx, GetParam(idx)->Value()}); }
    void OnParamChange2(int idx) override { changes2.push_back({idx, GetParam(idx)->Value()}); }
    // The values parameter idx took, in order.
    std::vector<double> ChangesOf(int idx) const
    {
        std::vector<double> v;
        for (const Change& c : changes)
            if (c.idx == idx) v.push_back(c.value);
        return v;
    }
    void BeginInformHostOfParamChange(int) override {}
    void InformHostOfParamChange(int, double) override {}
    void EndInformHostOfParamChange(int) override {}
    void InformHostOfProgramChange() override {}
    int GetSamplePos() override { return 0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int* num, int* denom) override { *num = *denom = 4; }
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiVST(IMidiMsg*) override { return false; }
    bool SendMidiMsg(IMidiMsg*) override { return false; }
};

class OffscreenGraphics : public IGraphics {
public:
    OffscreenGraphics(IPluginBase* plug, int w, int h, std::string folder = "")
        : IGraphics(plug, w, h, 0), mFolder(std::move(folder))
    {
    }
    std::deque<int> menuChoices; // the index chosen in each next menu shown, -1 to dismiss it
    std::vector<std::string> shownTitles;
    std::vector<bool> shownChecks;
    int menusShown = 0;
    IRECT lastPromptRect;
    std::deque<std::string> typed; // the text typed into each next field
    RAST_IBitmap* OSLoadBitmap(int, const char* name) override
    {
        return mFolder.empty() ? nullptr : RAST_LoadPNG((mFolder + "/" + name).c_str());
    }
    bool DrawScreen(IRECT*) override { return true; }
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override
    {
        ++menusShown;
        lastPromptRect = *r;
        shownTitles.clear();
        shownChecks.clear();
        for (int i = 0; i < menu->GetNItems(); ++i) {
            shownTitles.push_back(menu->GetItemTitle(i));
            shownChecks.push_back(menu->IsItemChecked(i));
        }
        int choice = menuChoices.empty() ? -1 : menuChoices.front();
        if (!menuChoices.empty()) menuChoices.pop_front();
        if (choice < 0) return nullptr;
        menu->SetChosenItemIdx(choice);
        return menu;
    }
    void CreateTextEntry(IControl* control, IText*, IRECT* r, const char*, IParam* param) override
    {
        lastPromptRect = *r;
        if (typed.empty()) return;
        std::string answer = typed.front();
        typed.pop_front();
        SetFromStringAfterPrompt(control, param, answer.c_str());
    }
    bool WriteScreenshot(const std::string& path)
    {
        RAST_IBitmap* bm = GetDrawBitmap();
        if (!bm) return false;
        auto png = pngw::encodeArgbWords(bm->getBits(), bm->getWidth(), bm->getHeight(), bm->getRowSpan());
        return !png.empty() && pngw::writeFile(png, path);
    }

private:
    std::string mFolder;
};

// A vertical strip of n frames of w x h, frame f (1-based) filled with color(f); the caller
// deletes the bitmap.
template <class F> IBitmap MakeStrip(int n, int w, int h, F color)
{
    auto* bm = new RAST_MemBitmap(w, h * n, 4);
    for (int f = 1; f <= n; ++f) RAST_FillRect(bm, 0, h * (f - 1), w, h, IColorToPixel(color(f)), 1.0f, 0);
    return IBitmap(bm, w, h * n, n);
}
