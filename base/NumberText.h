#pragma once
// Numbers read out of text the way every file and output of the program is
// read: the longest numeric prefix, rounding halves to even, whole numbers
// that must fit their type.

#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>

namespace tessaro {

// The longest prefix of `text` (after leading blanks) of the shape
// [+-]digits[.digits][(e|E)[+-]digits], as a number. nullopt when there is no
// such prefix; `consumed` tells how many bytes of `text` it took.
std::optional<double> numericPrefix(std::string_view text, std::size_t* consumed = nullptr);

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// The nearest integer of `value` (halves to even) as a T; nullopt when it
// does not fit T (infinities and NaN never do).
template <typename T>
std::optional<T> roundedToFit(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= std::numeric_limits<T>::min() && rounded <= std::numeric_limits<T>::max()))
        return std::nullopt;
    return static_cast<T>(rounded);
}

// A whole field converted to the nearest whole number: blanks around the
// number are allowed, anything else (empty, "8x", out of int range) is not.
std::optional<int> wholeNumber(std::string_view field);

}  // namespace tessaro
