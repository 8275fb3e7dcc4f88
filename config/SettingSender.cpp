#include "config/SettingSender.h"

#include "config/ConfigLog.h"

#include <QPointer>

bool awaitsAnswer(Setting setting)
{
    return setting == Setting::Frequency || setting == Setting::Contents ||
           setting == Setting::AlgorithmMode;
}

SettingSender::SettingSender(CommandSender *sender, QObject *parent)
    : QObject(parent), m_sender(sender)
{
    qRegisterMetaType<Setting>();
    for (std::size_t i = 0; i < m_watches.size(); ++i) {
        QTimer &t = m_watches[i];
        t.setSingleShot(true);
        t.setInterval(AnswerTimeoutMs);
        connect(&t, &QTimer::timeout, this, [this, setting = Setting(i)] {
            qCDebug(lcConfig) << "no answer to setting" << int(setting);
            emit noAnswer(setting);
        });
    }
}

bool SettingSender::canSend() const
{
    return m_sender && m_sender->canSend();
}

bool SettingSender::send(Setting setting, const QByteArray &frame, QObject *context,
                         CommandSender::Handler done)
{
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    // The answer may be parsed before the write's result is handed back: the watch starts
    // with the send.
    const bool sent =
        m_sender && m_sender->send(frame, this,
                                   [this, setting, guard, hasContext,
                                    done = std::move(done)](const SerialWriteResult &result) {
                                       if (!result.ok())
                                           watch(setting).stop();
                                       if (done && (!hasContext || guard))
                                           done(result);
                                   });
    if (sent) {
        qCDebug(lcConfig) << "setting" << int(setting) << frame.toHex(' ');
        if (awaitsAnswer(setting))
            watch(setting).start();
    }
    return sent;
}

void SettingSender::answered(Setting setting)
{
    watch(setting).stop();
}

bool SettingSender::isAwaitingAnswer(Setting setting) const
{
    return watch(setting).isActive();
}

void SettingSender::setAnswerTimeoutMs(int ms)
{
    for (QTimer &t : m_watches)
        t.setInterval(ms);
}
