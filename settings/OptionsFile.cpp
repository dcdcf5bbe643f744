#include "settings/OptionsFile.h"

#include "base/AtomicFile.h"
#include "base/FileHead.h"
#include "base/NumberText.h"
#include "settings/SettingsEncoding.h"
#include "settings/SettingsText.h"

namespace tessaro {
namespace {

// A value that does not fit the option's type leaves the option as it was.
template <typename T>
void store(const std::vector<std::string>& fields, std::size_t index, T& option) {
    if (index >= fields.size()) return;  // a short file leaves the option as it was
    if (const auto value = roundedToFit<T>(fieldValue(fields[index]))) option = *value;
}

std::optional<int32_t> secondsOf(const std::string& h, const std::string& m, const std::string& s) {
    return roundedToFit<int32_t>(fieldValue(h) * 3600 + fieldValue(m) * 60 + fieldValue(s));
}

// The fifth line: a whole number of files converted at once, else the default.
int jobsOf(const std::vector<std::string>& fields) {
    const std::optional<int> jobs = fields.size() > 4 ? wholeNumber(fields[4]) : std::nullopt;
    return jobs && *jobs >= 1 && *jobs <= platform::kMaxJobs ? *jobs : platform::defaultJobs();
}

// A whole number from 0 to most on line `index`; none for anything else.
std::optional<int> choiceOf(const std::vector<std::string>& fields, std::size_t index, int most) {
    const std::optional<int> n = index < fields.size() ? wholeNumber(fields[index]) : std::nullopt;
    return n && *n >= 0 && *n <= most ? n : std::nullopt;
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

void readOptionsFile(const std::string& path, Options& options) {
    std::string bytes;
    const FileHead head = readFileHead(path, bytes);
    if (head == FileHead::Missing) {
        options.intSoundReminder = 0;
        options.intMusicCutter = 0;
        options.jobs = platform::defaultJobs();
        options.keepFailedFiles = true;
        options.afterBatch = Options::AfterBatch::Nothing;
        return;
    }
    const std::vector<std::string> fields = splitFields(settingsTextFromFile(bytes), 7);
    store(fields, 0, options.intSoundReminder);
    store(fields, 1, options.intMusicCutter);
    store(fields, 2, options.lngCutFrom);
    store(fields, 3, options.lngCutTo);
    options.jobs = jobsOf(fields);
    options.keepFailedFiles = choiceOf(fields, 5, 1).value_or(1) == 1;
    options.afterBatch = static_cast<Options::AfterBatch>(choiceOf(fields, 6, 3).value_or(0));
}

std::string optionsFileText(const Options& options) {
    std::string text;
    for (const long value :
         {static_cast<long>(options.intSoundReminder), static_cast<long>(options.intMusicCutter),
          static_cast<long>(options.lngCutFrom), static_cast<long>(options.lngCutTo)}) {
        text += std::to_string(value);
        text += "\r\n";
    }
    const Options defaults;
    const int later[] = {options.jobs, options.keepFailedFiles ? 1 : 0,
                         static_cast<int>(options.afterBatch)};
    const int laterDefaults[] = {defaults.jobs, 1, 0};
    std::size_t count = std::size(later);
    while (count > 0 && later[count - 1] == laterDefaults[count - 1]) --count;
    for (std::size_t i = 0; i < count; ++i) text += std::to_string(later[i]) + "\r\n";
    return text;
}

bool writeOptionsFile(const std::string& path, const Options& options) {
    return writeFileAtomically(path, settingsFileFromText(optionsFileText(options)));
}

double fieldValue(const std::string& text) { return numericPrefix(text).value_or(0.0); }

std::optional<ConfirmProblem> checkCutterFields(const CutterFields& fields) {
    static constexpr const char* kMinutesText = "分钟必须小于60";
    static constexpr const char* kMinutesTitle = "分钟";
    static constexpr const char* kSecondsText = "秒必须小于60";
    static constexpr const char* kSecondsTitle = "秒";
    const struct {
        const std::string& text;
        CutterField field;
        const char* message;
        const char* title;
    } checks[] = {
        {fields.fromM, CutterField::FromM, kMinutesText, kMinutesTitle},
        {fields.toM, CutterField::ToM, kMinutesText, kMinutesTitle},
        {fields.fromS, CutterField::FromS, kSecondsText, kSecondsTitle},
        {fields.toS, CutterField::ToS, kSecondsText, kSecondsTitle},
    };
    for (const auto& check : checks)
        if (fieldValue(check.text) > 59)
            return ConfirmProblem{check.field, check.message, check.title};
    return std::nullopt;
}

bool allCutterFieldsZero(const CutterFields& fields) {
    for (const std::string* text :
         {&fields.fromH, &fields.fromM, &fields.fromS, &fields.toH, &fields.toM, &fields.toS})
        if (fieldValue(*text) != 0) return false;
    return true;
}

Options confirmedOptions(int soundPosition, bool cutterChecked, const CutterFields& fields,
                         const Options& current) {
    Options options = current;
    if (allCutterFieldsZero(fields)) cutterChecked = false;
    if (const auto sound = roundedToFit<int16_t>(soundPosition)) options.intSoundReminder = *sound;
    options.intMusicCutter = cutterChecked ? 1 : 0;
    if (const auto from = secondsOf(fields.fromH, fields.fromM, fields.fromS))
        options.lngCutFrom = *from;
    if (const auto to = secondsOf(fields.toH, fields.toM, fields.toS)) options.lngCutTo = *to;
    return options;
}

void fillBack(int32_t seconds, std::string& hours, std::string& minutes, std::string& secs) {
    const int64_t total = seconds;
    const int64_t h = floorDiv(total, 3600);
    const int64_t m = floorDiv(total - h * 3600, 60);
    hours = std::to_string(h);
    minutes = std::to_string(m);
    secs = std::to_string(total - h * 3600 - m * 60);
}

}  // namespace tessaro
