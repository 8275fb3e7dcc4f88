#include "cli/FlashCommand.h"

#include "cli/CliSession.h"
#include "serial/SerialLink.h"
#include "update/UpdateImage.h"
#include "update/UpdateTransfer.h"

namespace {

ExitCode exitFor(UpdateOutcome::Ending ending)
{
    switch (ending) {
    case UpdateOutcome::Ending::Success:
        return ExitCode::Success;
    case UpdateOutcome::Ending::UnitError:
        return ExitCode::Refused;
    case UpdateOutcome::Ending::TimedOut:
        return ExitCode::NoAnswer;
    case UpdateOutcome::Ending::WriteFailed:
    case UpdateOutcome::Ending::PortLost:
        return ExitCode::PortError;
    case UpdateOutcome::Ending::Cancelled:
        return ExitCode::Interrupted;
    }
    return ExitCode::PortError;
}

} // namespace

CommandResult runFlash(const QStringList &arguments, CliOutput &io)
{
    QCommandLineParser parser;
    CliCommand::setUp(parser, QStringLiteral("arv-cli flash --port PORT [--baud BAUD] IMAGE\n\n"
                                             "Sends a firmware image to the unit with the update "
                                             "dialog's transfer, and exits 0 only when the unit "
                                             "reported success."));
    parser.addPositionalArgument("IMAGE", "The firmware image file (.bin).");
    CommandResult result;
    QString port, error;
    int baud = 0;
    if (!CliCommand::parse(parser, arguments, io, &result, &port, &baud, true))
        return result;
    if (parser.positionalArguments().size() != 1)
        return CommandResult::fail(ExitCode::BadArguments,
                                   QStringLiteral("give exactly one image file"));
    const QString path = parser.positionalArguments().constFirst();
    const UpdateImage::Loaded loaded = UpdateImage::load(path);
    if (loaded.verdict != UpdateImage::Verdict::Ok)
        return CommandResult::fail(ExitCode::FileError,
                                   QStringLiteral("%1: %2").arg(path, loaded.message.simplified()));

    CliSession session(io.stop);
    if (!session.open(port, baud, &error))
        return CommandResult::fail(ExitCode::PortError, error);

    UpdateTransfer transfer;
    SerialLink &link = session.link();
    QObject::connect(&transfer, &UpdateTransfer::frameReady, &transfer,
                     [&](const QByteArray &frame, quint64 ticket) {
                         link.write(
                             frame, &transfer,
                             [&transfer, ticket](const SerialWriteResult &r) {
                                 r.ok() ? transfer.frameWritten(ticket)
                                        : transfer.writeFailed(ticket);
                             },
                             transfer.timeouts().finishMs);
                     });
    QObject::connect(&session, &CliSession::passDone, &transfer, [&] {
        for (const AnswerEvent &e : session.parser().answers())
            if (e.type == AnswerEvent::Type::Update)
                transfer.answerReceived(e.op, e.status);
    });
    int shownPercent = -1;
    QObject::connect(&transfer, &UpdateTransfer::progressChanged, &transfer,
                     [&](const UpdateProgress &p) {
                         if (io.progressIsTerminal) {
                             io.progress << '\r' << p.text() << "   ";
                         } else if (shownPercent < 0 || p.percent / 10 != shownPercent / 10) {
                             io.progress << p.text() << '\n';
                         }
                         shownPercent = p.percent;
                         io.progress.flush();
                     });
    QObject::connect(&transfer, &UpdateTransfer::resending, &transfer, [&](const QString &text) {
        io.progress << (io.progressIsTerminal ? "\n" : "") << text << '\n';
        io.progress.flush();
    });
    bool finished = false;
    UpdateOutcome outcome;
    QObject::connect(&transfer, &UpdateTransfer::finished, &transfer, [&](const UpdateOutcome &o) {
        outcome = o;
        finished = true;
    });

    // As the update dialog: update mode on and both buffers empty before the start.
    session.parser().setUpdateMode(true);
    link.clearBuffers();
    session.parser().clearBuffer();
    if (!transfer.start(loaded.image))
        return CommandResult::fail(ExitCode::FileError,
                                   QStringLiteral("%1: the image cannot be sent").arg(path));
    const CliSession::Wait wait = session.waitFor([&] { return finished; }, -1);
    if (!finished) {
        if (wait == CliSession::Wait::PortLost)
            transfer.portLost();
        else
            transfer.cancel();
    }
    session.parser().setUpdateMode(false);
    link.clearBuffers();
    session.parser().clearBuffer();
    if (io.progressIsTerminal)
        io.progress << '\n';
    io.progress.flush();

    if (outcome.success()) {
        io.out << outcome.summary().simplified() << '\n';
        io.out.flush();
        return CommandResult::ok();
    }
    return CommandResult::fail(exitFor(outcome.ending), outcome.summary().simplified());
}
