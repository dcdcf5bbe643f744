#include "engine/ProgressParser.h"

#include "base/NumberText.h"

namespace tessaro {
namespace {

constexpr unsigned kClockEvery = 64;  // scanned positions between clock reads

ThrottledPump scanPump(MessagePump* pump) {
    return ThrottledPump(pump, kPumpInterval, kClockEvery);
}

// The text after `at` up to the next blank or the end of the chunk.
std::string_view textUpToBlank(std::string_view chunk, size_t at, ThrottledPump& scan) {
    size_t end = at;
    while (end < chunk.size() && chunk[end] != ' ') {
        ++end;
        scan.tick();
    }
    return chunk.substr(at, end - at);
}

// Seconds of a time text: a plain number of seconds, or pieces separated by
// ":" read as hours, minutes and seconds (also minutes:seconds).
double secondsOf(std::string_view text) {
    if (text.find(':') == std::string_view::npos) return leadingNumber(text);
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    double total = 0;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        total = total * 60 + leadingNumber(text.substr(start, colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    return negative ? -total : total;
}

// The whole seconds after every "Duration: " of the chunk, the texts joined
// and read as hours:minutes:seconds (the seconds arrive with their comma);
// 0 when there is none or it is out of range.
int32_t durationOf(std::string_view chunk, ThrottledPump& scan) {
    constexpr std::string_view kDuration = "Duration: ";
    std::string collected;
    for (size_t i = 0; i + kDuration.size() < chunk.size(); ++i) {
        if (chunk.compare(i, kDuration.size(), kDuration) == 0)
            collected += textUpToBlank(chunk, i + kDuration.size(), scan);
        scan.tick();
    }
    std::string_view pieces[3];
    std::string_view rest = collected;
    for (int n = 0; n < 3; ++n) {
        const size_t colon = rest.find(':');
        pieces[n] = rest.substr(0, colon);
        if (n == 2) break;
        if (colon == std::string_view::npos) return 0;
        rest.remove_prefix(colon + 1);
    }
    const double whole = roundHalfEven(leadingNumber(pieces[0]) * 3600 +
                                       leadingNumber(pieces[1]) * 60 + leadingNumber(pieces[2]));
    return whole > 0 && whole < 2147483647.0 ? static_cast<int32_t>(whole) : 0;
}

}  // namespace

std::string advanceMark(const std::string& mark) {
    if (mark == "-") return "\\";
    if (mark == "\\") return "|";
    if (mark == "|") return "/";
    return "-";
}

double leadingNumber(std::string_view text) { return numericPrefix(text).value_or(0); }

std::optional<ProgressReading> stageOneProgress(std::string_view chunk, std::string& strSpinner,
                                                MessagePump* pump) {
    strSpinner = advanceMark(strSpinner);
    ThrottledPump scan = scanPump(pump);
    std::string_view text;
    bool found = false;
    for (size_t i = 0; i < chunk.size(); ++i) {
        if (chunk[i] == '(') {
            if (i + 4 < chunk.size() && chunk[i + 4] == ')') {
                text = chunk.substr(i + 1, 3);
                found = true;
            } else if (i + 5 < chunk.size() && chunk[i + 5] == ')') {
                text = chunk.substr(i + 1, 4);
                found = true;
            }
            if (found) break;
        }
        scan.tick();
    }
    if (!found) return std::nullopt;
    if (text == "100%") return ProgressReading{StageProgress::Converted, 1, 100, strSpinner};
    const double p = roundHalfEven(leadingNumber(text));
    // A parenthesised number that is no percentage cannot be shown on pb.
    if (p < 0 || p > 100) return std::nullopt;
    return ProgressReading{StageProgress::Converting, p / 100, p, strSpinner};
}

std::optional<ProgressReading> stageTwoProgress(std::string_view chunk, std::string& strSpinner,
                                                int32_t& lngDuration, MessagePump* pump) {
    ThrottledPump scan = scanPump(pump);
    constexpr std::string_view kTime = "time=";
    if (lngDuration == 0) lngDuration = durationOf(chunk, scan);
    std::optional<std::string_view> timeText;
    for (size_t i = 0; i + kTime.size() < chunk.size(); ++i) {
        if (chunk.compare(i, kTime.size(), kTime) == 0) {
            timeText = textUpToBlank(chunk, i + kTime.size(), scan);
            break;
        }
        scan.tick();
    }
    strSpinner = advanceMark(strSpinner);
    // Without a length no percentage can be computed: only the mark moves.
    if (!timeText || lngDuration == 0) return std::nullopt;
    const double t = roundHalfEven(secondsOf(*timeText));
    double r = t / lngDuration;
    if (r >= 1) return ProgressReading{StageProgress::Created, 1, 100, strSpinner};
    // Below zero, or no number at all: pieces of infinity that cancel out
    // ("1e999:-1e999") leave a NaN, which no bar width can take.
    if (!(r >= 0)) r = 0;
    return ProgressReading{StageProgress::Creating, r, leadingNumber(percentText(r)), strSpinner};
}

}  // namespace tessaro
