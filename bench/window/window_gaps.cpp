// How long the window's event loop waits for its turn while a batch converts.
// Drives the real ConversionDriver through a BatchHost that pumps the Qt event
// loop as the window does; a 1 ms timer stamps every turn of the loop, and the
// gaps between stamps taken while the batch runs are reported: the worst, the
// 99th percentile and the median. Target: worst gap <= 50 ms.
//
// Usage: window_gaps APP_FOLDER FORMAT FILE...
//   APP_FOLDER holds data/conv, data/coder, data/coder2 (real or chatty).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "base/Platform.h"
#include "bench/PrintedMessages.h"
#include "engine/ConversionDriver.h"

namespace {

class PumpingHost : public tessaro::BatchHost {
public:
    PumpingHost(int format, std::vector<std::string> files, std::string folder)
        : m_format(format), m_queue(files.begin(), files.end()), m_folder(std::move(folder)),
          m_parameters(tessaro::withFormatDefaults(format, {})) {}

    int queueCount() const override { return static_cast<int>(m_queue.size()); }
    std::string queueEntry(int i) const override { return i < queueCount() ? m_queue[size_t(i)] : ""; }
    void removeQueueEntry(int i) override {
        if (i < queueCount()) m_queue.erase(m_queue.begin() + i);
    }
    int formatIndex() const override { return m_format; }
    tessaro::ParameterTexts parameters() const override { return m_parameters; }
    std::string outputFolderText() const override { return m_folder; }
    void setOutputFolderText(const std::string& text) override { m_folder = text; }
    void setControlsEnabled(bool) override {}
    void setTimer1Enabled(bool enabled) override { m_timer1 = enabled; }
    void showStatus(const tessaro::BatchStatus&) override {}
    void openFolder(const std::string&) override {}
    void playSound(const std::string&) override {}
    void showMessage(const std::string& text, tessaro::MessageIcon icon,
                     const std::string& title) override {
        m_messages.showMessage(text, icon, title);
    }
    void processEvents() override { QCoreApplication::processEvents(); }

    bool timer1() const { return m_timer1; }

private:
    int m_format;
    std::deque<std::string> m_queue;
    std::string m_folder;
    tessaro::ParameterTexts m_parameters;
    bool m_timer1 = false;
    tessaro::bench::PrintedMessages m_messages;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_gaps APP_FOLDER FORMAT FILE...\n");
        return 2;
    }
    tessaro::platform::setApplicationFolder(argv[1]);
    const std::vector<std::string> files(argv + 3, argv + argc);
    const std::string folder = tessaro::platform::temporaryFolder() + "/bench-window-gaps";
    PumpingHost host(std::atoi(argv[2]), files, folder);
    tessaro::ConversionDriver driver(host);
    driver.setSoundReminder(1);

    QElapsedTimer clock;
    clock.start();
    bool measuring = false;
    qint64 last = -1;
    std::vector<double> gaps;
    QTimer turn;
    turn.setTimerType(Qt::PreciseTimer);
    turn.setInterval(1);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring && last >= 0) gaps.push_back((now - last) / 1e6);
        last = now;
    });
    turn.start();

    QTimer::singleShot(50, [&] {
        driver.Start();
        if (!host.timer1()) return app.exit(1);
        measuring = true;
        last = clock.nsecsElapsed();
        const qint64 t0 = last;
        driver.Timer1_Timer();  // the whole batch, nested
        const qint64 end = clock.nsecsElapsed();
        gaps.push_back((end - last) / 1e6);  // the batch's last stretch
        measuring = false;
        int converted = 0;
        for (const auto& r : driver.results()) converted += r.converted;
        std::sort(gaps.begin(), gaps.end());
        auto at = [&](double q) { return gaps[std::min(gaps.size() - 1, size_t(q * gaps.size()))]; };
        std::printf("window_gaps: %s format %s, %zu file(s), %d converted, %.2f s, %zu turns: "
                    "worst %.1f ms, p99 %.1f ms, median %.2f ms (target worst <= 50 ms)\n",
                    argv[1], argv[2], files.size(), converted, (end - t0) / 1e9, gaps.size(),
                    gaps.back(), at(0.99), at(0.5));
        app.exit(gaps.back() <= 50.0 ? 0 : 1);
    });
    return app.exec();
}
