#pragma once
// Reading the two settings files: a bounded read of the file's head, the
// field tokenizer both files share, and the number conversions.

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// No settings file needs more than this; a bigger file is read only this far.
inline constexpr std::size_t kSettingsReadLimit = 1 << 20;
// A field longer than this keeps only its first kFieldLimit bytes.
inline constexpr std::size_t kFieldLimit = 64 * 1024;

enum class FileHead { Missing, Unreadable, Read };

// Reads at most `limit` bytes of a regular file into `bytes`. Anything that is
// not a regular file (a folder, a pipe, a device) is Unreadable and is never
// opened, so a read cannot block.
FileHead readFileHead(const std::string& path, std::string& bytes,
                      std::size_t limit = kSettingsReadLimit);

// Splits `data` into at most `maxFields` fields, one after another. Leading
// blanks of a field are skipped. A field that begins with a double quote runs
// to the last double quote of its line (with one closing quote, the text
// between the quotes) and the rest of the line is passed over; any other
// field ends at a comma or the line end (LF, CR LF or a bare CR) and loses
// its trailing blanks. An empty line is an empty field.
std::vector<std::string> splitFields(std::string_view data, std::size_t maxFields);

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
