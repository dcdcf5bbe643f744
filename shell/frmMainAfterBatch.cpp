// The window at the end of a batch, beyond the folder and the sound: what
// the option 批处理结束后： asks for (quit, sleep, power off).

#include <QTimer>
#include <algorithm>
#include <utility>

#include "base/SystemPower.h"
#include "engine/ConversionDriver.h"
#include "shell/AfterBatchCountdown.h"
#include "shell/frmMain.h"

namespace tessaro {

namespace {

// The countdown before the system is asked to sleep or to power off.
constexpr int kCountdownSeconds = 60;
// Quitting waits for the completion sound to have played.
constexpr int kQuitAfterSoundMs = 2500;

}  // namespace

AfterBatchCountdown* frmMain::afterBatchCountdown() const { return m_countdown; }

void frmMain::noteBatchPhase(BatchPhase phase) {
    if (phase == BatchPhase::Running) {
        m_batchUnderway = true;
        return;
    }
    if (!std::exchange(m_batchUnderway, false) || !m_driver) return;
    if (m_options.afterBatch == Options::AfterBatch::Nothing) return;
    // A batch that converted nothing did not do what the night was left for;
    // one stopped or with failures did, in part.
    const auto& results = m_driver->results();
    if (std::none_of(results.begin(), results.end(),
                     [](const FileResult& r) { return r.converted; }))
        return;
    // After the batch's own end: the failure box, if any, is open by then and
    // the action goes on over it.
    QTimer::singleShot(0, this, [this] { runAfterBatch(); });
}

void frmMain::runAfterBatch() {
    // Leaving already, or a new batch has begun: the night's plan is void.
    const auto overtaken = [this] {
        return m_unloading || m_pendingExit != PendingExit::None ||
               (m_driver && m_driver->running());
    };
    if (overtaken()) return;
    const Options::AfterBatch action = m_options.afterBatch;
    switch (action) {
        case Options::AfterBatch::Nothing:
            return;
        case Options::AfterBatch::Quit:
            QTimer::singleShot(m_options.intSoundReminder == 0 ? kQuitAfterSoundMs : 0, this,
                               [this, overtaken] {
                                   if (!overtaken()) imgExit_Click();
                               });
            return;
        case Options::AfterBatch::Sleep:
        case Options::AfterBatch::ShutDown:
            break;
    }
    if (m_countdown) return;  // counting already
    // A window of its own: it shows, on top, even over a minimised window.
    m_countdown = new AfterBatchCountdown(action == Options::AfterBatch::Sleep
                                              ? AfterBatchCountdown::Action::Sleep
                                              : AfterBatchCountdown::Action::ShutDown,
                                          kCountdownSeconds);
    m_countdown->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_countdown, &QDialog::accepted, this, [this, action] { askSystemAfterBatch(action); });
    m_countdown->show();
    m_countdown->raise();
    m_countdown->activateWindow();
}

void frmMain::askSystemAfterBatch(Options::AfterBatch action) {
    const bool sleep = action == Options::AfterBatch::Sleep;
    const std::string why = sleep ? requestSleep() : requestShutDown();
    if (!why.empty())
        showMessage((sleep ? "无法睡眠：" : "无法关机：") + why, MessageIcon::Exclamation,
                    "Tessaro");
}

}  // namespace tessaro
