#pragma once

#include <QDialog>

#include "base/MessageBoxes.h"

class QPlainTextEdit;
class QPushButton;

namespace tessaro {

// A message box over a list of any length, one entry a line: the list
// scrolls in a box that fits the screen, whatever its length, and
// "复制列表" puts all of it on the clipboard. OK closes it.
class ListMessageBox : public QDialog {
    Q_OBJECT
public:
    ListMessageBox(QWidget* owner, const QString& text, const QString& list, MessageIcon icon,
                   const QString& title);

    QPlainTextEdit* listView() const { return m_list; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* okButton() const { return m_ok; }

private:
    QPlainTextEdit* m_list = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace tessaro
