#include "serial/CommandSender.h"

#include "serial/SerialLink.h"
#include "serial/SerialLog.h"

#include <QPointer>

CommandSender::CommandSender(SerialLink *link, QObject *parent) : QObject(parent), m_link(link) {}

bool CommandSender::canSend() const
{
    return m_link && m_link->isOpen();
}

bool CommandSender::send(const QByteArray &frame, QObject *context, Handler done, int timeoutMs)
{
    if (frame.isEmpty() || !canSend())
        return false;
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    m_link->write(
        frame, this,
        [this, frame, guard, hasContext, done = std::move(done)](const SerialWriteResult &result) {
            if (!result.ok())
                qCDebug(lcSerial) << "command not written:" << frame.toHex(' ') << result.detail;
            if (done && (!hasContext || guard))
                done(result);
            emit commandFinished(frame, result);
        },
        timeoutMs);
    return true;
}
