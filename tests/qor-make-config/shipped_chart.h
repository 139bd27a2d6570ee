#pragma once
// The chart folder of the tree, read as the build's generator reads it.
#include "chart.h"

#include "support/testpaths.h"

#include <fstream>
#include <sstream>
#include <string>

namespace chartfiles
{

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline makeconfig::Inputs shipped()
{
    const std::string dir = testsupport::sourceDir() + "/resources/chart/";
    makeconfig::Inputs in;
    in.chart = readFile(dir + "chart.tsv");
    in.lists = readFile(dir + "lists.tsv");
    in.sections = readFile(dir + "sections.tsv");
    return in;
}

} // namespace chartfiles
