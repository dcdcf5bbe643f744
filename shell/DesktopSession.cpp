#include "shell/DesktopSession.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tessaro {
namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category, file, function;
    int line;
    QString text;
};

QtMessageHandler g_previous = nullptr;
std::vector<HeldMessage> g_held;

void passOn(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_previous)
        g_previous(type, context, text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QByteArray category(context.category ? context.category : "");
    if (type == QtFatalMsg && text.contains("platform plugin")) {
        // The first word of the platform says why ("could not connect to
        // display :1"); what follows is Qt's own consequence.
        const std::string message =
            noDesktopMessage(g_held.empty() ? "no Qt platform plugin could be initialized"
                                            : g_held.front().text.toStdString());
        std::fputs(message.c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(kNoDesktopExit);
    }
    if (category.startsWith("qt.qpa")) {
        g_held.push_back({type, category, context.file, context.function, context.line, text});
        return;
    }
    passOn(type, context, text);
}

}  // namespace

std::string noDesktopMessage(const std::string& why) {
    return "Tessaro 的窗口需要桌面会话（图形显示），这里没有可用的显示：" + why +
           "\n"
           "The Tessaro window needs a desktop session (an X11 or Wayland display).\n"
           "没有桌面也能转换：请用命令行程序 tessaro-cli（用法见 tessaro-cli --help）。\n"
           "To convert without a desktop, use tessaro-cli (see tessaro-cli --help).\n";
}

PlatformFailureGuard::PlatformFailureGuard() { g_previous = qInstallMessageHandler(onQtMessage); }

PlatformFailureGuard::~PlatformFailureGuard() {
    qInstallMessageHandler(g_previous);
    for (const HeldMessage& held : g_held) {
        const QMessageLogContext context(held.file.constData(), held.line,
                                         held.function.constData(), held.category.constData());
        passOn(held.type, context, held.text);
    }
    g_held.clear();
    g_previous = nullptr;
}

}  // namespace tessaro
