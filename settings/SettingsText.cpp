#include "settings/SettingsText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "engine/Platform.h"

namespace tessaro {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Index just past the line end that starts at `i` (CR LF counts as one).
std::size_t skipLineEnd(std::string_view data, std::size_t i) {
    if (i < data.size() && data[i] == '\r')
        ++i;
    else if (i < data.size() && data[i] == '\n')
        return i + 1;
    if (i < data.size() && data[i] == '\n') ++i;
    return i;
}

// Whether the decimal text (digits, a point, an exponent) that from_chars
// found out of range is too big rather than too small: the decimal exponent
// of its first significant digit is not negative.
bool isHuge(std::string_view number) {
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t j = e + 1;
        const bool negative = j < number.size() && number[j] == '-';
        if (j < number.size() && (number[j] == '+' || number[j] == '-')) ++j;
        for (; j < number.size() && exponent < 1'000'000'000; ++j)
            exponent = exponent * 10 + (number[j] - '0');
        if (negative) exponent = -exponent;
    }
    const std::size_t point = mantissa.find('.');
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return false;
    const long long intPart =
        static_cast<long long>(point == std::string_view::npos ? mantissa.size() : point);
    const long long position = static_cast<long long>(first) < intPart
                                   ? intPart - static_cast<long long>(first) - 1
                                   : intPart - static_cast<long long>(first);
    return position + exponent >= 0;
}

std::size_t lineEnd(std::string_view data, std::size_t i) {
    while (i < data.size() && !isLineEnd(data[i])) ++i;
    return i;
}

}  // namespace

FileHead readFileHead(const std::string& path, std::string& bytes, std::size_t limit) {
    bytes.clear();
    std::error_code error;
    const std::filesystem::path file = platform::nativePath(path);
    const auto status = std::filesystem::status(file, error);
    if (error || status.type() == std::filesystem::file_type::not_found) {
        return status.type() == std::filesystem::file_type::not_found ? FileHead::Missing
                                                                      : FileHead::Unreadable;
    }
    if (status.type() != std::filesystem::file_type::regular) return FileHead::Unreadable;
    std::ifstream in(file, std::ios::binary);
    if (!in) return FileHead::Unreadable;
    // Piece by piece: a small file costs no buffer of the whole limit.
    char piece[16 * 1024];
    while (bytes.size() < limit) {
        const std::size_t want = std::min(sizeof piece, limit - bytes.size());
        in.read(piece, static_cast<std::streamsize>(want));
        if (in.gcount() <= 0) break;
        bytes.append(piece, static_cast<std::size_t>(in.gcount()));
    }
    return FileHead::Read;
}

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

std::optional<double> numericPrefix(std::string_view text, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t numberStart = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && isDigit(text[j])) ++j, ++digits;
        i = j;
    }
    if (digits == 0) {
        if (consumed) *consumed = 0;
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    double value = 0;
    const char* first = text.data() + numberStart;
    const char* last = text.data() + i;
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too big becomes infinite (out of every range), too small becomes 0.
        value = isHuge(std::string_view(first, static_cast<std::size_t>(last - first)))
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    }
    if (consumed) *consumed = i;
    return negative ? -value : value;
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff > 0.5) return lower + 1;
    if (diff < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

std::optional<int> wholeNumber(std::string_view field) {
    std::size_t consumed = 0;
    const std::optional<double> value = numericPrefix(field, &consumed);
    if (!value) return std::nullopt;
    for (std::size_t i = consumed; i < field.size(); ++i)
        if (!isBlank(field[i])) return std::nullopt;
    return roundedToFit<int>(*value);
}

}  // namespace tessaro
