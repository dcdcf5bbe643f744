#include "shell/CCommonDialogs.h"

#include <QDir>

#include "base/Platform.h"
#include "engine/Commands.h"
#include "shell/COMDLG.h"
#include "shell/DialogBackend.h"

namespace tessaro {
namespace {

std::string upToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CCommonDialogs::CCommonDialogs(DialogBackend& dialogs) : m_dialogs(dialogs) {}

std::string CCommonDialogs::Title() const { return upToNul(m_Title); }
std::string CCommonDialogs::Path() const { return upToNul(m_Path); }
std::string CCommonDialogs::FileTitle() const { return upToNul(m_FileTitle); }
std::string CCommonDialogs::FileName() const { return upToNul(m_FileName); }

void CCommonDialogs::takeFile(const std::string& fileName) {
    m_FileName = fileName;
    m_FileTitle = GetFileName(fileName);
    const size_t last = fileName.find_last_of(platform::kSeparators);
    m_Path = last == std::string::npos ? std::string() : fileName.substr(0, last);
}

bool CCommonDialogs::ShowPrinter() { return m_dialogs.showPrinter(m_owner); }

bool CCommonDialogs::ShowFolder() {
    const std::optional<QString> folder = m_dialogs.chooseFolder(m_owner, qs(Title()));
    if (!folder) return false;
    m_Path = upToNul(folder->toStdString());
    m_FileName.clear();
    m_FileTitle.clear();
    return true;
}

bool CCommonDialogs::ShowColor(bool fullOpen) {
    const QColor initial(m_Color & 0xff, (m_Color >> 8) & 0xff, (m_Color >> 16) & 0xff);
    const std::optional<QColor> chosen = m_dialogs.chooseColor(m_owner, initial, fullOpen);
    if (!chosen) return false;
    m_Color = uint32_t(chosen->red()) | uint32_t(chosen->green()) << 8 |
              uint32_t(chosen->blue()) << 16;
    return true;
}

bool CCommonDialogs::ShowFont() {
    QFont initial(qs(m_FontName.substr(0, 31)));
    if (m_FontSize > 0) initial.setPointSize(m_FontSize);
    initial.setBold(m_FontBold);
    initial.setItalic(m_FontItalic);
    initial.setUnderline(m_FontUnderline);
    const std::optional<QFont> chosen = m_dialogs.chooseFont(m_owner, initial);
    if (!chosen) return false;
    m_FontName = chosen->family().toStdString();
    m_FontBold = chosen->bold();
    m_FontItalic = chosen->italic();
    m_FontSize = int16_t(int(chosen->pointSizeF() * 10) / 10);
    return true;
}

bool CCommonDialogs::ShowOpen() {
    const std::optional<QString> chosen =
        m_dialogs.openFile(m_owner, qs(Title()), QDir::currentPath(),
                           qtNameFilters(splitFilter(m_Filter)), qs(FileName()));
    if (!chosen) return false;
    takeFile(upToNul(chosen->toStdString()));
    return true;
}

bool CCommonDialogs::ShowPrinterProperties() { return m_dialogs.showPrinterProperties(m_owner); }

bool CCommonDialogs::ShowSave() {
    m_Path = initialFolder(m_Path);
    const std::optional<QString> chosen =
        m_dialogs.saveFile(m_owner, "Save", qs(m_Path), qtNameFilters(splitFilter(filterOrAll(m_Filter))));
    if (!chosen) return false;
    takeFile(upToNul(chosen->toStdString()).substr(0, 255));
    return true;
}

}  // namespace tessaro
