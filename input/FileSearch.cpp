#include "input/FileSearch.h"

#include <utility>

#include "input/FolderListing.h"

namespace tessaro {

namespace {

// Name ends in ".flv" in any letter case. Comparing the last four bytes is
// the same as comparing the last four characters: a multibyte UTF-8
// character holds no ASCII byte, so it can never match ".FLV".
bool hasFlvExtension(std::string_view name) {
    if (name.size() < 4) return false;
    const char* tail = name.data() + name.size() - 4;
    auto upper = [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    };
    return upper(tail[0]) == '.' && upper(tail[1]) == 'F' && upper(tail[2]) == 'L' &&
           upper(tail[3]) == 'V';
}

}  // namespace

void SearchFolder(const std::string& folder, std::vector<std::string>& found, MessagePump& pump) {
    SearchFolder(folder, found, pump, kPumpInterval);
}

void SearchFolder(const std::string& folder, std::vector<std::string>& found, MessagePump& pump,
                  std::chrono::nanoseconds pumpInterval) {
    if (folder.empty()) return;
    ThrottledPump pumper(&pump, pumpInterval);

    // Folders still to search, the next one at the back. A folder's listing is
    // read to its end and closed before any subfolder is opened, so only one
    // listing is open at a time and the depth of the tree costs no stack.
    std::vector<listing::Folder> pending{listing::rootFolder(folder)};
    std::vector<listing::Folder> subfolders;

    while (!pending.empty()) {
        const listing::Folder current = std::move(pending.back());
        pending.pop_back();
        subfolders.clear();

        // A folder that cannot be listed adds nothing; its siblings go on.
        listing::listFolder(current, [&](std::string_view name, listing::EntryKind kind) {
            switch (kind) {
                case listing::EntryKind::Folder:
                    subfolders.push_back({listing::joined(current.shown, name),
                                          listing::joined(current.listed, name)});
                    break;
                case listing::EntryKind::Link:
                case listing::EntryKind::File:
                    if (hasFlvExtension(name) &&
                        (kind == listing::EntryKind::File ||
                         !listing::linksToFolder(listing::joined(current.listed, name))))
                        found.push_back(listing::joined(current.shown, name));
                    break;
                case listing::EntryKind::Skip:
                    break;
            }
            pumper.tick();
        });

        // Subfolders are searched in listing order: push them reversed.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            pending.push_back(std::move(*it));
    }
}

std::string TrimNameBuffer(const std::string& text) {
    const auto last = text.find_last_not_of(std::string("\0 ", 2));
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

}  // namespace tessaro
