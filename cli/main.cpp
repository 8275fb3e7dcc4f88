// arv-cli: the unit from the command line (README, "Command line"). A thin layer over the
// libraries the main window uses: no windows, no widget library.

#include "cli/CliCommand.h"
#include "cli/FlashCommand.h"
#include "cli/InfoCommand.h"
#include "cli/RecordCommand.h"
#include "cli/SetCommand.h"
#include "cli/StopSignals.h"
#include "common/Language.h"

#include "BuildIdentity.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

using Runner = CommandResult (*)(const QStringList &, CliOutput &);

struct SubCommand
{
    const char *name;
    Runner run;
    const char *summary;
};

constexpr SubCommand subCommands[] = {
    {"info", runInfo, "the unit's serial number, version, model, rate, mode and contents"},
    {"record", runRecord, "record the unit's frames into a record file"},
    {"set", runSet, "set output contents, rate, algorithm mode or baud rate, confirmed"},
    {"flash", runFlash, "update the unit's firmware from an image file"},
};

QString usage()
{
    QString text = QStringLiteral("Usage: arv-cli COMMAND --port PORT [options]\n\n"
                                  "Commands:\n");
    for (const SubCommand &c : subCommands)
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(c.name), -8).arg(c.summary);
    text += QStringLiteral(
        "\n'arv-cli COMMAND --help' describes a command. PORT \"ARV-SIM\" is the simulated "
        "unit built into the program.\n\nExit status: 0 success, 2 bad arguments, 3 port "
        "cannot be opened or went away, 4 no answer from the unit, 5 the unit refused, 6 file "
        "cannot be read or written, 130 interrupted.\n");
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("arv-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ARV_VERSION_TEXT));
    // The libraries' debug lines are for the developer: standard error carries the command's
    // own lines only, unless QT_LOGGING_RULES asks for more.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("arv*.debug=false\narv*.info=false"));
    // Every line of arv-cli is English; a record file's column names follow --english alone.
    Language::setChinese(false);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    const QString name = args.size() > 1 ? args.at(1) : QString();
    if (name.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        (name.isEmpty() ? err : out) << usage();
        return name.isEmpty() ? exitStatus(ExitCode::BadArguments) : 0;
    }
    if (name == QLatin1String("--version")) {
        out << "arv-cli " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    for (const SubCommand &c : subCommands) {
        if (name != QLatin1String(c.name))
            continue;
        StopSignals stop;
        CliOutput io{out, err, ::isatty(STDERR_FILENO) == 1, &stop};
        // The parser sees "arv-cli info --port ..." as one program name and its options.
        QStringList rest = args.mid(2);
        rest.prepend(QStringLiteral("arv-cli ") + name);
        const CommandResult result = c.run(rest, io);
        out.flush();
        if (result.code != ExitCode::Success)
            err << "arv-cli " << name << ": " << result.error << '\n';
        err.flush();
        return exitStatus(result.code);
    }
    err << "arv-cli: unknown command '" << name << "' (info, record, set, flash; see --help)\n";
    return exitStatus(ExitCode::BadArguments);
}
