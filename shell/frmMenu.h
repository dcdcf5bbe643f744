#pragma once
// The menu form: never shown, it only holds the popup menu menuRemove. It
// reaches the main window by writing a command word into txtAction.

#include <QWidget>

class QAction;
class QMenu;

namespace tessaro {

class frmMain;

class frmMenu : public QWidget {
    Q_OBJECT
public:
    explicit frmMenu(frmMain& main);

    QMenu* menuRemove = nullptr;
    QAction* menuRemoveSelected = nullptr;  // "移除选择项": writes "RemoveSelected"
    QAction* menuRemoveAll = nullptr;       // "移除全部": empties the list

private:
    frmMain& m_main;
};

}  // namespace tessaro
