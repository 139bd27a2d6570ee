// qor-host: loads the plug-in bundle and drives it through its component entry.
//
//   qor-host --bundle DIR --info            print the bundle's identity
//   qor-host --bundle DIR --script FILE     run a script ("-" reads standard input)
//   qor-host --bundle DIR CMD [; CMD ...]   run commands given on the command line
//
// Each script line is one command; every command prints one result line. See README.md.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "host.h"

int main(int argc, char** argv)
{
    std::string bundle, script;
    bool info = false;
    std::string inline_;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bundle") && i + 1 < argc) bundle = argv[++i];
        else if (!std::strcmp(argv[i], "--script") && i + 1 < argc) script = argv[++i];
        else if (!std::strcmp(argv[i], "--info")) info = true;
        else inline_ += std::string(inline_.empty() ? "" : " ") + argv[i];
    }
    if (bundle.empty()) {
        std::fprintf(stderr, "usage: qor-host --bundle QOR.component [--info] [--script FILE | commands]\n");
        return 2;
    }
    Host::TrackStdoutLines();
    Host host(stdout);
    if (!host.Load(bundle)) return 1;
    int unknown = 0;
    if (info) host.PrintIdentity();
    if (!script.empty()) {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (script != "-") {
            file.open(script);
            if (!file) {
                std::fprintf(stderr, "qor-host: cannot read %s\n", script.c_str());
                return 2;
            }
            in = &file;
        }
        for (std::string line; std::getline(*in, line);) unknown += !host.Run(line);
    }
    // Commands on the command line are separated by ";".
    size_t start = 0;
    while (start < inline_.size()) {
        size_t end = inline_.find(';', start);
        if (end == std::string::npos) end = inline_.size();
        unknown += !host.Run(inline_.substr(start, end - start));
        start = end + 1;
    }
    return unknown ? 3 : 0;
}
