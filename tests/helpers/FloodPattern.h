#pragma once
// The byte stream the flood helper writes: byte i depends on i's low bits and
// on its 256-byte block, so lost, doubled or reordered chunks show.

#include <cstdint>

namespace tessaro::testing {

inline unsigned char floodByte(std::uint64_t i) {
    return static_cast<unsigned char>((i * 7) ^ (i >> 8) ^ (i >> 16) ^ (i >> 24));
}

}  // namespace tessaro::testing
