#include "shell/frmMenu.h"

#include <QLineEdit>
#include <QMenu>

#include "shell/frmMain.h"

namespace tessaro {

frmMenu::frmMenu(frmMain& main) : m_main(main) {
    setObjectName("frmMenu");
    menuRemove = new QMenu("Remove", this);
    menuRemove->setObjectName("menuRemove");
    menuRemoveSelected = menuRemove->addAction("移除选择项");
    menuRemoveSelected->setObjectName("menuRemoveSelected");
    menuRemoveAll = menuRemove->addAction("移除全部");
    menuRemoveAll->setObjectName("menuRemoveAll");
    connect(menuRemoveSelected, &QAction::triggered, this,
            [this] { m_main.txtAction->setText("RemoveSelected"); });
    connect(menuRemoveAll, &QAction::triggered, this, [this] { m_main.removeAll(); });
}

}  // namespace tessaro
