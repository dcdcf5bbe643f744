#pragma once
// A DialogBackend that answers from queued replies and records what was
// asked, so no test ever waits on a modal window.

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shell/DialogBackend.h"

namespace tessaro::test {

struct OpenRequest {
    QString title, folder, preset;
    QStringList filters;
};

struct Message {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class FakeDialogs : public DialogBackend {
public:
    std::deque<std::optional<QString>> files;    // openFile and saveFile replies
    std::deque<std::optional<QString>> folders;  // chooseFolder replies
    std::optional<QColor> color;
    std::optional<QFont> font;
    // Answers to questions, in turn; a question with none left answers No.
    // `onQuestion` runs while a question is "up", before it is answered.
    std::deque<bool> answers;
    std::function<void()> onQuestion;
    // When set, a question asked without waiting stays open until the test
    // answers it with answerHeld().
    bool holdQuestions = false;
    std::function<void(bool)> held;
    // Text of the popup item to choose; empty dismisses the menu.
    QString popupChoice;

    std::vector<OpenRequest> opened;
    std::vector<QString> folderTitles;
    std::vector<Message> messages;
    std::vector<Message> questions;  // icon unused
    std::vector<QStringList> popups;  // the items of each popup
    // Acts on each of the program's own dialogs while it is "open"; without
    // it the dialog is cancelled at once.
    std::function<int(QDialog&)> onModal;
    QStringList modalTitles;

    std::optional<QString> openFile(QWidget*, const QString& title, const QString& folder,
                                    const QStringList& filters, const QString& preset) override {
        opened.push_back({title, folder, preset, filters});
        return next(files);
    }
    std::optional<QString> saveFile(QWidget*, const QString& title, const QString& folder,
                                    const QStringList& filters) override {
        opened.push_back({title, folder, {}, filters});
        return next(files);
    }
    std::optional<QString> chooseFolder(QWidget*, const QString& title) override {
        folderTitles.push_back(title);
        return next(folders);
    }
    std::optional<QColor> chooseColor(QWidget*, const QColor&, bool) override { return color; }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return font; }
    bool showPrinter(QWidget*) override { return false; }
    bool showPrinterProperties(QWidget*) override { return false; }
    void message(QWidget*, const QString& text, MessageIcon icon, const QString& title) override {
        messages.push_back({text.toStdString(), icon, title.toStdString()});
    }
    bool question(QWidget*, const QString& text, const QString& title) override {
        questions.push_back({text.toStdString(), MessageIcon::Information, title.toStdString()});
        if (onQuestion) onQuestion();
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void ask(QWidget* owner, const QString& text, const QString& title,
             std::function<void(bool)> answered) override {
        if (!holdQuestions) return DialogBackend::ask(owner, text, title, std::move(answered));
        questions.push_back({text.toStdString(), MessageIcon::Information, title.toStdString()});
        held = std::move(answered);
    }
    void answerHeld(bool yes) {
        if (auto answer = std::exchange(held, nullptr)) answer(yes);
    }
    QAction* popup(QMenu& menu, const QPoint&) override {
        QStringList items;
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            items << action->text();
            if (!popupChoice.isEmpty() && action->text() == popupChoice) chosen = action;
        }
        popups.push_back(items);
        if (chosen) chosen->trigger();  // as QMenu::exec does
        return chosen;
    }

    int showModal(QDialog& dialog) override {
        modalTitles.push_back(dialog.windowTitle());
        return onModal ? onModal(dialog) : int(QDialog::Rejected);
    }

private:
    static std::optional<QString> next(std::deque<std::optional<QString>>& replies) {
        std::optional<QString> reply;
        if (replies.empty()) return reply;
        reply.swap(replies.front());
        replies.pop_front();
        return reply;
    }
};

}  // namespace tessaro::test
