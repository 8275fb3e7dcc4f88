#include "cli/SetCommand.h"

#include "cli/CliSession.h"
#include "config/PortRestart.h"
#include "config/ProductRules.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"
#include "protocol/RateTables.h"
#include "serial/CommandSender.h"
#include "serial/SerialLink.h"

#include <QThread>

#include <optional>

namespace {

struct Request
{
    std::optional<std::uint16_t> contents;
    std::optional<int> rateHz;
    std::optional<int> mode; // index of ProductRules::Mode
    std::optional<int> unitBaud;
};

bool readRequest(const QCommandLineParser &parser, Request *r, QString *error)
{
    if (parser.isSet(QStringLiteral("contents"))) {
        std::uint16_t mask = 0;
        if (!CliCommand::parseContents(parser.value(QStringLiteral("contents")), &mask, error))
            return false;
        r->contents = mask;
    }
    if (parser.isSet(QStringLiteral("rate"))) {
        bool ok = false;
        const int hz = parser.value(QStringLiteral("rate")).toInt(&ok);
        if (!ok || hz <= 0) {
            *error = QStringLiteral("--rate wants a rate in Hz, not '%1'")
                         .arg(parser.value(QStringLiteral("rate")));
            return false;
        }
        r->rateHz = hz;
    }
    if (parser.isSet(QStringLiteral("mode"))) {
        const int mode = CliCommand::parseMode(parser.value(QStringLiteral("mode")));
        if (mode < 0) {
            *error = QStringLiteral("--mode: unknown mode '%1' (AHRS, VRU, IMU, GeneralPos, "
                                    "Automotive)")
                         .arg(parser.value(QStringLiteral("mode")));
            return false;
        }
        r->mode = mode;
    }
    if (parser.isSet(QStringLiteral("unit-baud"))) {
        bool ok = false;
        const int baud = parser.value(QStringLiteral("unit-baud")).toInt(&ok);
        if (!ok || !CliCommand::isUnitBaud(baud)) {
            *error = QStringLiteral("--unit-baud: the unit has no baud rate '%1'")
                         .arg(parser.value(QStringLiteral("unit-baud")));
            return false;
        }
        r->unitBaud = baud;
    }
    if (!r->contents && !r->rateHz && !r->mode && !r->unitBaud) {
        *error = QStringLiteral("nothing to set: give --rate, --contents, --mode or --unit-baud");
        return false;
    }
    return true;
}

// What this unit offers, by its model and suffix, as the dialogs offer it.
bool checkAgainstUnit(const Request &r, const UnitIdentity &id, QString *error)
{
    const QString unit = QStringLiteral("%1 -%2").arg(id.model.trimmed(), id.suffix);
    if (r.contents) {
        const std::uint16_t disabled = ProductRules::disabledContentBits(id.suffix);
        if (*r.contents & disabled) {
            *error = QStringLiteral("--contents: the unit (%1) cannot output 0x%2")
                         .arg(unit)
                         .arg(*r.contents & disabled, 4, 16, QLatin1Char('0'));
            return false;
        }
    }
    if (r.rateHz) {
        const QStringList offered = ProductRules::frequencies(id.model, id.suffix);
        if (!offered.contains(QString::number(*r.rateHz))) {
            *error = QStringLiteral("--rate: the unit (%1) offers %2 Hz, not %3")
                         .arg(unit, offered.join(QStringLiteral(", ")))
                         .arg(*r.rateHz);
            return false;
        }
    }
    if (r.mode) {
        const ProductRules::ModeSwitch offered = ProductRules::modeSwitch(id.suffix);
        if (!offered.modeApply || !offered.modes[std::size_t(*r.mode)]) {
            *error =
                QStringLiteral("--mode: the unit (%1) cannot take the mode %2")
                    .arg(unit, QLatin1String(ProductRules::modeText(ProductRules::Mode(*r.mode))));
            return false;
        }
    }
    return true;
}

// Sends one answered setting and waits for its answer.
CommandResult sendAnswered(CliSession &session, SettingSender &settings, Setting setting,
                           const QByteArray &frame, AnswerEvent::Type answer, const QString &what)
{
    QObject scope; // the connections of this one setting
    bool answered = false, success = false, silent = false;
    QString writeError;
    QObject::connect(&session, &CliSession::passDone, &scope, [&] {
        for (const AnswerEvent &e : session.parser().answers())
            if (e.type == answer && !answered) {
                answered = true;
                success = e.success;
                settings.answered(setting);
            }
    });
    QObject::connect(&settings, &SettingSender::noAnswer, &scope, [&](Setting s) {
        if (s == setting)
            silent = true;
    });
    if (!settings.send(setting, frame, &scope, [&](const SerialWriteResult &r) {
            if (!r.ok())
                writeError = r.text();
        }))
        return CommandResult::fail(ExitCode::PortError,
                                   QStringLiteral("%1: the port is not open").arg(what));
    const CliSession::Wait wait =
        session.waitFor([&] { return answered || silent || !writeError.isEmpty(); },
                        SettingSender::AnswerTimeoutMs * 3);
    if (wait != CliSession::Wait::Done && wait != CliSession::Wait::TimedOut)
        return CliCommand::waitFailure(int(wait), session, SettingSender::AnswerTimeoutMs);
    if (!writeError.isEmpty())
        return CommandResult::fail(ExitCode::PortError,
                                   QStringLiteral("%1 not sent: %2").arg(what, writeError));
    if (!answered)
        return CommandResult::fail(ExitCode::NoAnswer,
                                   QStringLiteral("%1: the unit did not answer within %2 ms")
                                       .arg(what)
                                       .arg(SettingSender::AnswerTimeoutMs));
    if (!success)
        return CommandResult::fail(ExitCode::Refused,
                                   QStringLiteral("%1: the unit refused it").arg(what));
    return CommandResult::ok();
}

// The unit takes a new baud rate without answering: the port follows it, and the unit must
// identify itself at the new rate.
CommandResult sendUnitBaud(CliSession &session, SettingSender &settings, int baud)
{
    const QString what = QStringLiteral("baud rate %1").arg(baud);
    QObject scope;
    bool written = false;
    QString writeError;
    if (!settings.send(Setting::Baudrate, CommandFrame::setBaudRate(baud), &scope,
                       [&](const SerialWriteResult &r) {
                           written = r.ok();
                           if (!r.ok())
                               writeError = r.text();
                       }))
        return CommandResult::fail(ExitCode::PortError,
                                   QStringLiteral("%1: the port is not open").arg(what));
    CliSession::Wait wait = session.waitFor([&] { return written || !writeError.isEmpty(); }, 3000);
    if (wait != CliSession::Wait::Done)
        return CliCommand::waitFailure(int(wait), session, 3000);
    if (!writeError.isEmpty())
        return CommandResult::fail(ExitCode::PortError,
                                   QStringLiteral("%1 not sent: %2").arg(what, writeError));
    // As the main window's port restart: the unit gets time to switch, then the port follows.
    wait = session.waitFor([] { return false; }, PortRestart::DelayMs);
    if (wait != CliSession::Wait::TimedOut)
        return CliCommand::waitFailure(int(wait), session, PortRestart::DelayMs);
    session.link().stopQueries();
    QString error;
    if (!session.link().reopen(baud, &error))
        return CommandResult::fail(ExitCode::PortError, error.simplified());
    session.parser().reset();
    session.parser().setLineBaudRate(baud);
    CommandResult failure;
    if (!CliCommand::identify(session, &failure)) {
        if (failure.code == ExitCode::NoAnswer)
            failure.error = QStringLiteral("%1: the unit did not answer at the new rate (%2)")
                                .arg(what, failure.error);
        return failure;
    }
    return CommandResult::ok();
}

} // namespace

