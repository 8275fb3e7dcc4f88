#include "cli/CliCommand.h"

#include "cli/CliSession.h"
#include "config/ProductRules.h"
#include "protocol/CommandFrame.h"
#include "protocol/RateTables.h"
#include "serial/SerialLink.h"

#include <array>

namespace {

struct ContentName
{
    const char *name;
    const char *alias;
    std::uint16_t bit;
};

// The set-contents command's bits by name; the order of the data settings' boxes.
constexpr std::array<ContentName, 11> contentTable{{
    {"time", "timestamp", ContentMask::Timestamp},
    {"fusion", "state", ContentMask::FusionState},
    {"temperature", "temp", ContentMask::Temperature},
    {"acc", "acceleration", ContentMask::Acceleration},
    {"gyro", "angular-velocity", ContentMask::AngularVelocity},
    {"mag", "magnetic", ContentMask::Magnetic},
    {"euler", "angles", ContentMask::Euler},
    {"quaternion", "quat", ContentMask::Quaternion},
    {"utc", "utc", ContentMask::Utc},
    {"position", "pos", ContentMask::Position},
    {"speed", "velocity", ContentMask::Speed},
}};

} // namespace

namespace CliCommand {

void setUp(QCommandLineParser &parser, const QString &description)
{
    parser.setApplicationDescription(description);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addOption({{"p", "port"},
                      "The serial port: a device path (/dev/ttyUSB0), a listed name (ttyUSB0) or "
                      "ARV-SIM, the simulated unit built into the program.",
                      "PORT"});
    parser.addOption({{"b", "baud"},
                      QStringLiteral("The baud rate of the line (default %1).").arg(DefaultBaud),
                      "BAUD",
                      QString::number(DefaultBaud)});
}

bool parse(QCommandLineParser &parser, const QStringList &arguments, CliOutput &io,
           CommandResult *result, QString *port, int *baud, bool takesPositionals)
{
    const auto bad = [result](const QString &text) {
        *result = CommandResult::fail(ExitCode::BadArguments, text);
        return false;
    };
    if (!parser.parse(arguments))
        return bad(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        io.out << parser.helpText();
        io.out.flush();
        *result = CommandResult::ok();
        return false;
    }
    if (!takesPositionals && !parser.positionalArguments().isEmpty())
        return bad(QStringLiteral("unexpected argument '%1'")
                       .arg(parser.positionalArguments().constFirst()));
    *port = parser.value(QStringLiteral("port"));
    if (port->isEmpty())
        return bad(QStringLiteral("--port is missing (a device path, a port name or ARV-SIM)"));
    bool ok = false;
    *baud = parser.value(QStringLiteral("baud")).toInt(&ok);
    if (!ok || *baud <= 0)
        return bad(QStringLiteral("--baud wants a positive number, not '%1'")
                       .arg(parser.value(QStringLiteral("baud"))));
    return true;
}

bool isUnitBaud(int baud)
{
    return baud > 0 && RateTables::baudForCode(RateTables::baudCode(baud)) == baud;
}

bool parseContents(const QString &text, std::uint16_t *mask, QString *error)
{
    const QString t = text.trimmed();
    QString hex = t;
    if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = hex.mid(2);
    bool isHex = false;
    const uint value = hex.toUInt(&isHex, 16);
    // A word such as "acc" is no hexadecimal number; "add" would be, but is no name either.
    if (isHex && (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || t.at(0).isDigit())) {
        if (value > 0xFFFF || (value & ~uint(ContentMask::All)) != 0) {
            *error = QStringLiteral("--contents %1: bits outside %2 are no contents")
                         .arg(t, QStringLiteral("0x8CFF"));
            return false;
        }
        *mask = std::uint16_t(value);
        return true;
    }
    std::uint16_t m = 0;
    const QStringList names = t.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &raw : names) {
        const QString name = raw.trimmed().toLower();
        bool found = false;
        for (const ContentName &c : contentTable) {
            if (name == QLatin1String(c.name) || name == QLatin1String(c.alias)) {
                m |= c.bit;
                found = true;
            }
        }
        if (!found) {
            *error = QStringLiteral("--contents: unknown content '%1' (known: %2)")
                         .arg(raw.trimmed(), contentNames());
            return false;
        }
    }
    if (names.isEmpty()) {
        *error = QStringLiteral("--contents wants a mask (0x0CC0) or names (acc,gyro)");
        return false;
    }
    *mask = m;
    return true;
}

QString contentNames()
{
    QStringList names;
    for (const ContentName &c : contentTable)
        names << QStringLiteral("%1 (0x%2)")
                     .arg(QLatin1String(c.name))
                     .arg(c.bit, 4, 16, QLatin1Char('0'));
    return names.join(QStringLiteral(", "));
}

int parseMode(const QString &text)
{
    QString t = text.trimmed().toLower();
    t.remove(QLatin1Char(' '));
    t.remove(QLatin1Char('-'));
    t.remove(QLatin1Char('_'));
    for (int i = 0; i < ProductRules::ModeCount; ++i) {
        QString name = QString::fromLatin1(ProductRules::modeText(ProductRules::Mode(i))).toLower();
        name.remove(QLatin1Char(' '));
        if (t == name)
            return i;
    }
    return -1;
}

CommandResult waitFailure(int wait, const CliSession &session, int waitedMs)
{
    switch (CliSession::Wait(wait)) {
    case CliSession::Wait::Interrupted:
        return CommandResult::fail(ExitCode::Interrupted, QStringLiteral("interrupted"));
    case CliSession::Wait::PortLost:
        return CommandResult::fail(ExitCode::PortError, session.portLostText());
    default:
        return CommandResult::fail(ExitCode::NoAnswer, session.silenceDiagnosis(waitedMs));
    }
}

bool identify(CliSession &session, CommandResult *failure)
{
    const IdentificationFlags &flags = session.parser().identification();
    const CliSession::Wait wait = session.waitFor(
        [&] {
            if (flags.complete.load())
                return true;
            // Harmless while the queries run; asks again after they gave up on a unit that
            // drops answers.
            session.link().startQueries();
            return false;
        },
        IdentifyTimeoutMs);
    if (wait == CliSession::Wait::Done)
        return true;
    if (wait == CliSession::Wait::TimedOut && session.parser().statistics().answers > 0) {
        QStringList missing;
        if (!flags.productId)
            missing << QStringLiteral("serial number");
        if (!flags.version)
            missing << QStringLiteral("version");
        if (!flags.frequency)
            missing << QStringLiteral("output rate");
        if (!flags.algorithm)
            missing << QStringLiteral("algorithm mode");
        *failure = CommandResult::fail(ExitCode::NoAnswer,
                                       QStringLiteral("the unit on %1 did not answer in %2 s: %3")
                                           .arg(session.portName())
                                           .arg(IdentifyTimeoutMs / 1000.0, 0, 'f', 1)
                                           .arg(missing.join(QStringLiteral(", "))));
        return false;
    }
    *failure = waitFailure(int(wait), session, IdentifyTimeoutMs);
    return false;
}

} // namespace CliCommand
