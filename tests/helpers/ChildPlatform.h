#pragma once
// The system-dependent part of the helper child (tst_child_posix.cpp,
// tst_child_win.cpp).

#include <cstddef>
#include <string>
#include <vector>

namespace tessaro::testing {

// The arguments in UTF-8, argv[0] included; prepares standard output for raw bytes.
std::vector<std::string> childArguments(int argc, char** argv);
// Writes all bytes to standard output; exits with 100 when it cannot.
void writeAll(const char* data, std::size_t size);
// Closes standard output and standard error.
void closeOutputs();
// The modes only this system has; 2 for an unknown mode.
int platformMode(const std::vector<std::string>& args);

}  // namespace tessaro::testing
