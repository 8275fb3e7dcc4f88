#include "serial/SerialLink.h"

#include "common/Language.h"
#include "serial/Information_Write_Thread.h"
#include "serial/SerialIoWorker.h"
#include "serial/SimulatedUnitHost.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <unistd.h>

const char *const SerialLink::SimulatedPortName = "ARV-SIM";

namespace {

// The device file behind a port name: a path as it is, "ttyUSB0" by the system's listing.
QString devicePath(const QString &device)
{
    if (device.startsWith(QLatin1Char('/')))
        return device;
    const QString location = QSerialPortInfo(device).systemLocation();
    return location.isEmpty() ? QStringLiteral("/dev/") + device : location;
}

// True when the system refuses this user reading and writing the device file (EACCES); not
// for a name too long, a missing file or other failures.
bool accessDenied(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

// name unchanged up to maxLength characters, else its start, "…" and its end.
QString shortenedName(const QString &name, int maxLength = 60)
{
    if (name.size() <= maxLength)
        return name;
    const int tail = (maxLength - 1) / 2;
    return name.left(maxLength - 1 - tail) + QChar(0x2026) + name.right(tail);
}

} // namespace

SerialLink::SerialLink(IdentificationFlags *flags, QObject *parent)
    : QObject(parent), m_flags(flags), m_queries(new Information_Write_Thread(flags, this))
{
    qRegisterMetaType<SerialWriteResult>();
    qRegisterMetaType<QSerialPort::SerialPortError>();
    // The query thread hands its frames to write() on its own thread (write is thread-safe);
    // the result comes back through the handler below.
    connect(m_queries, &Information_Write_Thread::writeRequested, this,
            &SerialLink::writeQueryFrame, Qt::DirectConnection);

    SerialIoWorker::Callbacks callbacks;
    // Called on the I/O thread; what they pass on reaches this object's thread queued.
    callbacks.bytesWaiting = [this] {
        QMetaObject::invokeMethod(this, &SerialLink::deliverReadyRead, Qt::QueuedConnection);
    };
    callbacks.error = [this](QSerialPort::SerialPortError error) {
        QMetaObject::invokeMethod(
            this, [this, error] { emit portError(error); }, Qt::QueuedConnection);
    };
    callbacks.writeDone = [this](quint64 ticket, const SerialWriteResult &result,
                                 const WriteCompletion &completion) {
        QMetaObject::invokeMethod(
            this, [this, ticket, result, completion] { deliverWrite(ticket, result, completion); },
            Qt::QueuedConnection);
    };
    m_worker = new SerialIoWorker(&m_handOver, std::move(callbacks));
    m_ioThread.setObjectName(QStringLiteral("arv-serial-io"));
    m_worker->moveToThread(&m_ioThread);
    m_ioThread.start();
}

SerialLink::~SerialLink()
{
    close();
    // The worker goes on its own thread (it owns a timer there), then the thread ends.
    QMetaObject::invokeMethod(
        m_worker, [this] { delete m_worker; }, Qt::BlockingQueuedConnection);
    m_worker = nullptr;
    m_ioThread.quit();
    m_ioThread.wait();
}

void SerialLink::setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host)
{
    stopSimulatedUnit();
    m_sim = std::move(host);
}

void SerialLink::stopSimulatedUnit()
{
    if (m_simRunning && m_sim)
        m_sim->stop();
    m_simRunning = false;
}

QStringList SerialLink::systemPortNames()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
}

bool SerialLink::open(const QString &name, int baud, QString *message)
{
    close();
    QString device = name;
    if (name == QLatin1String(SimulatedPortName)) {
        QString reason;
        device = m_sim ? m_sim->start(baud, &reason) : QString();
        if (device.isEmpty()) {
            if (m_sim)
                m_sim->stop();
            if (reason.isEmpty())
                reason = Language::text("模拟设备不可用", "the simulated unit is not available");
            if (message)
                *message = openFailureText(name, name, QSerialPort::OpenError, reason);
            return false;
        }
        m_simRunning = true;
    }

    m_handOver.reset();
    SerialIoWorker::OpenResult result;
    QMetaObject::invokeMethod(
        m_worker, [&] { result = m_worker->openPort(device, baud); }, Qt::BlockingQueuedConnection);
    if (!result.ok) {
        if (message)
            *message = openFailureText(name, device, result.error, result.reason);
        stopSimulatedUnit();
        return false;
    }
    m_openedName = name;
    m_session = true;
    return true;
}

bool SerialLink::reopen(int baud, QString *message)
{
    if (!isOpen()) {
        if (message)
            *message = Language::text("串口未打开", "the port is not open");
        return false;
    }
    SerialIoWorker::OpenResult result;
    QMetaObject::invokeMethod(
        m_worker, [&] { result = m_worker->reopenPort(baud); }, Qt::BlockingQueuedConnection);
    if (!result.ok && message)
        *message = openFailureText(m_openedName, m_openedName, result.error, result.reason);
    return result.ok;
}

