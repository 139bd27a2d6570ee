#include "PatchSysexMessage.h"

#include "PatchFileImage.h"
#include "SysexFamily.h"

bool PatchSysexMessage::isWhole() const
{
    return bytes.size() >= 2 && bytes.front() == SysexFamily::kStart && bytes.back() == SysexFamily::kEnd;
}

void PatchSysexMessage::save(std::vector<uint8_t>& image, bool midi, const PatchSysexMessage* next) const
{
    if (!midi) {
        image.insert(image.end(), bytes.begin(), bytes.end());
        return;
    }
    if (!bytes.empty()) image.insert(image.end(), bytes.begin() + 1, bytes.end());
    if (next) {
        // 500 ticks between two dumps gives the synthesizer time to store each one.
        image.push_back(0x83);
        image.push_back(0x74);
        image.push_back(SysexFamily::kStart);
        PatchFileImage::appendVariableLength(image, next->bytes.empty() ? 0 : next->bytes.size() - 1);
    }
}
