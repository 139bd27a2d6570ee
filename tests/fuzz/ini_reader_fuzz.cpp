// Arbitrary bytes as an ini file, through every read call with roomy and tight buffers (each
// buffer exactly its size, so the sanitizer sees any overrun). Then the file is written back
// whole and read again: every answer must be the same.
#include "kit/wapi/wapi-ini.h"

#include "support/tempdir.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const char kProbe[] = "\x7f probe section";

struct Reader {
    const char* file;
    size_t roomy;
    std::string answers;

    void note(int n, const std::vector<char>& buf, size_t shown)
    {
        answers += std::to_string(n) + ":";
        answers.append(buf.data(), std::min(shown, buf.size()));
        answers += '\n';
    }

    // One string call with a buffer of exactly size bytes; answers the text and checks the bound.
    std::string string(const char* sec, const char* key, size_t size)
    {
        std::vector<char> buf(size, '#');
        int n = GetPrivateProfileString(sec, key, "dflt", buf.data(), int(size), file);
        bool list = !sec || !key;
        if (n < 0 || size_t(n) + (list ? 2 : 1) > std::max<size_t>(size, list ? 2 : 1)) __builtin_trap();
        note(n, buf, size_t(n) + 2);
        return std::string(buf.data(), size_t(n));
    }

    static std::vector<std::string> split(const std::string& list)
    {
        std::vector<std::string> names;
        for (size_t at = 0; at < list.size();) {
            size_t end = list.find('\0', at);
            if (end == std::string::npos) end = list.size();
            names.push_back(list.substr(at, end - at));
            at = end + 1;
        }
        return names;
    }

    void section(const std::string& sec)
    {
        for (unsigned size : {unsigned(roomy), 1u, 2u, 3u, 7u}) {
            std::vector<char> buf(size, '#');
            int n = GetPrivateProfileSection(sec.c_str(), buf.data(), size, file);
            if (n < 0 || (size >= 2 && (unsigned(n) >= size || buf[size_t(n)] != 0))) __builtin_trap();
            note(n, buf, size_t(n) + 2);
        }
        for (size_t size : {size_t(2), size_t(5)}) string(sec.c_str(), nullptr, size);
        for (const std::string& key : split(string(sec.c_str(), nullptr, roomy))) {
            std::string value = string(sec.c_str(), key.c_str(), roomy);
            for (size_t size : {size_t(1), size_t(4)}) string(sec.c_str(), key.c_str(), size);
            answers += std::to_string(GetPrivateProfileInt(sec.c_str(), key.c_str(), 77, file)) + "\n";
            int bytes = value.size() >= 2 ? int(value.size() - 2) / 2 : 0;
            std::vector<unsigned char> out(size_t(bytes) + 1, 0);
            bool ok = GetPrivateProfileStruct(sec.c_str(), key.c_str(), out.data(), bytes, file);
            answers += std::to_string(ok) + (ok ? std::string(out.begin(), out.end() - 1) : std::string()) + "\n";
        }
    }

    std::vector<std::string> all()
    {
        answers.clear();
        for (size_t size : {size_t(2), size_t(3), size_t(5)}) string(nullptr, nullptr, size);
        std::vector<std::string> sections = split(string(nullptr, "ignored", roomy));
        for (const std::string& sec : sections) section(sec);
        return sections;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A memory-backed folder keeps the write-back's syncs cheap.
    static const std::string parent = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static testsupport::TempDir dir("qor_ini_fuzz", parent);
    static const std::string path = dir.file("fuzz.ini");
    testsupport::writeFile(path, std::string(reinterpret_cast<const char*>(data), size));
    // File times are coarse: a rewrite within one tick may keep time and size, so start afresh.
    wapi_ini::ForgetAll();
    Reader reader{path.c_str(), size + 64, {}};
    std::vector<std::string> sections = reader.all();
    const std::string first = reader.answers;
    for (const std::string& sec : sections)
        if (strcasecmp(sec.c_str(), kProbe) == 0) return 0;

    // Adding and removing a section writes the parsed content back twice.
    if (!WritePrivateProfileString(kProbe, "k", "v", path.c_str())) __builtin_trap();
    if (!WritePrivateProfileString(kProbe, nullptr, nullptr, path.c_str())) __builtin_trap();
    wapi_ini::ForgetAll();
    reader.all();
    if (reader.answers != first) __builtin_trap();
    return 0;
}
