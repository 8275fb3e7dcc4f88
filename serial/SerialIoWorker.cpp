#include "serial/SerialIoWorker.h"

#include "serial/HandOverBuffer.h"

#include <algorithm>
#include <chrono>
#include <limits>

SerialIoWorker::SerialIoWorker(HandOverBuffer *handOver, Callbacks callbacks)
    : m_handOver(handOver), m_callbacks(std::move(callbacks)), m_deadline(this), m_notify(this)
{
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &SerialIoWorker::onDeadline);
    m_notify.setSingleShot(true);
    m_notify.setTimerType(Qt::PreciseTimer);
    connect(&m_notify, &QTimer::timeout, this, &SerialIoWorker::notifyReader);
}

SerialIoWorker::~SerialIoWorker()
{
    closePort();
}

qint64 SerialIoWorker::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SerialIoWorker::OpenResult SerialIoWorker::openPort(const QString &device, int baud)
{
    closePort();
    m_device = device;
    m_baud = baud;
    return openDevice();
}

SerialIoWorker::OpenResult SerialIoWorker::reopenPort(int baud)
{
    const QString device = m_device;
    closePort();
    m_device = device;
    m_baud = baud;
    return openDevice();
}

SerialIoWorker::OpenResult SerialIoWorker::openDevice()
{
    OpenResult result;
    m_port = new QSerialPort(this);
    m_port->setPortName(m_device);
    m_port->setBaudRate(m_baud, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setReadBufferSize(m_baud);
    if (!m_port->open(QIODevice::ReadWrite)) {
        result.error = m_port->error();
        result.reason = m_port->errorString();
        delete m_port;
        m_port = nullptr;
        m_error = result.error;
        return result;
    }
    m_queued = 0;
    m_written = 0;
    m_reported = QSerialPort::NoError;
    m_error = QSerialPort::NoError;
    connect(m_port, &QSerialPort::readyRead, this, &SerialIoWorker::onReadyRead);
    connect(m_port, &QSerialPort::bytesWritten, this, &SerialIoWorker::onBytesWritten);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialIoWorker::onError);
    m_portBaud = m_port->baudRate();
    m_portReadBuffer = m_port->readBufferSize();
    m_open = true;
    result.ok = true;
    return result;
}

void SerialIoWorker::closePort()
{
    finishAll(SerialWriteResult::Status::Discarded);
    m_deadline.stop();
    if (m_notify.isActive())
        notifyReader(); // bytes handed over stay across a reopen: the reader must hear of them
    m_open = false;
    m_portBaud = 0;
    m_portReadBuffer = 0;
    if (!m_port)
        return;
    m_port->disconnect(this);
    // Bytes still in the port's own buffer are dropped with the writes just discarded; what
    // the system's driver holds drains as the system closes the device.
    if (m_port->isOpen()) {
        m_port->clear(QSerialPort::Output);
        m_port->close();
    }
    delete m_port;
    m_port = nullptr;
    m_error = QSerialPort::NoError;
}

void SerialIoWorker::write(quint64 ticket, const QByteArray &bytes, int timeoutMs, qint64 startedMs,
                           const WriteCompletion &completion)
{
    Pending p;
    p.ticket = ticket;
    p.start = m_queued;
    p.end = m_queued;
    p.deadlineMs = startedMs + timeoutMs;
    p.completion = completion;
    const qint64 size = bytes.size();
    if (!m_port || !m_open) {
        SerialWriteResult r;
        r.status = SerialWriteResult::Status::NotOpen;
        r.size = size;
        m_callbacks.writeDone(ticket, r, completion);
        return;
    }
    if (size == 0) {
        SerialWriteResult r;
        r.status = SerialWriteResult::Status::Written;
        m_callbacks.writeDone(ticket, r, completion);
        return;
    }
    // Noted before the port takes the bytes: it may report them written at once.
    p.end = m_queued + size;
    m_pending.push_back(p);
    const qint64 taken = m_port->write(bytes);
    if (taken != size) {
        // QSerialPort takes a write whole or not at all.
        m_pending.pop_back();
        SerialWriteResult r;
        r.status = SerialWriteResult::Status::Failed;
        r.size = size;
        r.detail = m_port->errorString();
        m_callbacks.writeDone(ticket, r, completion);
        return;
    }
    m_queued += size;
    armDeadline();
}

