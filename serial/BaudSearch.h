#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>

// Finds the baud rate at which the unit's frames arrive: the open port is reopened at each
// rate in turn, its buffers are emptied, and the valid frames that arrive within ListenMs
// are counted. Nothing is written: the finder only listens, so that a unit at an unknown
// rate is never sent garbled commands.
//
// A plain state machine on one thread, driven by the owner's clock (milliseconds, never
// going back): start(), then poll() at short intervals (every 50–100 ms) until it returns
// false. The line is reached only through the three hooks, called from start() and poll().
//
// The rates are tried in the given order, the rate the port had before the search last (it
// has already shown no valid frame). A rate is found as soon as it has given EnoughFrames
// valid frames; when no rate gets there, the rate with the most frames (at least one) wins.
// A rate the port cannot be opened at is passed over. At the end the port stays at the
// found rate, or, with none found, is put back at the rate it had.
class BaudSearch
{
public:
    static constexpr qint64 ListenMs = 1100; // a unit at 1 Hz gives at least one frame
    static constexpr quint64 EnoughFrames = 3;

    struct Line
    {
        // Reopens the port at baud; false (with a reason) when it cannot be done.
        std::function<bool(int baud, QString *message)> reopen;
        // Drops what was received and not yet taken (the bytes of the previous rate).
        std::function<void()> clearBuffers;
        // The running count of valid frames received (never going back while searching).
        std::function<quint64()> validFrames;
    };

    struct Result
    {
        int foundBaud = 0;    // 0: no rate gave a valid frame
        int originalBaud = 0; // the rate before the search
        quint64 frames = 0;   // valid frames at the found rate
        bool portOk = true;   // false: the port could not be put at the final rate
        QString failure;      // why, when !portOk
    };

    explicit BaudSearch(Line line);

    // Begins with the first rate to try. False when a search runs already or there is no
    // rate to try (rates empty).
    bool start(const QList<int> &rates, int originalBaud, qint64 nowMs);
    // Moves on when the current rate has been heard long enough. True while still searching;
    // false once the search ended (result() then holds the outcome) or when none runs.
    bool poll(qint64 nowMs);
    // Ends a running search where it stands: the port is left as it is (the owner is closing
    // it). Nothing is reported.
    void cancel() { m_running = false; }

    bool isRunning() const { return m_running; }
    // The rate being listened to (0 when none).
    int listeningBaud() const;
    const Result &result() const { return m_result; }

private:
    void listenAt(int index, qint64 nowMs);
    void finish();

    Line m_line;
    QList<int> m_order;
    int m_index = -1;
    qint64 m_listenStart = 0;
    quint64 m_baseline = 0;
    int m_bestBaud = 0;
    quint64 m_bestFrames = 0;
    int m_atBaud = 0; // the rate the port is at now (0: unknown, a reopen failed)
    bool m_running = false;
    Result m_result;
};
