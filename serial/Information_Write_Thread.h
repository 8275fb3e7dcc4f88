#pragma once

#include <QByteArray>
#include <QSemaphore>
#include <QThread>

#include <atomic>

struct IdentificationFlags;

// Sends the four identification queries after a port is opened. It never touches the
// port: each frame goes to the GUI thread through writeRequested (a queued connection);
// the GUI thread writes it and reports with frameWritten(). The thread waits at most
// 1000 ms for that report, pauses 10 ms, and repeats a query until its flag is set or it
// has been written ten times.
class Information_Write_Thread : public QThread
{
    Q_OBJECT
public:
    static constexpr int MaxWrites = 10;
    static constexpr int WriteWaitMs = 1000;
    static constexpr int PauseMs = 10; // intended: the unit gets 10 ms between two queries

    explicit Information_Write_Thread(IdentificationFlags *flags, QObject *parent = nullptr);
    ~Information_Write_Thread() override;

    // Starts the queries unless they are already running.
    void startQueries();
    // Stops and joins the thread (returns within one pause; a pending wait is cut short).
    void stopAndWait();

    // GUI thread: the frame with this ticket has left the port (or cannot be written).
    void frameWritten(quint64 ticket);
    // True while the thread waits for the frame with this ticket.
    bool isPending(quint64 ticket) const { return ticket != 0 && m_pending.load() == ticket; }

signals:
    void writeRequested(const QByteArray &frame, quint64 ticket);

protected:
    void run() override;

private:
    IdentificationFlags *m_flags;
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_pending{0};
    quint64 m_nextTicket = 0;
    QSemaphore m_written;
};
