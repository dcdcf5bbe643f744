// The progress parsers and their captions over any encoder output: chunks of the input (split at
// 0xFF bytes, which the encoders never print) go to both handlers in turn,
// the length carried from chunk to chunk as a run carries it.
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "engine/ProgressParser.h"
#include "present/StatusCaptions.h"

namespace {

// A share of the stage and a percentage within range, the full states at
// 100 %; the caption is the full one or the running one with the current mark.
void checkReading(const tessaro::ProgressReading& r, const std::string& full,
                  const std::string& running) {
    FUZZ_CHECK(r.percent >= 0 && r.percent <= 100);
    FUZZ_CHECK(r.fraction >= 0 && r.fraction <= 1);
    FUZZ_CHECK(r.percent < 100 || r.fraction == 1);
    const std::string caption = tessaro::readingCaption(r);
    FUZZ_CHECK(caption == full || (caption.rfind(running, 0) == 0 && caption.back() == '%'));
}

bool isMark(const std::string& mark) {
    return mark == "-" || mark == "\\" || mark == "|" || mark == "/";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string stageOneMark = "-", stageTwoMark = "-";
    int32_t lngDuration = 0;
    while (true) {
        const size_t cut = rest.find('\xff');
        const std::string_view chunk = rest.substr(0, cut);
        if (const auto d = tessaro::stageOneProgress(chunk, stageOneMark))
            checkReading(*d, "结束 100%", "转换中" + stageOneMark + " ");
        if (const auto d = tessaro::stageTwoProgress(chunk, stageTwoMark, lngDuration))
            checkReading(*d, "完成 100%", "创建中" + stageTwoMark + " ");
        FUZZ_CHECK(lngDuration >= 0);
        FUZZ_CHECK(isMark(stageOneMark) && isMark(stageTwoMark));
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return 0;
}
