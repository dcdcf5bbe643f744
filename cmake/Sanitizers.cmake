# Checked builds, each in a build folder of its own:
#   TESSARO_SANITIZE  AddressSanitizer and UndefinedBehaviorSanitizer over the
#                     whole tree (GCC or Clang); a finding ends the program.
#   TESSARO_FUZZ      the same with Clang's libFuzzer coverage, and the fuzz
#                     targets of tests/fuzz (executables named *_fuzz).
option(TESSARO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TESSARO_FUZZ "Build the libFuzzer targets of tests/fuzz (Clang)" OFF)

if(NOT (TESSARO_SANITIZE OR TESSARO_FUZZ))
  return()
endif()
if(WIN32)
  message(FATAL_ERROR "TESSARO_SANITIZE and TESSARO_FUZZ are for the Linux build")
endif()

# float-cast-overflow: GCC leaves it out of "undefined"; the progress and
# settings code converts doubles to integers.
set(TESSARO_SANITIZERS address,undefined,float-cast-overflow)
set(checked -fsanitize=${TESSARO_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(TESSARO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSARO_FUZZ needs Clang: configure with CC=clang CXX=clang++")
  endif()
  # Coverage for the fuzzer everywhere; the fuzz targets alone link its main().
  add_compile_options(${checked} -fsanitize=fuzzer-no-link)
else()
  add_compile_options(${checked})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The instrumentation makes GCC's flow analysis see uninitialised values
    # where there are none (in libstdc++'s std::regex, for one).
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()
add_link_options(-fsanitize=${TESSARO_SANITIZERS})
