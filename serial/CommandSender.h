#pragma once

#include "serial/SerialWriteResult.h"

#include <QByteArray>
#include <QObject>

#include <functional>

class SerialLink;

// The one way the program's dialogs write a command to the unit: configuration settings,
// calibration results, the gyro bias, attitude and heading resets and the raw frames the user
// types. A command is sent only while a port is open, in one write, and its result (every byte
// written within the time-out, 1000 ms unless the caller says otherwise) comes back once,
// later, without blocking anyone: a dialog never writes to the port by its own route.
//
// Threads. Lives on the GUI thread with the link. send() may be called from the GUI thread
// only; a worker thread hands its bytes to the GUI thread first (a queued call) and waits there
// for the result it is given.
//
// The unit's answer, where it gives one, arrives separately through the parse pass; the
// result here says only whether the bytes left.
class CommandSender : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const SerialWriteResult &result)>;

    explicit CommandSender(SerialLink *link, QObject *parent = nullptr);

    // True while a port is open, so that a command would be written.
    bool canSend() const;

    // Hands frame to the link. Returns false, and sends nothing and reports nothing, when no
    // port is open or when frame is empty (a builder that refused its values gives an empty
    // frame). Otherwise done(result), when given, runs once on context's thread after the
    // write ended (not at all when context is destroyed before), and commandFinished follows.
    bool send(const QByteArray &frame, QObject *context, Handler done = {},
              int timeoutMs = DefaultTimeoutMs);

    static constexpr int DefaultTimeoutMs = 1000;

signals:
    // Every sent command's result, in the order the results arrive (diagnostics, tests).
    void commandFinished(const QByteArray &frame, const SerialWriteResult &result);

private:
    SerialLink *m_link;
};
