// options.ini's reader over any file: it keeps what it cannot read, and what
// it read is written and read back unchanged.
#include "FuzzSupport.h"
#include "base/Platform.h"
#include "settings/OptionsFile.h"

namespace {

bool operator==(const tessaro::Options& a, const tessaro::Options& b) {
    return a.intSoundReminder == b.intSoundReminder && a.intMusicCutter == b.intMusicCutter &&
           a.lngCutFrom == b.lngCutFrom && a.lngCutTo == b.lngCutTo && a.jobs == b.jobs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile file("options.ini");
    file.write(data, size);
    // Values no file line gives, so that a field read wrongly shows.
    const tessaro::Options before{-7, -7, -7, -7};
    tessaro::Options read = before;
    tessaro::readOptionsFile(file.path(), read);
    FUZZ_CHECK(read.jobs >= 1 && read.jobs <= tessaro::platform::kMaxJobs);
    // No line breaks and no commas: one field at most, the other three kept.
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find_first_of(",\r\n") == std::string::npos) {
        FUZZ_CHECK(read.intMusicCutter == -7 && read.lngCutFrom == -7 && read.lngCutTo == -7);
    }

    FUZZ_CHECK(tessaro::writeOptionsFile(file.path(), read));
    tessaro::Options back{1, 1, 1, 1};
    tessaro::readOptionsFile(file.path(), back);
    FUZZ_CHECK(back == read);
    return 0;
}
