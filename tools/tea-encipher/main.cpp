// Enciphers a plain XML configuration document into the form the plug-in reads: the text,
// padded with zero bytes to whole 8-byte blocks, each block enciphered with TEA under the
// configuration key, words most significant byte first.
//
//   tea-encipher <input.xml> <output.tea>
#include "kit/plugin/BundleResources.h"
#include "Project_Source/src/tea.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <input.xml> <output.tea>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tea-encipher: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The reader parses up to the first zero byte: one inside the text would cut it short.
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == 0) {
            std::fprintf(stderr, "tea-encipher: %s holds a zero byte at offset %zu\n", argv[1], i);
            return 1;
        }
    }
    while (data.size() % 8 != 0) data.push_back(0);
    // The reader's buffer is this large; a longer file would be cut.
    if (data.size() > static_cast<size_t>(kResourceBufferSize)) {
        std::fprintf(stderr, "tea-encipher: %s is larger than %d bytes\n", argv[1], kResourceBufferSize);
        return 1;
    }

    unsigned int key[4];
    Tea::configurationKey(key);
    Tea tea;
    for (size_t offset = 0; offset < data.size(); offset += 8) tea.simpleencrypt(&data[offset], key);

    // Written beside the target and renamed over it, so a failed run leaves no half file.
    std::string target = argv[2];
    std::string temporary = target + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.flush();
        if (!out) {
            std::fprintf(stderr, "tea-encipher: cannot write %s\n", temporary.c_str());
            std::remove(temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "tea-encipher: cannot write %s\n", target.c_str());
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
