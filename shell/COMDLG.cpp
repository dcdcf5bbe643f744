#include "shell/COMDLG.h"

#include <QDir>
#include <QFileInfo>

#include "base/Platform.h"
#include "engine/Commands.h"
#include "shell/DialogBackend.h"

namespace tessaro {
namespace {

bool isBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::vector<FilterPair> splitFilter(const std::string& filter) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= filter.size()) {
        const size_t bar = filter.find('|', start);
        const size_t end = bar == std::string::npos ? filter.size() : bar;
        pieces.push_back(filter.substr(start, end - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<FilterPair> pairs;
    for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
        if (isBlank(pieces[i]) && isBlank(pieces[i + 1])) continue;
        pairs.push_back({pieces[i], pieces[i + 1]});
    }
    return pairs;
}

std::string filterOrAll(const std::string& filter) { return isBlank(filter) ? "*.*|*.*" : filter; }

QStringList qtNameFilters(const std::vector<FilterPair>& pairs) {
    QStringList filters;
    for (const FilterPair& pair : pairs) {
        QString patterns = qs(pair.pattern);
        patterns.replace(';', ' ');
        const QString description = qs(pair.description).trimmed();
        // Qt reads the patterns from the last parentheses of the entry.
        if (description.endsWith("(" + patterns + ")"))
            filters << description;
        else
            filters << description + " (" + patterns + ")";
    }
    return filters;
}

std::string initialFolder(const std::string& folder) {
    if (isBlank(folder)) return platform::applicationFolder();
    const std::string adjusted = withTrailingSeparator(folder);
    if (!QFileInfo(qs(adjusted)).isDir()) return platform::applicationFolder();
    return adjusted;
}

std::string OpenFileDialog(QWidget* owner, const std::string& title, std::string& folder,
                           const std::string& filter, uint32_t flags, DialogBackend& dialogs) {
    (void)flags;
    folder = initialFolder(folder);
    const std::optional<QString> chosen = dialogs.openFile(
        owner, qs(title), qs(folder), qtNameFilters(splitFilter(filterOrAll(filter))), {});
    if (!chosen) return {};
    return chosen->toStdString();
}

}  // namespace tessaro
