// Writes a stand-in PNG for every row of the editor bitmap table, with the row's frame count
// and orientation, so the bundle carries all 101 bitmaps the editor loads at start-up. Each
// frame is shaded by its index, so frame changes show on screen.
//
//   qor-make-images <output folder>
#include "Project_Source/src/ImageTable.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FrameSize {
    int width, height;
};

// Sizes of one frame by kind of image; the editor scales them, nothing depends on them exactly.
FrameSize frameSize(const ImageTableRow& row)
{
    const std::string name = row.name;
    if (name == "MAIN_BG_ID" || name == "MAIN_BG_FRAME_ID") return {1500, 757};
    if (row.id >= 501 && row.id <= 508) return {1500, 600};
    if (name.find("BG") != std::string::npos || name.find("EFFECTS") != std::string::npos) return {400, 200};
    if (name.find("KNOB") != std::string::npos) return {40, 40};
    if (name == "SLIDER_PYSTY") return {20, 120};
    if (name == "SLIDER_VAAKA") return {120, 20};
    if (row.frames == 2) return {48, 20};
    return {64, 24};
}

bool writeImage(const std::string& path, const ImageTableRow& row)
{
    FrameSize f = frameSize(row);
    int width = row.framesHorizontal ? f.width * row.frames : f.width;
    int height = row.framesHorizontal ? f.height : f.height * row.frames;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int frame = row.framesHorizontal ? x / f.width : y / f.height;
            int fx = row.framesHorizontal ? x % f.width : x;
            int fy = row.framesHorizontal ? y : y % f.height;
            bool border = fx == 0 || fy == 0 || fx == f.width - 1 || fy == f.height - 1;
            unsigned char shade = static_cast<unsigned char>(40 + (row.frames > 1 ? 180 * frame / (row.frames - 1) : 90));
            unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = border ? 220 : shade;
            p[1] = border ? 220 : static_cast<unsigned char>((row.id * 37) & 0xFF);
            p[2] = border ? 220 : static_cast<unsigned char>(255 - shade);
            p[3] = 255;
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        std::string file = row.file;
        std::string path = folder + "/" + file.substr(file.find_last_of('/') + 1);
        if (!writeImage(path, row)) {
            std::fprintf(stderr, "qor-make-images: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
