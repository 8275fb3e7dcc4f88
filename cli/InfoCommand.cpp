#include "cli/InfoCommand.h"

#include "cli/CliSession.h"
#include "protocol/ItemLayout.h"
#include "serial/SerialLink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// How long to wait for an output frame once the unit has answered: its contents. A unit that
// sends nothing (contents switched off, a slow rate) is reported without them.
constexpr int FrameWaitMs = 1000;

} // namespace

CommandResult runInfo(const QStringList &arguments, CliOutput &io)
{
    QCommandLineParser parser;
    CliCommand::setUp(parser,
                      QStringLiteral("arv-cli info --port PORT [--baud BAUD] [--json]\n\n"
                                     "Asks the unit who it is and how it is set: serial number, "
                                     "version, model, suffix, output rate, algorithm mode and "
                                     "output contents."));
    parser.addOption({"json", "Print one JSON object instead of text."});
    CommandResult result;
    QString port, error;
    int baud = 0;
    if (!CliCommand::parse(parser, arguments, io, &result, &port, &baud))
        return result;

    CliSession session(io.stop);
    if (!session.open(port, baud, &error))
        return CommandResult::fail(ExitCode::PortError, error);
    if (!CliCommand::identify(session, &result))
        return result;
    const CliSession::Wait framed =
        session.waitFor([&] { return session.parser().lastLayout() != nullptr; }, FrameWaitMs);
    if (framed == CliSession::Wait::Interrupted || framed == CliSession::Wait::PortLost)
        return CliCommand::waitFailure(int(framed), session, FrameWaitMs);

    const UnitIdentity &id = session.identity();
    const ItemLayout *layout = session.parser().lastLayout();
    const QStringList contents = layout ? layout->groupNames(false) : QStringList();
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject o;
        o[QStringLiteral("port")] = port;
        o[QStringLiteral("baud")] = baud;
        o[QStringLiteral("serialNumber")] = id.productId;
        o[QStringLiteral("version")] = id.version;
        o[QStringLiteral("model")] = id.model.trimmed();
        o[QStringLiteral("suffix")] = id.suffix;
        o[QStringLiteral("outputRateHz")] = id.rateHz;
        o[QStringLiteral("algorithmMode")] = id.modeText;
        o[QStringLiteral("algorithmCode")] = id.modeCode;
        o[QStringLiteral("outputContents")] = QJsonArray::fromStringList(contents);
        io.out << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
    } else {
        auto line = [&](const char *label, const QString &value) {
            io.out << QStringLiteral("%1 %2\n").arg(QLatin1String(label), -16).arg(value);
        };
        line("Port:", QStringLiteral("%1 at %2 baud").arg(port).arg(baud));
        line("Serial number:", id.productId);
        line("Version:", id.version);
        line("Model:", id.model.trimmed());
        line("Suffix:", id.suffix);
        line("Output rate:", id.rateText);
        line("Algorithm mode:", id.modeText);
        line("Output contents:",
             layout ? contents.join(QStringLiteral(", ")) : QStringLiteral("(no frame in 1 s)"));
    }
    io.out.flush();
    return CommandResult::ok();
}
