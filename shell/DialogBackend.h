#pragma once
// Every modal thing the window shows (file, folder, colour, font and print
// dialogs, message boxes, popup menus, its own dialogs) goes through this interface, so that
// tests answer them without a modal loop.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "base/MessageBoxes.h"

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

namespace tessaro {

class DialogBackend {
public:
    virtual ~DialogBackend() = default;

    // Open-file dialog starting in `folder` with `preset` in the name box;
    // `filters` are Qt name filters, the first one selected. The chosen path,
    // or nullopt when cancelled.
    virtual std::optional<QString> openFile(QWidget* owner, const QString& title,
                                            const QString& folder, const QStringList& filters,
                                            const QString& preset) = 0;
    virtual std::optional<QString> saveFile(QWidget* owner, const QString& title,
                                            const QString& folder,
                                            const QStringList& filters) = 0;
    // Folder chooser (file-system folders only).
    virtual std::optional<QString> chooseFolder(QWidget* owner, const QString& title) = 0;
    // The folder chooser without waiting for the choice: it is shown modal to
    // its owner and the call returns at once; `chosen` runs later, from the
    // event loop, with the folder or nullopt when cancelled (not at all when
    // the owner goes first). By default it is asked through chooseFolder().
    virtual void chooseFolderLater(QWidget* owner, const QString& title,
                                   std::function<void(std::optional<QString>)> chosen) {
        chosen(chooseFolder(owner, title));
    }
    virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial,
                                              bool fullOpen) = 0;
    virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) = 0;
    // False when cancelled or when there is no print support or printer.
    virtual bool showPrinter(QWidget* owner) = 0;
    virtual bool showPrinterProperties(QWidget* owner) = 0;

    virtual void message(QWidget* owner, const QString& text, MessageIcon icon,
                         const QString& title) = 0;
    // The same box without waiting for it: shown modal to its owner, the call
    // returns at once and `closed` runs from the event loop when the user has
    // closed it. By default it is shown through message().
    virtual void messageLater(QWidget* owner, const QString& text, MessageIcon icon,
                              const QString& title, std::function<void()> closed) {
        message(owner, text, icon, title);
        if (closed) closed();
    }
    // A message over a list of any length (one entry a line), in a box that
    // fits the screen: the list scrolls and a button copies all of it. By
    // default the list follows the text in one message.
    virtual void listMessage(QWidget* owner, const QString& text, const QString& list,
                             MessageIcon icon, const QString& title) {
        message(owner, list.isEmpty() ? text : text + "\n" + list, icon, title);
    }
    // A Yes/No question with the question icon; true for Yes. No is the
    // default, and closing the box answers No.
    virtual bool question(QWidget* owner, const QString& text, const QString& title) = 0;
    // The same question without waiting for the answer: it is shown modal to
    // its owner and the call returns at once; `answered` runs later, from the
    // event loop, with true for Yes (not at all when the owner goes first).
    // What runs below the caller (a conversion) goes on meanwhile. By default
    // it is asked through question().
    virtual void ask(QWidget* owner, const QString& text, const QString& title,
                     std::function<void(bool yes)> answered) {
        answered(question(owner, text, title));
    }
    // Pops `menu` up at `at` (global); the chosen action or nullptr.
    virtual QAction* popup(QMenu& menu, const QPoint& at) = 0;
    // Runs one of the program's own dialogs (options, feedback) modally and
    // returns when it closes; the QDialog result code.
    virtual int showModal(QDialog& dialog) = 0;
};

// The real Qt dialogs.
DialogBackend& qtDialogBackend();

}  // namespace tessaro
