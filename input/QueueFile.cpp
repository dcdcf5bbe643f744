#include "input/QueueFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/Platform.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "Tessaro queue 1";

bool needsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '%'; }

std::string escaped(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (!needsEscape(c)) {
            out += ch;
            continue;
        }
        out += '%';
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// False on a '%' not followed by two hex digits, or one that stands for a
// character that needs no escape (we never write those).
bool unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        const auto c = static_cast<unsigned char>(high * 16 + low);
        if (!needsEscape(c)) return false;
        out += static_cast<char>(c);
        i += 2;
    }
    return true;
}

// Well-formed UTF-8: no overlong form, no surrogate, nothing above U+10FFFF.
bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned min = 0, code = 0;
        if ((c & 0xE0) == 0xC0)
            more = 1, min = 0x80, code = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            more = 2, min = 0x800, code = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            more = 3, min = 0x10000, code = c & 0x07;
        else
            return false;
        if (i + more >= text.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

std::vector<std::string_view> split(std::string_view line, char by) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(by, start);
        parts.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

bool fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

std::nullopt_t damaged(std::string* why, std::string text) {
    fail(why, std::move(text));
    return std::nullopt;
}

bool parseRow(std::string_view line, InputRow& row, std::string* why) {
    const std::vector<std::string_view> fields = split(line, '\t');
    const bool failed = !fields.empty() && fields[0] == "F";
    if (fields.empty() || (fields[0] != "W" && !failed)) return fail(why, "行首不是 W 或 F");
    if (fields.size() != (failed ? 4u : 3u)) return fail(why, "字段数不对");
    row.failed = failed;
    if (!unescape(fields[1], row.tag) || !unescape(fields[2], row.path) ||
        (failed && !unescape(fields[3], row.reason)))
        return fail(why, "转义不对");
    if (row.path.empty()) return fail(why, "路径为空");
    if (!failed) row.reason.clear();
    return true;
}

std::string setAsideName(const std::string& path, std::time_t now) {
    const std::tm t = platform::localTime(now);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, ".damaged-%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return path + stamp;
}

}  // namespace

std::string queueFileText(const std::vector<InputRow>& rows) {
    std::string text(kHeader);
    text += '\n';
    for (const InputRow& row : rows) {
        text += row.failed ? "F\t" : "W\t";
        text += escaped(row.tag) + '\t' + escaped(row.path);
        if (row.failed) text += '\t' + escaped(row.reason);
        text += '\n';
    }
    return text;
}

std::optional<std::vector<InputRow>> parseQueueFile(std::string_view text, std::string* why) {
    if (text.size() > kMaxQueueFileBytes) return damaged(why, "文件过大");
    if (text.find('\0') != std::string_view::npos) return damaged(why, "含有 NUL 字节");
    if (!isUtf8(text)) return damaged(why, "不是 UTF-8 文本");
    std::vector<InputRow> rows;
    int number = 0;
    for (std::string_view line : split(text, '\n')) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // edited on Windows
        if (number == 1) {
            if (line != kHeader) return damaged(why, "文件头不对");
            continue;
        }
        if (line.empty()) continue;
        InputRow row;
        std::string problem;
        if (!parseRow(line, row, &problem))
            return damaged(why, "第 " + std::to_string(number) + " 行" + problem);
        rows.push_back(std::move(row));
    }
    return rows;
}

bool saveQueueFile(const std::string& path, const std::vector<InputRow>& rows) {
    return writeFileAtomically(path, queueFileText(rows));
}

QueueFileLoad loadQueueFile(const std::string& path, std::time_t now) {
    const fs::path file = platform::nativePath(path);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) return {};
    std::string why;
    std::optional<std::vector<InputRow>> rows;
    const auto size = fs::file_size(file, ec);
    if (ec || !fs::is_regular_file(file, ec)) {
        why = "不是可读的文件";
    } else if (size > kMaxQueueFileBytes) {
        why = "文件过大";
    } else {
        std::ifstream in(file, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof())
            why = "无法读取";
        else
            rows = parseQueueFile(text, &why);
    }
    if (rows) return {std::move(*rows), {}};

    // Kept for a look, out of the way of the next save.
    const std::string aside = setAsideName(path, now);
    std::string taken;
    for (int n = 1; n < 100 && taken.empty(); ++n) {
        const std::string name = n == 1 ? aside : aside + "-" + std::to_string(n);
        if (renameNoReplace(path, name))
            taken = name;
        else if (errno != EEXIST)
            break;
    }
    const std::string where = taken.empty() ? "无法移开" : "已移到 " + taken;
    return {{}, "队列文件 " + path + " 已损坏（" + why + "），" + where + "，列表从空开始"};
}

}  // namespace tessaro
