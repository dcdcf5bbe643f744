#pragma once
// The box that counts down before the system is asked to sleep or to power
// off at the end of a batch: "N 秒后睡眠" / "N 秒后关机", a button to do it
// now and 取消. It stays on top of every window, so that a user at the
// machine sees it and can stop it. Accepted when the count reaches 0 or the
// button is pressed; rejected by 取消 or by closing it.

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace tessaro {

class AfterBatchCountdown : public QDialog {
    Q_OBJECT
public:
    enum class Action { Sleep, ShutDown };

    AfterBatchCountdown(Action action, int seconds, QWidget* parent = nullptr);

    // The text for `seconds` left: "60 秒后睡眠".
    static QString caption(Action action, int seconds);

    // One second has passed (the box's own timer calls it every second): the
    // count goes down, and at 0 the box is accepted.
    void tick();
    int remaining() const { return m_remaining; }
    Action action() const { return m_action; }

    QLabel* lblCountdown = nullptr;
    QPushButton* cmdNow = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* tmrCountdown = nullptr;

private:
    Action m_action;
    int m_remaining;
};

}  // namespace tessaro
