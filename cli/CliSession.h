#pragma once

#include "protocol/FrameParser.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class SerialLink;
class StopSignals;

// What the unit said about itself in answer to the four identification queries.
struct UnitIdentity
{
    QString productId; // "41 52 56 ..." as the main window shows it
    QString version;
    QString model; // from the version text; keeps the unit's trailing blank
    QString suffix;
    int rateHz = 0; // 0: not answered
    QString rateText;
    int modeCode = 0; // 0: not answered
    QString modeText;
    bool forbidden = false; // the unit has a model suffix that restricts it
};

// One port session of arv-cli: the serial link (with the built-in "ARV-SIM" unit), the frame
// parser, and the parse pass the main window runs, without a window. Each pass feeds the
// parser, notes the identification answers, starts the queries again after a successful
// frequency or mode setting (as the main window does), and emits passDone() for the command
// to take the frames and answers of the pass.
//
// The commands run one step after another: waitFor() runs the event loop until a condition
// holds, the time is up, the port is lost or a stop signal came. Single thread (the
// application's); the link keeps its own I/O thread.
class CliSession : public QObject
{
    Q_OBJECT
public:
    enum class Wait
    {
        Done,
        TimedOut,
        PortLost,
        Interrupted
    };

    // stop: the process's stop signals (may be null: nothing interrupts).
    explicit CliSession(StopSignals *stop, QObject *parent = nullptr);
    ~CliSession() override; // closes the link

    // Opens port ("ARV-SIM", a listed name or a device path) at baud. False with *error set
    // (one line) when it cannot be opened.
    bool open(const QString &port, int baud, QString *error);
    void close();

    SerialLink &link() { return *m_link; }
    FrameParser &parser() { return m_parser; }
    const FrameParser &parser() const { return m_parser; }
    const UnitIdentity &identity() const { return m_identity; }
    QString portName() const { return m_port; }
    int baud() const { return m_baud; }

    // While set, each pass keeps the UTC digits the record writer needs.
    void setRecording(bool on) { m_recording = on; }

    // Runs the event loop until done() is true (checked at once and after every pass and
    // timer), timeoutMs has passed (< 0: no limit), the port failed or a stop signal came.
    Wait waitFor(const std::function<bool()> &done, int timeoutMs);

    // Sends the identification queries and waits until all four were answered, at most
    // timeoutMs. True when the unit identified itself completely.
    bool identify(int timeoutMs);

    // Why nothing usable came, for the error line: nothing at all, or bytes that formed no
    // frame and no answer (a wrong baud rate), with the figures.
    QString silenceDiagnosis(int waitedMs) const;
    // A line for a lost port.
    QString portLostText() const;

signals:
    // After every parse pass that had data (frames or answers).
    void passDone();

private:
    void onReadyRead();
    void noteAnswers();

    StopSignals *m_stop;
    FrameParser m_parser;
    std::unique_ptr<SerialLink> m_link;
    UnitIdentity m_identity;
    QByteArray m_chunk;
    QString m_port;
    int m_baud = 0;
    bool m_recording = false;
    bool m_lost = false;
};
