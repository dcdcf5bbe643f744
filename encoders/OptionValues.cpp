#include "encoders/OptionValues.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tessaro {
namespace {

// Digits with at most one dot and an optional leading minus.
bool isDecimal(const std::string& s) {
    size_t i = s.size() > 1 && s[0] == '-' ? 1 : 0;
    bool digit = false, dot = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            digit = true;
        else if (s[i] == '.' && !dot)
            dot = true;
        else
            return false;
    }
    return digit && s.size() <= 15;
}

std::string quoted(const std::string& text) { return "“" + text + "”"; }

}  // namespace

std::string emptyField(const char* field) { return std::string(field) + "为空"; }

std::string asciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string extensionOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return asciiLower(path.substr(dot));
}

std::string numberText(double value) {
    char buf[32];
    if (value == std::floor(value) && std::fabs(value) < 1e12)
        std::snprintf(buf, sizeof buf, "%.0f", value);
    else
        std::snprintf(buf, sizeof buf, "%.6g", value);
    return buf;
}

NumberValue readNumber(const char* field, const std::string& text, double min, double max,
                       char suffix) {
    NumberValue n;
    std::string s = text;
    if (suffix && !s.empty() && s.back() == suffix) s.pop_back();
    if (s.empty()) {
        n.error = emptyField(field);
    } else if (!isDecimal(s)) {
        n.error = std::string(field) + quoted(s) + "不是数字";
    } else {
        n.value = std::strtod(s.c_str(), nullptr);
        if (!(n.value >= min && n.value <= max))
            n.error = std::string(field) + quoted(s) + "超出范围，应在 " + numberText(min) +
                      " 到 " + numberText(max) + " 之间";
    }
    return n;
}

SizeValue readSize(const std::string& text) {
    SizeValue v;
    const auto x = text.find_first_of("xX");
    const std::string w = x == std::string::npos ? text : text.substr(0, x);
    const std::string h = x == std::string::npos ? "" : text.substr(x + 1);
    auto side = [](const std::string& s) {
        if (s.empty() || s.size() > 5) return -1;
        for (char c : s)
            if (c < '0' || c > '9') return -1;
        return std::atoi(s.c_str());
    };
    v.width = side(w);
    v.height = side(h);
    if (text.empty())
        v.error = emptyField(kVideoSizeField);
    else if (v.width < 0 || v.height < 0)
        v.error = std::string(kVideoSizeField) + quoted(text) + "应写作 宽x高，如 320x240";
    else if (v.width < 16 || v.height < 16 || v.width > 4096 || v.height > 4096)
        v.error =
            std::string(kVideoSizeField) + quoted(text) + "超出范围，宽和高应在 16 到 4096 之间";
    return v;
}

std::string adjustedNote(const char* field, const std::string& given, const std::string& used,
                         const std::string& codec) {
    return std::string(field) + " " + given + " 不适用于 " + codec + "，改用 " + used;
}

}  // namespace tessaro
