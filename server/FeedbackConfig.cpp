#include "server/FeedbackConfig.h"

#include <charconv>
#include <sstream>

#include "base/FileHead.h"

namespace tessaro::feedbackd {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

template <typename Number>
bool number(const std::string& text, Number& out, Number least, Number most) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < least || value > most)
        return false;
    out = value;
    return true;
}

// Sets one setting; false for an unknown key or a value out of range.
bool apply(const std::string& key, const std::string& value, FeedbackConfig& c) {
    Limits& l = c.limits;
    if (key == "listen")
        c.listen = value;
    else if (key == "port")
        return number(value, c.port, 0, 65535);
    else if (key == "database")
        c.database = value;
    else if (key == "certificate")
        c.certificate = value;
    else if (key == "private_key")
        c.privateKey = value;
    else if (key == "max_name")
        return number<std::size_t>(value, l.name, 1, 100000);
    else if (key == "max_email")
        return number<std::size_t>(value, l.email, 1, 100000);
    else if (key == "max_comment")
        return number<std::size_t>(value, l.comment, 1, 1000000);
    else if (key == "max_head")
        return number<std::size_t>(value, l.head, 1024, 1 << 20);
    // max_request is the older name of max_body.
    else if (key == "max_body" || key == "max_request")
        return number<std::size_t>(value, l.body, 256, 16 << 20);
    else if (key == "max_connections")
        return number(value, l.connections, 1, 1000000);
    else if (key == "max_per_address")
        return number(value, l.perAddress, 1, 1000000);
    else if (key == "request_timeout")
        return number(value, l.requestTimeout, 1, 3600);
    else if (key == "listen_backlog")
        return number(value, l.backlog, 16, 65535);
    else if (key == "trusted_proxy") {
        std::string bad;
        return c.trustedProxies.add(value, bad);
    } else if (key == "rate_per_minute")
        return number(value, l.perMinute, 1, 1000000);
    else if (key == "retry_window")
        return number(value, l.retryWindow, 0, 86400 * 365);
    else
        return false;
    return !value.empty() || key == "certificate" || key == "private_key" || key == "trusted_proxy";
}

}  // namespace

bool readConfigText(const std::string& text, FeedbackConfig& config, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        const std::string key = trim(line.substr(0, eq));
        if (eq == std::string::npos || !apply(key, trim(line.substr(eq + 1)), config)) {
            error = "line " + std::to_string(number) + ": " + line;
            return false;
        }
    }
    return true;
}

bool parseCommandLine(const std::vector<std::string>& args, FeedbackConfig& config,
                      std::string& error) {
    std::size_t i = 0;
    if (!args.empty() && args[0] == "export") {
        config.exportMessages = true;
        ++i;
    }
    // The configuration file first, so that the options override it.
    for (std::size_t k = i; k + 1 < args.size(); ++k) {
        if (args[k] != "--config") continue;
        std::string text;
        if (readFileHead(args[k + 1], text) != FileHead::Read) {
            error = "cannot read " + args[k + 1];
            return false;
        }
        if (!readConfigText(text, config, error)) {
            error = args[k + 1] + ": " + error;
            return false;
        }
    }
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json" && config.exportMessages) {
            config.json = true;
            continue;
        }
        const bool server = !config.exportMessages;
        const char* key = a == "--database"           ? "database"
                          : a == "--listen" && server ? "listen"
                          : a == "--port" && server   ? "port"
                          : a == "--config"           ? ""
                                                      : nullptr;
        if (!key || i + 1 >= args.size()) {
            error = "unknown or incomplete option: " + a;
            return false;
        }
        const std::string& value = args[++i];
        if (*key && !apply(key, value, config)) {
            error = "bad value for " + a + ": " + value;
            return false;
        }
    }
    return true;
}

}  // namespace tessaro::feedbackd
