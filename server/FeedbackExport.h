#pragma once
// The stored messages for the maker, as UTF-8 text with every character as
// it was sent (Chinese included).

#include <ostream>
#include <vector>

#include "server/FeedbackMessage.h"

namespace tessaro::feedbackd {

// CSV (RFC 4180): a header line "id,received_at,address,name,email,comment",
// then one line per message; fields with a comma, quote or line break are
// quoted. A field that a spreadsheet would take for a formula (it begins,
// after any spaces, with "=", "+", "-" or "@", or it begins with a tab or a
// carriage return) gets a leading "'".
void writeCsv(std::ostream& out, const std::vector<StoredMessage>& rows);

// A JSON array of objects with the same keys; the texts exact.
void writeJson(std::ostream& out, const std::vector<StoredMessage>& rows);

}  // namespace tessaro::feedbackd
