#pragma once

#include "serial/HandOverBuffer.h"
#include "serial/SerialWriteResult.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class Information_Write_Thread;
class SerialIoWorker;
class SimulatedUnitHost;
struct IdentificationFlags;
struct WriteCompletion;

// The one serial port of the program and what goes with it: listing, opening, closing,
// reading, writing, the identification query thread and the built-in simulated unit.
//
// Threads. The QSerialPort lives on the link's own I/O thread ("arv-serial-io", started with
// the link and joined by its destructor) and is touched by no other thread. The link object
// itself belongs to the thread that made it (the GUI thread): open(), reopen(), close() and
// takeReceived() are called there, write() and clearBuffers() from any thread, the getters
// from any thread.
//
// Reading. The I/O thread reads as soon as the port has bytes and appends them to a bounded
// hand-over buffer (HandOverCapacity, about 11 s of 921600 baud). readyRead() is then emitted
// on the link's thread, coalesced: at most one is on its way, and bytes that arrive after a
// takeReceived() always lead to a new one. Bytes that do not fit are dropped and counted
// (handOverStatistics(): high-water mark, overflow), never silently.
//
// Writing. write() hands the bytes to the I/O thread and returns a ticket (never 0) at once;
// nothing blocks and no event loop is nested. The real result comes back later, exactly once
// per write, on the link's thread: writeFinished(ticket, result) for every write, and the
// handler of write(bytes, context, handler) on the context's thread. Written means that
// every byte reached the system's driver within timeoutMs (counted from the call; 1000 ms by
// default, as the unit's commands are written; a firmware frame may take 5000 or 10000). A
// write that fails, times out, finds no open port, or is overtaken by close(), reopen() or
// clearBuffers() reports so (SerialWriteResult::Status) with the bytes that did leave.
// Writes go out in the order they were handed in, from all threads together.
//
// A dialog sends a command and learns its result:
//     link->write(frame, this, [this](const SerialWriteResult &r) {
//         if (!r.ok()) addMessage(r.text()); });
// An update transfer maps the link's results to its own tickets:
//     connect(transfer, &UpdateTransfer::frameReady, this, [=](const QByteArray &f, quint64 t) {
//         link->write(f, transfer, [=](const SerialWriteResult &r) {
//             r.ok() ? transfer->frameWritten(t) : transfer->writeFailed(t); }, 5000); });
//
// Errors and loss. Every new port error is passed on once with portError() (on the link's
// thread); error() is the port's latest error, readable from any thread. A vanished device
// fails the writes that wait. The owner decides what a loss is (the main window's 4000 ms
// poll, and at once on a resource or read error) and closes the link.
//
// Costs. write() copies nothing (shared byte arrays) and posts one event; each read takes
// one lock and one copy of the bytes into the hand-over buffer; takeReceived() swaps buffers.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    // The last entry of the port list: the simulated unit built into the program.
    static const char *const SimulatedPortName; // "ARV-SIM"
    static constexpr int DefaultWriteTimeoutMs = 1000;
    static constexpr qint64 HandOverCapacity = qint64(1) << 20;

    using WriteHandler = std::function<void(const SerialWriteResult &result)>;

    explicit SerialLink(IdentificationFlags *flags, QObject *parent = nullptr);
    // Stops the query thread, closes the port, joins the I/O thread.
    ~SerialLink() override;

    void setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host);
    SimulatedUnitHost *simulatedUnitHost() const { return m_sim.get(); }

    // The system's ports, in the order the system lists them.
    static QStringList systemPortNames();

    // ---- Session (the link's thread; each waits for the I/O thread, which answers within
    // the system's open or close of the device) ----

    // Opens a port by listed name, "ARV-SIM" or a device path, with 8N1, no flow control and
    // a read buffer of baud bytes; a session that was open is closed first. The session
    // starts empty: bytes the system's driver held from before are dropped. On failure
    // returns false and sets *message to the text for the message list.
    bool open(const QString &name, int baud, QString *message);
    // The open device again at another baud rate (the unit was told to change its rate).
    // Pending writes are discarded; bytes already handed over stay. On failure the session
    // stays, without a port: error() tells why and writes report NotOpen.
    bool reopen(int baud, QString *message);
    // Stops the query thread, discards pending writes (each reports Discarded), closes the
    // port, empties the hand-over buffer and stops the simulated unit. Harmless when closed.
    void close();

    // True from a successful open() until close(), also after the device vanished.
    bool isOpen() const { return m_session.load(); }
    QString openedName() const { return m_openedName; }
    // The open port's settings as the port reports them (0 without one).
    int baudRate() const;
    qint64 readBufferSize() const;
    QSerialPort::SerialPortError error() const;

    // ---- Reading ----

    // Everything handed over so far, moved into `into` (previous content dropped, storage
    // reused). Call it on readyRead().
    void takeReceived(QByteArray &into);
    QByteArray readAll();
    HandOverStatistics handOverStatistics() const { return m_handOver.statistics(); }

    // ---- Writing (any thread) ----

    // The result arrives with writeFinished(ticket, result). timeoutMs <= 0: the default.
    quint64 write(const QByteArray &bytes, int timeoutMs = DefaultWriteTimeoutMs);
    // Also calls done(result) on context's thread (nothing when context is gone by then; a
    // context living on another thread than the link's must outlive the result). A null
    // context runs done on the link's thread.
    quint64 write(const QByteArray &bytes, QObject *context, WriteHandler done,
                  int timeoutMs = DefaultWriteTimeoutMs);
    // Drops what the port has received and not yet delivered and what it has still to send
    // (those writes report Discarded), and the hand-over buffer. Ordered with the writes:
    // a write handed in after this call is sent.
    void clearBuffers();

    // ---- Identification queries ----

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
    void writeFinished(quint64 ticket, const SerialWriteResult &result);
    // An identification query could not be written; the queries stopped.
    void queryWriteFailed(const SerialWriteResult &result);

private:
    void writeQueryFrame(const QByteArray &frame, quint64 ticket);
    quint64 post(const QByteArray &bytes, bool hasContext, QObject *context, WriteHandler done,
                 int timeoutMs);
    void deliverWrite(quint64 ticket, const SerialWriteResult &result,
                      const WriteCompletion &completion);
    void deliverReadyRead();
    void stopSimulatedUnit();

    IdentificationFlags *m_flags;
    HandOverBuffer m_handOver{HandOverCapacity};
    QThread m_ioThread;
    SerialIoWorker *m_worker = nullptr;
    std::atomic<bool> m_session{false};
    std::atomic<quint64> m_nextTicket{0};
    QString m_openedName;
    std::unique_ptr<SimulatedUnitHost> m_sim;
    bool m_simRunning = false;
    Information_Write_Thread *m_queries = nullptr;
};
