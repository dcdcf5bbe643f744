#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QTimer>
#include <memory>

#include "shell/TerminationWatch.h"

namespace tessaro {
namespace {

// The end of the session reaches a window program as WM_QUERYENDSESSION.
class SessionEndFilter : public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(TerminationWatch* watch, std::function<void()>* requested)
        : m_watch(watch), m_requested(requested) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "windows_generic_MSG" || !message) return false;
        if (static_cast<const MSG*>(message)->message != WM_QUERYENDSESSION) return false;
        // Answered later, from the event loop, not inside the system's message.
        QTimer::singleShot(0, m_watch, [requested = m_requested] {
            if (*requested) (*requested)();
        });
        return false;
    }

private:
    TerminationWatch* m_watch;
    std::function<void()>* m_requested;
};

std::unique_ptr<SessionEndFilter> g_filter;

}  // namespace

TerminationWatch::TerminationWatch(std::function<void()> requested, QObject* parent)
    : QObject(parent), m_requested(std::move(requested)) {
    if (g_filter) return;
    g_filter = std::make_unique<SessionEndFilter>(this, &m_requested);
    QCoreApplication::instance()->installNativeEventFilter(g_filter.get());
}

TerminationWatch::~TerminationWatch() {
    if (!g_filter) return;
    QCoreApplication::instance()->removeNativeEventFilter(g_filter.get());
    g_filter.reset();
}

}  // namespace tessaro
