#pragma once

namespace tessaro {

inline constexpr const char* kMakerSite = "http://www.tessaro.example";

}  // namespace tessaro
