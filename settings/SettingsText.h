#pragma once
// Reading the two settings files: the field tokenizer both files share (the
// bounded file read and the number conversions they also use are in base/).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// A field longer than this keeps only its first kFieldLimit bytes.
inline constexpr std::size_t kFieldLimit = 64 * 1024;

// Splits `data` into at most `maxFields` fields, one after another. Leading
// blanks of a field are skipped. A field that begins with a double quote runs
// to the last double quote of its line (with one closing quote, the text
// between the quotes) and the rest of the line is passed over; any other
// field ends at a comma or the line end (LF, CR LF or a bare CR) and loses
// its trailing blanks. An empty line is an empty field.
std::vector<std::string> splitFields(std::string_view data, std::size_t maxFields);

}  // namespace tessaro
