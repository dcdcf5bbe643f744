#pragma once
// The receiver's settings: built-in defaults, then the configuration file
// (key = value lines, "#" comments), then the command line.
//
//   tessaro-feedbackd [--config FILE] [--listen ADDRESS] [--port N] [--database PATH]
//   tessaro-feedbackd export [--config FILE] [--database PATH] [--json]

#include <string>
#include <vector>

#include "server/ClientAddress.h"
#include "server/FeedbackMessage.h"

namespace tessaro::feedbackd {

struct FeedbackConfig {
    bool exportMessages = false;
    bool json = false;
    std::string listen = "127.0.0.1";
    int port = 8080;  // 0: any free port, printed at start
    std::string database = "feedback.db";
    // HTTPS when both are set (PEM files).
    std::string certificate;
    std::string privateKey;
    Limits limits;
    // Proxies whose X-Forwarded-For names the client (trusted_proxy lines,
    // addresses or prefixes; several lines add up).
    AddressSet trustedProxies;
};

// Applies the lines of a configuration file; false with `error` naming the
// line for an unknown key or a bad number.
bool readConfigText(const std::string& text, FeedbackConfig& config, std::string& error);

// Reads the command line (without the program name), the configuration file
// it names first; false with `error` set for a wrong argument or file.
bool parseCommandLine(const std::vector<std::string>& args, FeedbackConfig& config,
                      std::string& error);

}  // namespace tessaro::feedbackd
