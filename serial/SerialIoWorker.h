#pragma once

#include "serial/SerialWriteResult.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>

class HandOverBuffer;

// Who learns the result of a write besides the link's writeFinished signal: a handler, called
// on its context object's thread (dropped when the context is gone by then).
struct WriteCompletion
{
    bool hasContext = false;
    QPointer<QObject> context;
    std::function<void(const SerialWriteResult &)> handler;
};

// The owner of the QSerialPort, living on the link's I/O thread: every method below runs
// there (SerialLink calls them through queued or blocking-queued invocations). It reads as
// soon as the port has bytes and appends them to the hand-over buffer, writes in order and
// reports each write's result once, and keeps the port's error and open state in atomics
// that any thread may read.
class SerialIoWorker : public QObject
{
    Q_OBJECT
public:
    struct Callbacks
    {
        std::function<void()> bytesWaiting;                      // notify the reader
        std::function<void(QSerialPort::SerialPortError)> error; // a new port error
        std::function<void(quint64, const SerialWriteResult &, const WriteCompletion &)>
            writeDone; // a write's result
    };
    struct OpenResult
    {
        bool ok = false;
        QSerialPort::SerialPortError error = QSerialPort::NoError;
        QString reason;
    };

    // The reader is told of new bytes at most once per this many milliseconds: a parse pass then
    // takes several frames at once instead of waking the GUI thread for every frame, while the
    // screen, which shows them, refreshes far more slowly.
    static constexpr int NotifyIntervalMs = 4;

    SerialIoWorker(HandOverBuffer *handOver, Callbacks callbacks);
    ~SerialIoWorker() override;

    OpenResult openPort(const QString &device, int baud);
    // Closes and opens the same device at another rate; pending writes are discarded.
    OpenResult reopenPort(int baud);
    // Pending writes are discarded; harmless when nothing is open.
    void closePort();
    // startedMs: the steady clock when the caller handed the write in; the time-out counts
    // from there.
    void write(quint64 ticket, const QByteArray &bytes, int timeoutMs, qint64 startedMs,
               const WriteCompletion &completion);
    // Drops the port's input and output (pending writes discarded) and the hand-over buffer.
    void clearBuffers();

    bool isPortOpen() const { return m_open.load(); }
    // The open port's own settings, as it reports them (0 while none is open).
    int portBaudRate() const { return m_portBaud.load(); }
    qint64 portReadBufferSize() const { return m_portReadBuffer.load(); }
    QSerialPort::SerialPortError error() const
    {
        return QSerialPort::SerialPortError(m_error.load());
    }

    // The steady clock of the write time-outs, in milliseconds (any thread).
    static qint64 nowMs();

private:
    struct Pending
    {
        quint64 ticket = 0;
        qint64 start = 0; // the session's byte count before it
        qint64 end = 0;   // ... and after it
        qint64 deadlineMs = 0;
        WriteCompletion completion;
    };

    OpenResult openDevice();
    void onReadyRead();
    void onBytesWritten(qint64);
    void onError(QSerialPort::SerialPortError error);
    void onDeadline();
    void finish(const Pending &p, SerialWriteResult::Status status, const QString &detail = {});
    void finishAll(SerialWriteResult::Status status, const QString &detail = {});
    void armDeadline();
    void notifyReader();

    HandOverBuffer *m_handOver;
    Callbacks m_callbacks;
    QSerialPort *m_port = nullptr;
    QString m_device;
    int m_baud = 0;
    QByteArray m_scratch;
    std::deque<Pending> m_pending;
    qint64 m_queued = 0;  // bytes handed to the port this session
    qint64 m_written = 0; // of those, bytes that reached the system's driver
    QTimer m_deadline;
    QTimer m_notify;             // a notification held back by NotifyIntervalMs
    QElapsedTimer m_sinceNotify; // since the last notification
    QSerialPort::SerialPortError m_reported = QSerialPort::NoError;
    std::atomic<bool> m_open{false};
    std::atomic<int> m_portBaud{0};
    std::atomic<qint64> m_portReadBuffer{0};
    std::atomic<int> m_error{QSerialPort::NoError};
};
