#include "base/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tessaro {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

}  // namespace

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