void SerialLink::close()
{
    // The query thread goes first, so that nothing is written to a closing port.
    stopQueries();
    if (m_session.exchange(false))
        QMetaObject::invokeMethod(
            m_worker, [this] { m_worker->closePort(); }, Qt::BlockingQueuedConnection);
    m_handOver.reset();
    m_openedName.clear();
    stopSimulatedUnit();
}

int SerialLink::baudRate() const
{
    return m_worker->portBaudRate();
}

qint64 SerialLink::readBufferSize() const
{
    return m_worker->portReadBufferSize();
}

QSerialPort::SerialPortError SerialLink::error() const
{
    return isOpen() ? m_worker->error() : QSerialPort::NoError;
}

void SerialLink::takeReceived(QByteArray &into)
{
    m_handOver.takeAll(into);
}

QByteArray SerialLink::readAll()
{
    QByteArray bytes;
    m_handOver.takeAll(bytes);
    return bytes;
}

void SerialLink::deliverReadyRead()
{
    emit readyRead();
}

quint64 SerialLink::write(const QByteArray &bytes, int timeoutMs)
{
    return post(bytes, false, nullptr, WriteHandler(), timeoutMs);
}

quint64 SerialLink::write(const QByteArray &bytes, QObject *context, WriteHandler done,
                          int timeoutMs)
{
    return post(bytes, context != nullptr, context, std::move(done), timeoutMs);
}

quint64 SerialLink::post(const QByteArray &bytes, bool hasContext, QObject *context,
                         WriteHandler done, int timeoutMs)
{
    const quint64 ticket = ++m_nextTicket;
    const qint64 started = SerialIoWorker::nowMs();
    WriteCompletion completion;
    completion.hasContext = hasContext;
    completion.context = context;
    completion.handler = std::move(done);
    const int timeout = timeoutMs > 0 ? timeoutMs : DefaultWriteTimeoutMs;
    SerialIoWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, ticket, bytes, timeout, started, completion] {
            worker->write(ticket, bytes, timeout, started, completion);
        },
        Qt::QueuedConnection);
    return ticket;
}

void SerialLink::deliverWrite(quint64 ticket, const SerialWriteResult &result,
                              const WriteCompletion &completion)
{
    emit writeFinished(ticket, result);
    if (!completion.handler)
        return;
    if (!completion.hasContext) {
        completion.handler(result);
        return;
    }
    QObject *context = completion.context.data();
    if (!context)
        return; // gone meanwhile
    if (context->thread() == thread())
        completion.handler(result);
    else
        QMetaObject::invokeMethod(
            context, [handler = completion.handler, result] { handler(result); },
            Qt::QueuedConnection);
}

void SerialLink::clearBuffers()
{
    m_handOver.clear();
    SerialIoWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->clearBuffers(); }, Qt::QueuedConnection);
}

void SerialLink::startQueries()
{
    if (isOpen())
        m_queries->startQueries();
}

void SerialLink::stopQueries()
{
    m_queries->stopAndWait();
}

void SerialLink::writeQueryFrame(const QByteArray &frame, quint64 ticket)
{
    // On the query thread. The result reaches the thread through frameDone(); a failure is
    // told to the user once, by the thread that still waited for it.
    write(frame, this, [this, ticket](const SerialWriteResult &result) {
        if (m_queries->frameDone(ticket, result.ok()) && !result.ok())
            emit queryWriteFailed(result);
    });
}

QString SerialLink::openFailureText(const QString &name, const QString &device,
                                    QSerialPort::SerialPortError error, const QString &reason)
{
    // Reason first, then the name: a message line that is cut at the right still says why.
    const QString shown = shortenedName(name);
    const QString path = devicePath(device);
    if (error != QSerialPort::PermissionError || !accessDenied(path))
        return Language::text("无法打开串口：%1（%2）", "Cannot open port: %1 (%2)")
            .arg(reason.isEmpty() ? QStringLiteral("?") : reason, shown);

    // Qt also reports a lock file it could not make as a permission error; only a device
    // file that this user may not open gets the advice.
    QString text = Language::text("无法打开串口：没有访问权限（%1）。",
                                  "Cannot open port: Permission denied (%1). ")
                       .arg(shown);
    const QString group = QFileInfo(path).group();
    if (group.isEmpty() || group == QLatin1String("root"))
        return text +
               Language::text("请管理员开放该设备的访问权限（例如用 udev 规则给它一个用户组）。",
                              "Ask the administrator for access to the device (for example a "
                              "udev rule that gives it a group of users).");
    return text + Language::text("请把当前用户加入拥有该设备的用户组“%1”"
                                 "（sudo usermod -aG %1 $USER），然后重新登录。",
                                 "Add your user to the group that owns the device, \"%1\" "
                                 "(sudo usermod -aG %1 $USER), then log in again.")
                      .arg(group);
}
