#pragma once
// Where the tree and its build are, found at run time: test executables sit in <build>/tests.

#include <string>

namespace testsupport {

// The build folder (parent of the folder holding the running test executable).
const std::string& binaryDir();
// The source tree, as the build's CMake cache records it.
const std::string& sourceDir();

} // namespace testsupport
