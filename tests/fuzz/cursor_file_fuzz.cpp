// Arbitrary bytes as a cursor file: converted through the private temporary icon file, or read
// as an image when they are not a one-image cursor. Nothing may be left in TEMP, and a cursor's
// hot spot lies inside its image.
#include "kit/wapi/wapi-input.h"
#include "kit/wapi/wapi-internal.h"

#include "support/tempdir.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Memory-backed folders keep the file traffic cheap.
    static const std::string parent = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static testsupport::TempDir files("qor_cur_fuzz", parent);
    static testsupport::TempDir temp("qor_cur_fuzz_temp", parent);
    static const std::string path = files.file("fuzz.cur");
    static const bool set = ::setenv("TEMP", temp.path.c_str(), 1) == 0;
    (void)set;
    testsupport::writeFile(path, testsupport::Bytes(data, data + size));
    NSCursor* cursor = WAPI_LoadCursorFromFile(path.c_str());
    if (cursor) {
        NSImage* image = cursor->image();
        if (!image) __builtin_trap();
        const NSPoint hs = cursor->hotSpot();
        const NSSize s = image->size();
        if (hs.x < 0 || hs.y < 0 || (hs.x > 0 && hs.x >= s.width) || (hs.y > 0 && hs.y >= s.height)) __builtin_trap();
        cursor->release();
    }
    if (!temp.list().empty()) __builtin_trap();
    ns_standin::drainLoopPool();
    return 0;
}
