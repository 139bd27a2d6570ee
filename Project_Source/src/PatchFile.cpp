#include "PatchFile.h"

#include "SysexFamily.h"

PatchFile::~PatchFile()
{
    // A bank's messages mostly share the block of the file they were read from.
    SysexBytes::Releaser messages;
    for (LibrarianPatch& entry : patches)
        for (PatchSysexMessage& message : entry.messages) messages.take(message.bytes);
}

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
    return type < 0 || type > 0xFF ? -1 : SysexFamily::kindOfType(static_cast<uint8_t>(type));
}
