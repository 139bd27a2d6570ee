// Arbitrary bytes for every reader of saved state: parameter ranges, the preset list, program
// and bank files in both forms, and the class-information dictionary's string and data.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kit/plugin/IPluginAU.h"
#include "plugin/test_plug.h"

namespace {

RecordingPlug* MakePlugForFuzz(bool chunks)
{
    auto* p = new RecordingPlug(kAPIAU, kQorVersion, chunks);
    p->initialize(6, 10, "2-2", 3, "Fuzz", "Fuzz", "Fuzz", kQorVersion, kQorUniqueID, kQorMfrID, 0, false, chunks,
                  true);
    for (int i = 0; i < 10; ++i) p->GetParam(i)->InitInt("p", 0, -5, 100);
    p->GetParam(3)->InitDouble("d", 0.0, -1.0, 1.0, 0.01);
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One plug-in of each form for the whole run; every input starts where the last one left it.
    static RecordingPlug* chunked = MakePlugForFuzz(true);
    static RecordingPlug* plain = MakePlugForFuzz(false);
    if (size < 1 || size > (1u << 20)) return 0;
    const uint8_t selector = data[0];
    const uint8_t* body = data + 1;
    int n = int(size - 1);
    RecordingPlug* plug = (selector & 0x80) ? plain : chunked;

    ByteChunk chunk;
    chunk.PutBytes(body, n);
    switch (selector & 0x7) {
    case 0:
        plug->UnserializeParams(&chunk, 0);
        plug->UnserializeNonAutomatedParams(&chunk, n > 0 ? body[0] % 16 : 0, 4);
        break;
    case 1:
        plug->UnserializePresets(&chunk, 0);
        break;
    case 2:
        plug->ApplyProgramFile(body, n);
        break;
    case 3:
        plug->ApplyBankFile(body, n);
        break;
    case 4: {
        CFMutableDictionaryRef dict =
            CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        CFDataRef bytes = CFDataCreate(nullptr, body, n);
        std::string text(reinterpret_cast<const char*>(body), size_t(n));
        text = text.c_str(); // up to the first zero, as a C string would be
        CFStringRef name = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
        CFStringRef keyData = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
        CFStringRef keyName = CFStringCreateWithCString(nullptr, "name", kCFStringEncodingUTF8);
        CFDictionarySetValue(dict, keyData, bytes);
        CFDictionarySetValue(dict, keyName, name);
        char out[64];
        GetStrFromDict(dict, "name", out, sizeof out);
        GetStrFromDict(dict, "data", out, sizeof out); // wrong kind
        ByteChunk fromDict;
        if (GetDataFromDict(dict, "data", &fromDict)) plug->UnserializeState(&fromDict, 0);
        GetDataFromDict(dict, "name", &fromDict); // wrong kind
        for (CFTypeRef o : {CFTypeRef(dict), CFTypeRef(bytes), CFTypeRef(name), CFTypeRef(keyData), CFTypeRef(keyName)})
            CFRelease(o);
        break;
    }
    case 5: {
        // A file this plug-in wrote, cut or changed by the input.
        ByteChunk file;
        if (selector & 0x40) plug->MakeBankFile(&file);
        else plug->MakeProgramFile(&file);
        int cut = n > 1 ? int((uint32_t(body[0]) << 8 | body[1]) % uint32_t(file.Size() + 1)) : file.Size();
        for (int i = 2; i + 1 < n && file.Size() > 0; i += 2) file.GetBytes()[body[i] % file.Size()] = body[i + 1];
        if (selector & 0x40) plug->ApplyBankFile(file.GetBytes(), cut);
        else plug->ApplyProgramFile(file.GetBytes(), cut);
        break;
    }
    default: {
        KIT_String s;
        int pos = 0;
        while (pos >= 0 && pos < chunk.Size()) pos = chunk.GetStr(&s, pos);
        break;
    }
    }
    return 0;
}
