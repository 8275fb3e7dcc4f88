#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <memory>

class Information_Write_Thread;
class SimulatedUnitHost;
struct IdentificationFlags;

// The one serial port of the program and what goes with it: listing, opening, closing,
// reading, the identification query thread and the built-in simulated unit. Lives on the
// GUI thread; the port is touched only there.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    // The last entry of the port list: the simulated unit built into the program.
    static const char *const SimulatedPortName; // "ARV-SIM"

    explicit SerialLink(IdentificationFlags *flags, QObject *parent = nullptr);
    ~SerialLink() override;

    void setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host);
    SimulatedUnitHost *simulatedUnitHost() const { return m_sim.get(); }

    // The system's ports, in the order the system lists them.
    static QStringList systemPortNames();

    // Opens a port by listed name, "ARV-SIM" or a device path. On failure returns false
    // and sets *message to the text for the message list (both languages by the flag).
    bool open(const QString &name, int baud, QString *message);
    // Stops the query thread, closes and deletes the port, stops the simulated unit.
    void close();

    bool isOpen() const;
    QSerialPort *port() const { return m_port; }
    QString openedName() const { return m_openedName; }
    QSerialPort::SerialPortError error() const;
    QByteArray readAll();

    Information_Write_Thread *queryThread() const { return m_queries; }
    void startQueries();
    void stopQueries();

    // The message-list text for a failed open of port name (device: the name or path that
    // was opened), in the current language: the reason first, then the name shortened to
    // 60 characters. When Qt reports a permission error and this user may indeed not read
    // and write the device file, the text says "Permission denied" and names the group
    // that owns the file, with the command that joins it (no group advice for a
    // root-only device or for Qt's own lock-file failures).
    static QString openFailureText(const QString &name, const QString &device,
                                   QSerialPort::SerialPortError error, const QString &reason);

signals:
    void readyRead();
    void portError(QSerialPort::SerialPortError error);

private slots:
    void writeQueryFrame(const QByteArray &frame, quint64 ticket);
    void onBytesWritten();

private:
    IdentificationFlags *m_flags;
    QSerialPort *m_port = nullptr;
    QString m_openedName;
    std::unique_ptr<SimulatedUnitHost> m_sim;
    bool m_simRunning = false;
    Information_Write_Thread *m_queries = nullptr;
    quint64 m_writeTicket = 0;
};
