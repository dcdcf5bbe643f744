#pragma once
// What each platform half answers for the shared platform functions, before
// the overrides that tests and the window may set (Platform.cpp).

#include <string>

namespace tessaro::platform::native {

// The folder of the running executable.
std::string applicationFolder();
// The per-user temporary folder.
std::string temporaryFolder();
// A folder as given, without the separators at its end (a root keeps its own).
std::string withoutTrailingSeparators(std::string folder);

}  // namespace tessaro::platform::native
