#pragma once

#include "serial/SerialWriteResult.h"

#include <QByteArray>
#include <QSemaphore>
#include <QThread>

#include <atomic>

class CommandSender;

// Sends the bytes the user typed in the command write window, once per send, without
// touching the port: the thread hands its copy of the bytes to the command sender on the GUI
// thread (a queued call) and waits, bounded by ResultWaitMs, for the write's result, which it
// then reports with sendFinished. One send at a time: a send asked for while one runs is
// refused (sendBytes returns false) and the caller says so.
//
// Threads. The object lives on the GUI thread, with the command sender; sendBytes() and the
// destructor are called there. sendFinished is emitted from the worker thread: connect it with
// an automatic or queued connection. The destructor cuts a pending wait short and joins.
class Serial_Write_Thread : public QThread
{
    Q_OBJECT
public:
    // The write's own time-out, as for every command.
    static constexpr int WriteTimeoutMs = 1000;
    // The write's time-out and the time for its result to come back.
    static constexpr int ResultWaitMs = 2000;

    explicit Serial_Write_Thread(CommandSender *sender, QObject *parent = nullptr);
    ~Serial_Write_Thread() override;

    // Starts sending bytes; false, with nothing done, while the previous send still runs.
    bool sendBytes(const QByteArray &bytes);
    bool isSending() const { return m_busy.load(); }

signals:
    // The send ended: the result of the write (NotOpen when no port was open; TimedOut
    // without bytes written when no result came back within ResultWaitMs, and then the bytes
    // are not sent at all unless the GUI thread had already handed them to the port).
    void sendFinished(const QByteArray &bytes, const SerialWriteResult &result);

protected:
    void run() override;

private:
    // GUI thread: the write of send number `generation` ended.
    void deliver(quint64 generation, const SerialWriteResult &result);

    CommandSender *m_sender;
    QByteArray m_bytes; // set before start(), read by run()
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_pending{0};
    quint64 m_generation = 0;
    SerialWriteResult m_result; // written by deliver() before it releases m_done
    QSemaphore m_done;
};
