#pragma once
// The editor's bitmaps, drawn at build time with the raster library: a small drawing canvas, the
// inputs (section table and label lists), the size rule for images cut into frames, and one
// drawing per row of the bitmap table.
#include "Project_Source/src/ImageTable.h"
#include "kit/raster/rast_bitmap.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class RAST_CachedFont;

namespace artwork
{

struct Rgba {
    int r, g, b, a;
};

struct Font {
    int size;
    bool bold;
    bool mono;
};

enum class Align { Left, Centre, Right };

// One bitmap under construction. Shapes are anti-aliased and drawn over what is there; colours
// carry their own opacity in a.
class Canvas
{
public:
    Canvas(int w, int h, Rgba clear);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    RAST_IBitmap* bitmap() { return mBitmap.get(); }
    int width() const { return mWidth; }
    int height() const { return mHeight; }

    // Writes the colour, opacity included, without blending.
    void set(int x, int y, int w, int h, Rgba c);
    void fill(int x, int y, int w, int h, Rgba c);
    // Top to bottom from one colour to the other.
    void gradient(int x, int y, int w, int h, Rgba top, Rgba bottom);
    void roundFill(int x, int y, int w, int h, int radius, Rgba c);
    void roundGradient(int x, int y, int w, int h, int radius, Rgba top, Rgba bottom);
    void roundFrame(int x, int y, int w, int h, int radius, Rgba c);
    void line(float x1, float y1, float x2, float y2, Rgba c, float width = 1.0f);
    void disc(float cx, float cy, float r, Rgba c);
    // A disc shaded from top to bottom, with a smooth edge.
    void shadedDisc(float cx, float cy, float r, Rgba top, Rgba bottom);
    void ring(float cx, float cy, float r, Rgba c);
    // Angles in radians from twelve o'clock, clockwise; width grows the arc inwards and outwards.
    void arc(float cx, float cy, float r, float from, float to, Rgba c, float width = 1.0f);
    void polygon(const std::vector<int>& xs, const std::vector<int>& ys, Rgba c);
    void text(int x, int y, int w, int h, const std::string& s, Font f, Rgba c, Align a = Align::Centre);
    int textWidth(const std::string& s, Font f);

private:
    RAST_CachedFont* font(Font f);

    std::unique_ptr<RAST_MemBitmap> mBitmap;
    int mWidth, mHeight;
};

// True when trunc(v x 0.85) and trunc(v x 1.15), in double as the loader scales, are exactly
// v x 17/20 and v x 23/20, so that frames of that pitch stay whole at every editor size.
bool scalesWhole(int v);

// One row of the layout's section table. image: the background's image name or id, empty for
// none.
struct SectionRow {
    std::string kind, name, parent;
    std::string image;
    int x = 0, y = 0, w = 0, h = 0;
    std::string title;
    int cols = 0, rows = 0, cellW = 0, cellH = 0; // a section's grid
    int id = -1;                                  // a page's id among root's children
    int firstPage = 0;                            // a top-level layer shows with the main pages firstPage to lastPage
    int lastPage = 6;
};

// The rows of resources/chart/sections.tsv; a missing file gives none. Lines that do not parse
// are skipped and named in *skipped.
std::vector<SectionRow> readSections(const std::string& path, std::vector<std::string>* skipped = nullptr);

// A radio control of the chart: its image, how many buttons, and the section whose cell it fills.
struct RadioRow {
    std::string name; // the chart row's parameter
    std::string image;
    int buttons = 0;
    std::string section;
};

// A control's name as the configuration generator placed it (its labels.tsv): the background
// image, the rectangle there, and the text, left-aligned or centred.
struct LabelRow {
    std::string image;
    int x = 0, y = 0, w = 0, h = 0;
    bool left = false;
    std::string text;
};

// What the drawings take from the layout and the chart.
struct Inputs {
    std::vector<SectionRow> sections;
    std::map<std::string, std::vector<std::string>> lists;
    std::vector<RadioRow> radios;
    std::vector<LabelRow> labels;
};

// The rows of the generator's placement listing; lines that do not parse are named in *skipped.
std::vector<LabelRow> readLabels(const std::string& path, std::vector<std::string>* skipped);

// The lines a name is drawn in: wrapped at spaces into w pixels of the label font (for a name under
// a control a few pixels less on each side where the lines still fit h). Empty when a word does not fit or the lines do
// not fit h.
std::vector<std::string> labelLines(Canvas& c, const LabelRow& l);

// The label lists drawn into the artwork (artwork_inputs.cpp), with no section rows.
Inputs defaultInputs();

// The inputs from the chart folder: its section table (sections.tsv), its radio controls
// (chart.tsv) and, from its value lists (lists.tsv), the lists the artwork labels. Missing files leave the defaults;
// what cannot be used is told in *notes.
Inputs readInputs(const std::string& chartFolder, std::vector<std::string>* notes);

// The file name of a row's image, without the folder the loader looks in.
std::string imageFileName(const ImageTableRow& row);

// One drawn image: the pixels and how it is cut (frames, and radio buttons when it is a strip).
struct Picture {
    std::unique_ptr<Canvas> canvas;
    int frameW = 0, frameH = 0; // one frame
    int buttons = 0;            // radio strips: buttons in the strip
};

// Draws the image of one table row. Empty canvas and a message in *fault when the row cannot be
// drawn at a size the layout and the scaling rule accept.
Picture draw(const ImageTableRow& row, const Inputs& in, std::string* fault);

// What is wrong with the chart's radio controls on this image, to be told: empty when nothing.
std::string radioNote(const ImageTableRow& row, const Inputs& in);

// The size rule and the layout's sizes checked for one drawn picture: empty when sound.
std::string sizeFault(const ImageTableRow& row, const Picture& p, const Inputs& in);

} // namespace artwork
