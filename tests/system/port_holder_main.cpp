// Another program holding the synthesizer's names (port_holder.h), in a process of its own as a
// real one would be: the test stops it, or kills it if closing its clients hangs.
//   qor-port-holder <name> <0: outside the graph | 1: undoing connections>
// Prints "ready <name>:in <name>-out:out" once it holds them; ends on "quit" or end of input.
#include <cstdio>
#include <iostream>
#include <string>

#include "port_holder.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: qor-port-holder <name> <0|1>\n");
        return 2;
    }
    const std::string name = argv[1];
    PortHolder holder(name, std::string(argv[2]) == "1");
    if (!holder.Ok()) {
        std::printf("could not take the names\n");
        return 1;
    }
    std::printf("ready %s:in %s-out:out\n", name.c_str(), name.c_str());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line) && line != "quit") {
    }
    return 0;
}
