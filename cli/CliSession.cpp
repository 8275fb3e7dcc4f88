#include "cli/CliSession.h"

#include "cli/StopSignals.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

CliSession::CliSession(StopSignals *stop, QObject *parent)
    : QObject(parent), m_stop(stop),
      m_link(std::make_unique<SerialLink>(&m_parser.identification()))
{
    m_link->setSimulatedUnitHost(std::make_unique<ArvSimHost>());
    // readyRead comes on this thread from the link's own queued delivery: handled at once,
    // without a second trip through the event queue.
    connect(m_link.get(), &SerialLink::readyRead, this, &CliSession::onReadyRead);
    connect(m_link.get(), &SerialLink::portError, this, [this](QSerialPort::SerialPortError e) {
        // As the main window: a resource or read error is a lost device.
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError)
            m_lost = true;
    });
}

CliSession::~CliSession()
{
    close();
}

bool CliSession::open(const QString &port, int baud, QString *error)
{
    m_parser.reset();
    m_parser.setLineBaudRate(baud);
    m_identity = UnitIdentity();
    m_lost = false;
    m_port = port;
    m_baud = baud;
    QString failure;
    if (!m_link->open(port, baud, &failure)) {
        *error = failure.simplified();
        return false;
    }
    return true;
}

void CliSession::close()
{
    if (m_link)
        m_link->close();
}

void CliSession::onReadyRead()
{
    if (!m_link->isOpen())
        return;
    m_link->takeReceived(m_chunk);
    if (m_chunk.isEmpty())
        return;
    m_parser.setRecording(m_recording);
    m_parser.feed(m_chunk);
    if (!m_parser.passHadData())
        return;
    noteAnswers();
    emit passDone();
}

void CliSession::noteAnswers()
{
    bool restartQueries = false;
    for (const AnswerEvent &e : m_parser.answers()) {
        switch (e.type) {
        case AnswerEvent::Type::ProductId:
            m_identity.productId = e.text.trimmed();
            break;
        case AnswerEvent::Type::Version:
            m_identity.version = e.text;
            m_identity.model = m_parser.productModel();
            m_identity.suffix = m_parser.versionSuffix();
            m_identity.forbidden = e.forbidden;
            break;
        case AnswerEvent::Type::Frequency:
            m_identity.rateHz = e.rate;
            m_identity.rateText = e.text;
            break;
        case AnswerEvent::Type::Algorithm:
            m_identity.modeCode = e.code;
            m_identity.modeText = e.text;
            break;
        default:
            break;
        }
        restartQueries = restartQueries || e.restartsQueries();
    }
    if (restartQueries)
        m_link->startQueries();
}

CliSession::Wait CliSession::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    auto verdict = [&]() -> int {
        if (done())
            return int(Wait::Done);
        if (m_stop && m_stop->received())
            return int(Wait::Interrupted);
        if (m_lost || (m_link->isOpen() && m_link->error() == QSerialPort::ResourceError))
            return int(Wait::PortLost);
        if (timeoutMs >= 0 && clock.elapsed() >= timeoutMs)
            return int(Wait::TimedOut);
        return -1;
    };
    int result = verdict();
    if (result >= 0)
        return Wait(result);
    QEventLoop loop;
    auto check = [&] {
        result = verdict();
        if (result >= 0)
            loop.quit();
    };
    // Conditions that change on timers (answer watches, transfer time-outs) are seen within
    // one poll; frames and answers at once.
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, &loop, check);
    connect(this, &CliSession::passDone, &loop, check);
    if (m_stop)
        connect(m_stop, &StopSignals::stopRequested, &loop, check);
    poll.start();
    loop.exec();
    return Wait(result);
}

bool CliSession::identify(int timeoutMs)
{
    m_link->startQueries();
    const IdentificationFlags &flags = m_parser.identification();
    return waitFor([&] { return flags.complete.load(); }, timeoutMs) == Wait::Done;
}

QString CliSession::silenceDiagnosis(int waitedMs) const
{
    const LinkStatistics &s = m_parser.statistics();
    const QString where = QStringLiteral("%1 at %2 baud").arg(m_port).arg(m_baud);
    const QString seconds = QString::number(waitedMs / 1000.0, 'f', 1);
    if (s.bytes == 0)
        return QStringLiteral("nothing received from %1 in %2 s: is the unit connected and "
                              "powered?")
            .arg(where, seconds);
    if (s.frames == 0 && s.answers == 0)
        return QStringLiteral("no valid frames: %1 bytes received from %2 in %3 s, none formed "
                              "a frame or an answer (%4 checksum failures); the unit probably "
                              "sends at another baud rate (--baud)")
            .arg(s.bytes)
            .arg(where, seconds)
            .arg(s.checksumFailures);
    return QStringLiteral("the unit on %1 sends (%2 frames) but did not answer in %3 s")
        .arg(where)
        .arg(s.frames)
        .arg(seconds);
}

QString CliSession::portLostText() const
{
    return QStringLiteral("the port %1 went away (device removed or cable pulled)").arg(m_port);
}
