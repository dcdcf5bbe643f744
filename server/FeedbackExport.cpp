#include "server/FeedbackExport.h"

#include <cstdio>
#include <string>

namespace tessaro::feedbackd {

namespace {

std::string csvField(const std::string& text) {
    std::string field = text;
    // A spreadsheet skips leading spaces before a formula, and takes a tab
    // or a carriage return at the start for the start of one too.
    const auto first = field.find_first_not_of(' ');
    if (!field.empty() && (field[0] == '\t' || field[0] == '\r' ||
                           (first != std::string::npos &&
                            std::string("=+-@").find(field[first]) != std::string::npos)))
        field.insert(0, 1, '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

}  // namespace

void writeCsv(std::ostream& out, const std::vector<StoredMessage>& rows) {
    out << "id,received_at,address,name,email,comment\r\n";
    for (const StoredMessage& r : rows) {
        out << r.id << ',' << csvField(r.receivedAt) << ',' << csvField(r.address) << ','
            << csvField(r.message.name) << ',' << csvField(r.message.email) << ','
            << csvField(r.message.comment) << "\r\n";
    }
}

void writeJson(std::ostream& out, const std::vector<StoredMessage>& rows) {
    out << "[";
    const char* separator = "\n";
    for (const StoredMessage& r : rows) {
        out << separator << "  {\"id\": " << r.id
            << ", \"received_at\": " << jsonString(r.receivedAt)
            << ", \"address\": " << jsonString(r.address)
            << ", \"name\": " << jsonString(r.message.name)
            << ", \"email\": " << jsonString(r.message.email)
            << ", \"comment\": " << jsonString(r.message.comment) << "}";
        separator = ",\n";
    }
    out << (rows.empty() ? "]\n" : "\n]\n");
}

}  // namespace tessaro::feedbackd
