#include "serial/Information_Write_Thread.h"

#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"

Information_Write_Thread::Information_Write_Thread(IdentificationFlags *flags, QObject *parent)
    : QThread(parent), m_flags(flags)
{
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
    m_stop = false;
    start();
}

void Information_Write_Thread::stopAndWait()
{
    m_stop = true;
    if (m_pending.exchange(0) != 0)
        m_written.release();
    wait();
    m_written.acquire(m_written.available());
}

void Information_Write_Thread::frameWritten(quint64 ticket)
{
    quint64 expected = ticket;
    if (ticket != 0 && m_pending.compare_exchange_strong(expected, 0))
        m_written.release();
}

void Information_Write_Thread::run()
{
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
            if (!m_written.tryAcquire(1, WriteWaitMs)) {
                // Timed out; if the GUI thread claimed the ticket meanwhile, its release
                // is on the way: take it so that it cannot satisfy a later wait.
                if (m_pending.exchange(0) == 0)
                    m_written.acquire();
            }
            if (m_stop)
                return;
            msleep(PauseMs);
        }
    }
}
