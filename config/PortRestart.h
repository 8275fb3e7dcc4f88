#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Restarts the serial port after the unit took new output settings: wait DelayMs, close the
// port, wait DelayMs, open it again (which clears what was known of the unit and asks it
// again). Each step is a single-shot timer on the owner's thread, so the event loop runs
// throughout: frames, answers and the user keep being served between the steps; only the
// close and the open themselves take the GUI thread, for as long as the system takes to close
// and open the device.
//
// A restart that is asked for while one runs joins it (the port is opened with the unit's
// new settings either way). When the port is found closed at the first step (the user closed
// it, the device was lost), the restart ends there without opening it; when it is found open
// at the second (the user opened it), it is left so.
class PortRestart : public QObject
{
    Q_OBJECT
public:
    static constexpr int DelayMs = 200;

    struct Steps
    {
        std::function<bool()> isOpen;
        std::function<void()> close;
        std::function<void()> open;
    };

    enum class State
    {
        Idle,
        BeforeClose, // waiting to close
        BeforeOpen,  // closed, waiting to open
    };

    explicit PortRestart(Steps steps, QObject *parent = nullptr);

    // Starts a restart; false when one is already running (it serves this request too).
    bool start();
    State state() const { return m_state; }
    bool isRunning() const { return m_state != State::Idle; }

    // Tests: other delays.
    void setDelayMs(int ms) { m_timer.setInterval(ms); }

signals:
    // The restart ended; reopened tells whether the port is open again.
    void finished(bool reopened);

private:
    void step();

    Steps m_steps;
    QTimer m_timer;
    State m_state = State::Idle;
};
