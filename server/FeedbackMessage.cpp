#include "server/FeedbackMessage.h"

namespace tessaro::feedbackd {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%XX" to its byte and "+" to a space; a "%" without two hex digits stays.
std::string decode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        int high, low;
        if (c == '%' && i + 2 < text.size() && (high = hexDigit(text[i + 1])) >= 0 &&
            (low = hexDigit(text[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c == '+' ? ' ' : c;
        }
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> parseFormFields(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string::npos) end = text.size();
        const std::string part = text.substr(start, end - start);
        if (!part.empty()) {
            const auto eq = part.find('=');
            fields.emplace_back(decode(part.substr(0, eq)), eq == std::string::npos
                                                                ? std::string()
                                                                : decode(part.substr(eq + 1)));
        }
        start = end + 1;
    }
    return fields;
}

bool isCleanUtf8(const std::string& text, std::size_t& length) {
    length = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++length) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) return false;
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xc2 && c <= 0xdf) {
            extra = 1;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            extra = 2;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;  // a continuation byte, or a lead byte of an overlong or too large form
        }
        if (i + static_cast<std::size_t>(extra) >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3f);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        if (cp >= 0x80 && cp <= 0x9f) return false;  // C1 controls
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

int checkMessage(const FeedbackMessage& message, const Limits& limits, std::string& reason) {
    const struct {
        const char* key;
        const std::string& text;
        std::size_t limit;
    } fields[] = {{"name", message.name, limits.name},
                  {"age", message.email, limits.email},
                  {"comment", message.comment, limits.comment}};
    for (const auto& f : fields) {
        std::size_t length = 0;
        if (f.text.empty()) {
            reason = std::string("missing ") + f.key;
            return 400;
        }
        if (!isCleanUtf8(f.text, length)) {
            reason = std::string(f.key) + " is not UTF-8 text";
            return 400;
        }
        if (length > f.limit) {
            reason = std::string(f.key) + " is too long";
            return 413;
        }
    }
    return 0;
}

}  // namespace tessaro::feedbackd
