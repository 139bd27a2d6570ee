// Draws the editor's bitmaps, one PNG per row of the bitmap table, with the row's frame count and
// orientation, the section frames and titles of the layout's section table on the backgrounds,
// and sizes that stay whole at every editor scale. The same inputs give the same bytes.
//
//   qor-make-images <output folder> [<chart folder> [<labels.tsv>]]
// labels.tsv is qor-make-config's placement of the controls' names, drawn into the backgrounds.
// An image that cannot be drawn as the chart asks, or an input that falls short of what the
// drawings need, is told and fails the run.
#include "tools/pngwriter/png_writer.h"
#include "tools/tea-encipher/artwork.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s <output folder> [<chart folder> [<labels.tsv>]]\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string folder = argv[1];
    std::vector<std::string> notes;
    artwork::Inputs in = argc >= 3 ? artwork::readInputs(argv[2], &notes) : artwork::defaultInputs();
    if (argc == 4) in.labels = artwork::readLabels(argv[3], &notes);
    // What the inputs lack would be drawn wrong or not at all: it fails the run like a refusal.
    for (const std::string& note : notes) std::fprintf(stderr, "qor-make-images: %s\n", note.c_str());
    int refused = static_cast<int>(notes.size());
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        const std::string note = artwork::radioNote(row, in);
        if (!note.empty()) std::fprintf(stderr, "qor-make-images: %s\n", note.c_str());
        refused += !note.empty();
        std::string fault;
        artwork::Picture p = artwork::draw(row, in, &fault);
        if (fault.empty() && p.canvas) fault = artwork::sizeFault(row, p, in);
        if (!fault.empty() || !p.canvas) {
            // Every refusal is told before the run fails, so that one build shows them all.
            std::fprintf(stderr, "qor-make-images: %s\n", fault.empty() ? row.file : fault.c_str());
            ++refused;
            continue;
        }
        RAST_IBitmap* bm = p.canvas->bitmap();
        const std::string path = folder + "/" + artwork::imageFileName(row);
        const std::vector<uint8_t> png =
            pngw::encodeArgbWords(bm->getBits(), bm->getWidth(), bm->getHeight(), bm->getRowSpan());
        if (png.empty() || !pngw::writeFile(png, path)) {
            std::fprintf(stderr, "qor-make-images: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (refused) return 1;
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("qor-make-images: %zu images in %lld ms\n", kImageTableSize, static_cast<long long>(ms));
    return 0;
}
