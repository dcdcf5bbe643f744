#pragma once
// Message boxes of the benchmark tools: printed to standard error.

#include <cstdio>
#include <string>

#include "base/MessageBoxes.h"

namespace tessaro::bench {

class PrintedMessages : public MessageBoxes {
public:
    void showMessage(const std::string& text, MessageIcon, const std::string& title) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
};

}  // namespace tessaro::bench
