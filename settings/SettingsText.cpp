#include "settings/SettingsText.h"

namespace tessaro {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Index just past the line end that starts at `i` (CR LF counts as one).
std::size_t skipLineEnd(std::string_view data, std::size_t i) {
    if (i < data.size() && data[i] == '\r')
        ++i;
    else if (i < data.size() && data[i] == '\n')
        return i + 1;
    if (i < data.size() && data[i] == '\n') ++i;
    return i;
}

std::size_t lineEnd(std::string_view data, std::size_t i) {
    while (i < data.size() && !isLineEnd(data[i])) ++i;
    return i;
}

}  // namespace

std::vector<std::string> splitFields(std::string_view data, std::size_t maxFields) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (fields.size() < maxFields && i < data.size()) {
        while (i < data.size() && isBlank(data[i])) ++i;
        std::string_view field;
        if (i < data.size() && data[i] == '"') {
            const std::size_t end = lineEnd(data, i);
            const std::size_t close = data.substr(0, end).rfind('"');
            // An unclosed quote runs to the line end.
            field = close > i ? data.substr(i + 1, close - i - 1) : data.substr(i + 1, end - i - 1);
            i = skipLineEnd(data, end);
        } else {
            std::size_t end = i;
            while (end < data.size() && data[end] != ',' && !isLineEnd(data[end])) ++end;
            field = data.substr(i, end - i);
            while (!field.empty() && isBlank(field.back())) field.remove_suffix(1);
            i = end < data.size() && data[end] == ',' ? end + 1 : skipLineEnd(data, end);
        }
        fields.emplace_back(field.substr(0, kFieldLimit));
    }
    return fields;
}

}  // namespace tessaro
