#include "PatchFile.h"

PatchFile* PatchFile::clone() const
{
    PatchFile* copy = new PatchFile;
    copy->kind = kind;
    copy->modelCode = modelCode;
    copy->patches = patches;
    copy->fileName = fileName;
    return copy;
}

int PatchFile::kindOfMessageType(int type)
{
    switch (type) {
    case 0x00: case 0x02: case 0x1F: return kPatchFilePrograms;
    case 0x05: case 0x07: case 0x1B: case 0x1C: case 0x20: case 0x21: return kPatchFilePerformances;
    case 0x0C: case 0x22: return kPatchFilePatterns;
    default: return -1;
    }
}