void SerialIoWorker::clearBuffers()
{
    finishAll(SerialWriteResult::Status::Discarded);
    if (m_port && m_port->isOpen()) {
        m_port->clear(QSerialPort::AllDirections);
        m_written = m_queued - m_port->bytesToWrite();
    }
    m_handOver->clear();
    armDeadline();
}

void SerialIoWorker::onReadyRead()
{
    const qint64 n = m_port->bytesAvailable();
    if (n <= 0)
        return;
    if (m_scratch.size() < n)
        m_scratch.resize(int(n));
    const qint64 got = m_port->read(m_scratch.data(), n);
    if (got <= 0 || !m_handOver->append(m_scratch.constData(), got))
        return; // the reader has been told already
    const qint64 since = m_sinceNotify.isValid() ? m_sinceNotify.elapsed() : NotifyIntervalMs;
    if (since >= NotifyIntervalMs)
        notifyReader();
    else
        m_notify.start(int(NotifyIntervalMs - since));
}

void SerialIoWorker::notifyReader()
{
    m_notify.stop();
    m_sinceNotify.start();
    m_callbacks.bytesWaiting();
}

void SerialIoWorker::onBytesWritten(qint64)
{
    // What the port still holds is what has not reached the driver; counting it this way,
    // rather than adding up the reports, stays right across a clear() of the port's buffers.
    m_written = m_queued - m_port->bytesToWrite();
    while (!m_pending.empty() && m_pending.front().end <= m_written) {
        const Pending p = m_pending.front();
        m_pending.pop_front();
        finish(p, SerialWriteResult::Status::Written);
    }
    armDeadline();
}

void SerialIoWorker::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    m_error = error;
    // Writes that wait cannot complete after a write error or a vanished device.
    if (error == QSerialPort::WriteError || error == QSerialPort::ResourceError)
        finishAll(SerialWriteResult::Status::Failed, m_port ? m_port->errorString() : QString());
    // A vanished device reports the same error again and again: it is passed on once.
    if (error == m_reported)
        return;
    m_reported = error;
    m_callbacks.error(error);
}

void SerialIoWorker::onDeadline()
{
    const qint64 now = nowMs();
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->deadlineMs <= now) {
            const Pending p = *it;
            it = m_pending.erase(it);
            finish(p, SerialWriteResult::Status::TimedOut);
        } else {
            ++it;
        }
    }
    armDeadline();
}

void SerialIoWorker::finish(const Pending &p, SerialWriteResult::Status status,
                            const QString &detail)
{
    SerialWriteResult r;
    r.status = status;
    r.size = p.end - p.start;
    if (m_port && m_port->isOpen())
        m_written = m_queued - m_port->bytesToWrite();
    r.bytesWritten = std::clamp(m_written - p.start, qint64(0), r.size);
    r.detail = detail;
    m_callbacks.writeDone(p.ticket, r, p.completion);
}

void SerialIoWorker::finishAll(SerialWriteResult::Status status, const QString &detail)
{
    std::deque<Pending> pending;
    pending.swap(m_pending);
    for (const Pending &p : pending)
        finish(p, status, detail);
}

void SerialIoWorker::armDeadline()
{
    if (m_pending.empty()) {
        m_deadline.stop();
        return;
    }
    qint64 earliest = std::numeric_limits<qint64>::max();
    for (const Pending &p : m_pending)
        earliest = std::min(earliest, p.deadlineMs);
    const qint64 wait = std::max<qint64>(0, earliest - nowMs());
    m_deadline.start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
}
