#pragma once

#include <string>

namespace tessaro {

enum class MessageIcon { Critical, Exclamation, Information };

// Modal message boxes, shown synchronously. The window shows real boxes;
// tests record the calls; the command line prints them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void showMessage(const std::string& text, MessageIcon icon,
                             const std::string& title) = 0;
};

}  // namespace tessaro
