#include "config/Serial_Write_Thread.h"

#include "config/ConfigLog.h"
#include "serial/CommandSender.h"

#include <QMetaObject>

Serial_Write_Thread::Serial_Write_Thread(CommandSender *sender, QObject *parent)
    : QThread(parent), m_sender(sender)
{
    setObjectName(QStringLiteral("arv-command-write")); // the system's name of the thread
    qRegisterMetaType<SerialWriteResult>();
}

Serial_Write_Thread::~Serial_Write_Thread()
{
    m_stop = true;
    if (m_pending.exchange(0) != 0)
        m_done.release();
    wait();
}

bool Serial_Write_Thread::sendBytes(const QByteArray &bytes)
{
    if (m_busy.exchange(true))
        return false;
    wait(); // a run that has just reported
    m_bytes = bytes;
    m_stop = false;
    m_done.acquire(m_done.available());
    start();
    return true;
}

void Serial_Write_Thread::deliver(quint64 generation, const SerialWriteResult &result)
{
    if (m_pending.load() != generation)
        return; // the thread stopped waiting for it
    m_result = result;
    quint64 expected = generation;
    if (m_pending.compare_exchange_strong(expected, 0))
        m_done.release();
}

void Serial_Write_Thread::run()
{
    const QByteArray bytes = m_bytes;
    const quint64 generation = ++m_generation;
    m_pending = generation;
    // A stop that came before the line above found nothing to cut short: look again.
    if (m_stop) {
        if (m_pending.exchange(0) == 0)
            m_done.acquire(); // the stop claimed the wait and released
        m_busy = false;
        return;
    }
    // The command sender is used on its own thread only: the write is handed over there.
    QMetaObject::invokeMethod(
        this,
        [this, bytes, generation] {
            // A thread that stopped waiting has told the user so: the bytes stay unsent.
            if (m_pending.load() != generation)
                return;
            const bool sent = m_sender->send(
                bytes, this,
                [this, generation](const SerialWriteResult &r) { deliver(generation, r); },
                WriteTimeoutMs);
            if (!sent) {
                SerialWriteResult notOpen;
                notOpen.status = SerialWriteResult::Status::NotOpen;
                notOpen.size = bytes.size();
                deliver(generation, notOpen);
            }
        },
        Qt::QueuedConnection);

    SerialWriteResult result;
    result.status = SerialWriteResult::Status::TimedOut;
    result.size = bytes.size();
    if (m_done.tryAcquire(1, ResultWaitMs)) {
        if (!m_stop)
            result = m_result;
    } else if (m_pending.exchange(0) == 0) {
        // The result was claimed just now and its release is on the way.
        m_done.acquire();
        result = m_result;
    }
    qCDebug(lcConfig) << "command written:" << bytes.toHex(' ') << int(result.status)
                      << result.bytesWritten;
    m_busy = false;
    emit sendFinished(bytes, result);
}
