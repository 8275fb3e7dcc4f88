#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM turned into a Qt signal on the thread that installed them, so that a
// command ends its work in order (the record file completed and closed) instead of dying.
// The handler only writes one byte into a pipe (async-signal-safe); the rest runs on the
// event loop. One instance per process; the previous handlers come back when it goes.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // True once a signal came (the signal's number in signalNumber()).
    bool received() const { return m_received != 0; }
    int signalNumber() const { return m_received; }

signals:
    void stopRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};
