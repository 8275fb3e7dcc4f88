#include "serial/Information_Write_Thread.h"

#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"

Information_Write_Thread::Information_Write_Thread(IdentificationFlags *flags, QObject *parent)
    : QThread(parent), m_flags(flags)
{
    setObjectName(QStringLiteral("arv-queries")); // the system's name of the thread
}

Information_Write_Thread::~Information_Write_Thread()
{
    stopAndWait();
}

void Information_Write_Thread::startQueries()
{
    if (isRunning())
        return;
    wait(); // a thread that just finished
    joined();
    m_stop = false;
    m_failed = false;
    start();
}

void Information_Write_Thread::stopAndWait()
{
    m_stop = true;
    if (m_pending.exchange(0) != 0)
        m_written.release();
    wait();
    joined();
    m_written.acquire(m_written.available());
}

bool Information_Write_Thread::frameDone(quint64 ticket, bool written)
{
    // The result is stored before the ticket is claimed: the waiter reads it after the claim.
    quint64 expected = ticket;
    if (ticket == 0 || m_pending.load() != ticket)
        return false;
    m_lastWritten = written;
    if (!m_pending.compare_exchange_strong(expected, 0))
        return false;
    m_written.release();
    return true;
}

void Information_Write_Thread::run()
{
    struct RunEnd
    {
        std::atomic<unsigned> &count;
        ~RunEnd() { count.fetch_add(1, std::memory_order_release); }
    } runEnd{m_runsEnded};
    struct Query
    {
        QByteArray frame;
        std::atomic<bool> *known;
    };
    const Query queries[] = {
        {CommandFrame::queryProductId(), &m_flags->productId},
        {CommandFrame::queryVersion(), &m_flags->version},
        {CommandFrame::queryFrequency(), &m_flags->frequency},
        {CommandFrame::queryAlgorithm(), &m_flags->algorithm},
    };
    for (const Query &q : queries) {
        for (int count = 0; count < MaxWrites && !q.known->load(); ++count) {
            if (m_stop)
                return;
            const quint64 ticket = ++m_nextTicket;
            m_pending = ticket;
            // A stop that came after the check above may have missed this ticket: without
            // this second look the thread would wait a whole WriteWaitMs before it stops.
            if (m_stop) {
                if (m_pending.exchange(0) == 0)
                    m_written.acquire(); // the stop claimed the ticket and released
                return;
            }
            emit writeRequested(q.frame, ticket);
            bool written = true; // no report in time: go on as before
            if (m_written.tryAcquire(1, WriteWaitMs)) {
                written = m_lastWritten.load();
            } else if (m_pending.exchange(0) == 0) {
                // The writer claimed the ticket meanwhile and its release is on the way:
                // take it so that it cannot satisfy a later wait.
                m_written.acquire();
                written = m_lastWritten.load();
            }
            if (m_stop)
                return;
            if (!written) {
                m_failed = true;
                return;
            }
            msleep(PauseMs);
        }
    }
}
