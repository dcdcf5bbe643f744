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
    // A message over a list of any length, one entry a line (the files a
    // batch failed on). The window shows the list in a scrollable box with a
    // copy button; by default the list follows the text in one message.
    virtual void showListMessage(const std::string& text, const std::string& list, MessageIcon icon,
                                 const std::string& title) {
        showMessage(list.empty() ? text : text + "\n" + list, icon, title);
    }
};

}  // namespace tessaro