CommandResult runSet(const QStringList &arguments, CliOutput &io)
{
    QCommandLineParser parser;
    CliCommand::setUp(
        parser,
        QStringLiteral(
            "arv-cli set --port PORT [--baud BAUD] [--contents LIST] [--rate HZ] [--mode NAME]\n"
            "            [--unit-baud BAUD]\n\n"
            "Configures the unit and exits 0 only when the unit confirmed every setting. The "
            "settings are sent in the order contents, rate, mode, unit baud rate; the first "
            "that fails ends the run. What the unit offers depends on its model and suffix, as "
            "in the configuration dialogs.\n\nContents: a mask (0x0CC0) or names joined by "
            "commas: ") +
            CliCommand::contentNames());
    parser.addOption({"contents", "The output contents: a mask or names (see above).", "LIST"});
    parser.addOption({"rate", "The output rate in Hz (the unit's frequency list).", "HZ"});
    parser.addOption(
        {"mode", "The algorithm mode: AHRS, VRU, IMU, GeneralPos or Automotive.", "NAME"});
    parser.addOption({"unit-baud",
                      "The unit's baud rate; the port follows it, and the unit must answer "
                      "there.",
                      "BAUD"});
    CommandResult result;
    QString port, error;
    int baud = 0;
    if (!CliCommand::parse(parser, arguments, io, &result, &port, &baud))
        return result;
    Request request;
    if (!readRequest(parser, &request, &error))
        return CommandResult::fail(ExitCode::BadArguments, error);

    CliSession session(io.stop);
    if (!session.open(port, baud, &error))
        return CommandResult::fail(ExitCode::PortError, error);
    if (!CliCommand::identify(session, &result))
        return result;
    const UnitIdentity id = session.identity();
    if (!checkAgainstUnit(request, id, &error))
        return CommandResult::fail(ExitCode::BadArguments, error);

    CommandSender sender(&session.link());
    SettingSender settings(&sender);
    if (request.contents) {
        const QString what =
            QStringLiteral("contents 0x%1").arg(*request.contents, 4, 16, QLatin1Char('0'));
        result = sendAnswered(session, settings, Setting::Contents,
                              CommandFrame::setContents(*request.contents),
                              AnswerEvent::Type::Contents, what);
        if (result.code != ExitCode::Success)
            return result;
        io.out << what << ": confirmed\n";
    }
    if (request.rateHz) {
        const QString what = QStringLiteral("output rate %1 Hz").arg(*request.rateHz);
        result = sendAnswered(session, settings, Setting::Frequency,
                              CommandFrame::setFrequency(*request.rateHz, id.model, id.suffix),
                              AnswerEvent::Type::FrequencySet, what);
        if (result.code != ExitCode::Success)
            return result;
        io.out << what << ": confirmed\n";
    }
    if (request.mode) {
        const ProductRules::Mode mode = ProductRules::Mode(*request.mode);
        const QString what =
            QStringLiteral("algorithm mode %1").arg(QLatin1String(ProductRules::modeText(mode)));
        const QByteArray frame = CommandFrame::setAlgorithmMode(ProductRules::modeCode(mode));
        result = sendAnswered(session, settings, Setting::AlgorithmMode, frame,
                              AnswerEvent::Type::AlgorithmSet, what);
        if (result.code != ExitCode::Success)
            return result;
        io.out << what << ": confirmed\n";
    }
    if (request.unitBaud) {
        result = sendUnitBaud(session, settings, *request.unitBaud);
        if (result.code != ExitCode::Success)
            return result;
        io.out << QStringLiteral("baud rate %1: the unit answers at the new rate\n")
                      .arg(*request.unitBaud);
    }
    io.out.flush();
    return CommandResult::ok();
}
