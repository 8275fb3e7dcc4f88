#pragma once

#include <QByteArray>
#include <QSemaphore>
#include <QThread>

#include <atomic>

struct IdentificationFlags;

// Sends the four identification queries after a port is opened. It never touches the
// port: each frame goes out through writeRequested (the serial link hands it to its I/O
// thread), and the writer reports the real result with frameDone(). The thread waits for
// that report (the write's own time-out is 1000 ms; WriteWaitMs bounds the wait should no
// report come), pauses 10 ms, and repeats a query until its flag is set or it has been
// written ten times. A query that could not be written ends the queries: the port is failing,
// and the writer tells the user.
class Information_Write_Thread : public QThread
{
    Q_OBJECT
public:
    static constexpr int MaxWrites = 10;
    // The write's time-out (1000 ms) and time for its report to come back.
    static constexpr int WriteWaitMs = 2000;
    static constexpr int PauseMs = 10; // intended: the unit gets 10 ms between two queries

    explicit Information_Write_Thread(IdentificationFlags *flags, QObject *parent = nullptr);
    ~Information_Write_Thread() override;

    // Starts the queries unless they are already running.
    void startQueries();
    // Stops and joins the thread (returns within one pause; a pending wait is cut short).
    void stopAndWait();

    // Any thread: the frame with this ticket was written (or not). True when the thread was
    // waiting for it; a stale or repeated report is ignored.
    bool frameDone(quint64 ticket, bool written);
    void frameWritten(quint64 ticket) { frameDone(ticket, true); }
    // True when the last run ended because a frame could not be written.
    bool endedOnFailedWrite() const { return m_failed.load(); }
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
    std::atomic<bool> m_failed{false};      // the run ended on a failed write
    std::atomic<bool> m_lastWritten{false}; // the result of the frame just reported
    quint64 m_nextTicket = 0;
    QSemaphore m_written;
    // Counts the runs that ended: stored last by run(), read after every wait(). QThread
    // tells wait() of the end through Qt's own wait condition, which ThreadSanitizer cannot
    // see; this pair makes the hand-over visible to it, so that what run() touched counts as
    // done before the object is reused or freed.
    std::atomic<unsigned> m_runsEnded{0};
    void joined() const { (void)m_runsEnded.load(std::memory_order_acquire); }
};
