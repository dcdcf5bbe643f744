#pragma once
// Turns a request from outside to end the window's process (SIGTERM, and
// SIGHUP when the user logs out; on Windows the end of the session) into a
// call from the event loop, so that the window can stop, clean up and save
// before it leaves.

#include <QObject>
#include <functional>

namespace tessaro {

class TerminationWatch : public QObject {
public:
    // From now on such a request no longer ends the process at once:
    // `requested` runs from the event loop instead, once per request.
    explicit TerminationWatch(std::function<void()> requested, QObject* parent = nullptr);
    // Gives the requests their default effect again.
    ~TerminationWatch() override;
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

private:
    std::function<void()> m_requested;
};

}  // namespace tessaro
