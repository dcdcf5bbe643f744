#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <memory>

#include "shell/TerminationWatch.h"

namespace tessaro {
namespace {

// The end of the session reaches a window program as WM_QUERYENDSESSION; once
// it has answered yes and returned from WM_ENDSESSION, Windows may end the
// process at any moment. So the request runs at the question, at once: an
// idle window saves and ends the process there and then. A window whose batch
// is still unwinding (its encoders are ended, its partial files not yet
// removed) answers "not yet" with a reason the user sees, and ends the
// process itself once it has cleaned up, which lets the session end go on.
class SessionEndFilter : public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(std::function<void()>* requested) : m_requested(requested) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG" || !message) return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_QUERYENDSESSION) return false;
        if (!m_asked) {
            m_asked = true;
            ::ShutdownBlockReasonCreate(msg->hwnd, L"Tessaro 正在停止转换，清理未完成的文件");
            if (*m_requested) (*m_requested)();
        }
        // Still here: the batch is unwinding below this message.
        *result = FALSE;
        return true;
    }

private:
    std::function<void()>* m_requested;
    bool m_asked = false;
};

std::unique_ptr<SessionEndFilter> g_filter;

}  // namespace

TerminationWatch::TerminationWatch(std::function<void()> requested, QObject* parent)
    : QObject(parent), m_requested(std::move(requested)) {
    if (g_filter) return;
    g_filter = std::make_unique<SessionEndFilter>(&m_requested);
    QCoreApplication::instance()->installNativeEventFilter(g_filter.get());
}

TerminationWatch::~TerminationWatch() {
    if (!g_filter) return;
    QCoreApplication::instance()->removeNativeEventFilter(g_filter.get());
    g_filter.reset();
}

}  // namespace tessaro
