// The Qt dialogs behind DialogBackend.

#include <QAction>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTreeView>

#include "shell/DialogBackend.h"
#include "shell/ListMessageBox.h"

#ifdef TESSARO_HAVE_PRINTSUPPORT
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#endif

namespace tessaro {
namespace {

// Qt's own file dialog opens too narrow for its size and date columns; give
// it room for them, in the font's units so that it grows with the display's
// density, within the screen, and let the name column take what is left.
void giveRoom(QFileDialog& dialog) {
    if (auto* details = dialog.findChild<QTreeView*>()) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    const QFontMetrics metrics = dialog.fontMetrics();
    QSize size(metrics.horizontalAdvance(QLatin1Char('x')) * 110, metrics.height() * 26);
    if (const QScreen* screen = dialog.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size.expandedTo(dialog.sizeHint()));
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
    if (icon == MessageIcon::Critical) return QMessageBox::Critical;
    if (icon == MessageIcon::Exclamation) return QMessageBox::Warning;
    return QMessageBox::Information;
}

void prepareFolderChooser(QFileDialog& dialog) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    giveRoom(dialog);
}

class QtDialogBackend final : public DialogBackend {
public:
    std::optional<QString> openFile(QWidget* owner, const QString& title, const QString& folder,
                                    const QStringList& filters, const QString& preset) override {
        QFileDialog dialog(owner, title, folder);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!filters.isEmpty()) dialog.setNameFilters(filters);
        if (!preset.isEmpty()) dialog.selectFile(preset);
        giveRoom(dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(dialog.selectedFiles().first());
    }

    std::optional<QString> saveFile(QWidget* owner, const QString& title, const QString& folder,
                                    const QStringList& filters) override {
        QFileDialog dialog(owner, title, folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!filters.isEmpty()) dialog.setNameFilters(filters);
        giveRoom(dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(dialog.selectedFiles().first());
    }

    std::optional<QString> chooseFolder(QWidget* owner, const QString& title) override {
        QFileDialog dialog(owner, title);
        prepareFolderChooser(dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(dialog.selectedFiles().first());
    }

    void chooseFolderLater(QWidget* owner, const QString& title,
                           std::function<void(std::optional<QString>)> chosen) override {
        auto* dialog = new QFileDialog(owner, title);
        prepareFolderChooser(*dialog);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QDialog::finished, dialog,
                         [dialog, chosen = std::move(chosen)](int result) {
                             std::optional<QString> folder;
                             if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
                                 folder = QDir::toNativeSeparators(dialog->selectedFiles().first());
                             chosen(folder);
                         });
        dialog->open();  // no nested event loop: the caller's work goes on
    }

    std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial,
                                      bool fullOpen) override {
        QColorDialog dialog(initial, owner);
        dialog.setOption(QColorDialog::NoButtons, false);
        Q_UNUSED(fullOpen);  // Qt's colour dialog always shows its full form
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.currentColor();
    }

    std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) override {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, owner);
        if (!ok) return std::nullopt;
        return font;
    }

    bool showPrinter(QWidget* owner) override {
#ifdef TESSARO_HAVE_PRINTSUPPORT
        QPrinter printer;
        QPrintDialog dialog(&printer, owner);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
        return dialog.exec() == QDialog::Accepted;
#else
        Q_UNUSED(owner);
        return false;
#endif
    }

    bool showPrinterProperties(QWidget* owner) override {
#ifdef TESSARO_HAVE_PRINTSUPPORT
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) return false;
        QPrinter printer(info);
        QPageSetupDialog dialog(&printer, owner);
        return dialog.exec() == QDialog::Accepted;
#else
        Q_UNUSED(owner);
        return false;
#endif
    }

    void message(QWidget* owner, const QString& text, MessageIcon icon,
                 const QString& title) override {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, owner);
        box.exec();
    }

    void messageLater(QWidget* owner, const QString& text, MessageIcon icon, const QString& title,
                      std::function<void()> closed) override {
        auto* box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [closed = std::move(closed)] {
            if (closed) closed();
        });
        box->open();
    }

    void listMessage(QWidget* owner, const QString& text, const QString& list, MessageIcon icon,
                     const QString& title) override {
        ListMessageBox box(owner, text, list, icon, title);
        box.exec();
    }

    bool question(QWidget* owner, const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                        owner);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    void ask(QWidget* owner, const QString& text, const QString& title,
             std::function<void(bool)> answered) override {
        auto* box = new QMessageBox(QMessageBox::Question, title, text,
                                    QMessageBox::Yes | QMessageBox::No, owner);
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)] {
            answered(box->clickedButton() == box->button(QMessageBox::Yes));
        });
        box->open();  // no nested event loop: the caller's work goes on
    }

    QAction* popup(QMenu& menu, const QPoint& at) override { return menu.exec(at); }
    int showModal(QDialog& dialog) override { return dialog.exec(); }
};

}  // namespace

DialogBackend& qtDialogBackend() {
    static QtDialogBackend backend;
    return backend;
}

}  // namespace tessaro
