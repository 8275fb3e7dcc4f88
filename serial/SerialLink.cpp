#include "serial/SerialLink.h"

#include "common/Language.h"
#include "serial/Information_Write_Thread.h"
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
    connect(m_queries, &Information_Write_Thread::writeRequested, this,
            &SerialLink::writeQueryFrame, Qt::QueuedConnection);
}

SerialLink::~SerialLink()
{
    close();
}

void SerialLink::setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host)
{
    if (m_simRunning && m_sim)
        m_sim->stop();
    m_simRunning = false;
    m_sim = std::move(host);
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

    m_port = new QSerialPort(this);
    m_port->setPortName(device);
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setReadBufferSize(baud);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError err = m_port->error();
        if (message)
            *message = openFailureText(name, device, err, m_port->errorString());
        delete m_port;
        m_port = nullptr;
        if (m_simRunning && m_sim)
            m_sim->stop();
        m_simRunning = false;
        return false;
    }
    m_openedName = name;
    connect(m_port, &QSerialPort::readyRead, this, &SerialLink::readyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialLink::portError);
    connect(m_port, &QSerialPort::bytesWritten, this, &SerialLink::onBytesWritten);
    return true;
}

void SerialLink::close()
{
    // The query thread goes first, so that nothing is written to a closing port.
    stopQueries();
    if (m_port) {
        m_port->disconnect(this);
        m_port->close();
        delete m_port;
        m_port = nullptr;
    }
    m_openedName.clear();
    m_writeTicket = 0;
    if (m_simRunning && m_sim)
        m_sim->stop();
    m_simRunning = false;
}

bool SerialLink::isOpen() const
{
    return m_port && m_port->isOpen();
}

QSerialPort::SerialPortError SerialLink::error() const
{
    return m_port ? m_port->error() : QSerialPort::NoError;
}

QByteArray SerialLink::readAll()
{
    return m_port ? m_port->readAll() : QByteArray();
}

void SerialLink::startQueries()
{
    if (isOpen())
        m_queries->startQueries();
}

void SerialLink::stopQueries()
{
    m_queries->stopAndWait();
    m_writeTicket = 0;
}

void SerialLink::writeQueryFrame(const QByteArray &frame, quint64 ticket)
{
    // A request of a thread that has been stopped meanwhile is dropped.
    if (!m_queries->isPending(ticket))
        return;
    if (!isOpen() || m_port->write(frame) <= 0) {
        m_queries->frameWritten(ticket);
        return;
    }
    m_port->flush();
    if (m_port->bytesToWrite() == 0)
        m_queries->frameWritten(ticket);
    else
        m_writeTicket = ticket;
}

void SerialLink::onBytesWritten()
{
    if (m_writeTicket != 0 && m_port && m_port->bytesToWrite() == 0) {
        m_queries->frameWritten(m_writeTicket);
        m_writeTicket = 0;
    }
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
