#pragma once
// The system's handle of an open pipe or process: a descriptor here, a
// HANDLE on Windows.

namespace tessaro {

#ifdef _WIN32
using NativeHandle = void*;
inline constexpr NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;
#endif

}  // namespace tessaro
