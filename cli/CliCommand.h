#pragma once

#include "cli/ExitCode.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cstdint>

class CliSession;
class StopSignals;

// How a sub-command ended: its exit code and, unless it succeeded, the one line for standard
// error.
struct CommandResult
{
    ExitCode code = ExitCode::Success;
    QString error;

    static CommandResult ok() { return {}; }
    static CommandResult fail(ExitCode code, const QString &error) { return {code, error}; }
};

// Where a sub-command writes: its results (standard output) and its progress lines
// (standard error, redrawn in place only when that is a terminal).
struct CliOutput
{
    QTextStream &out;
    QTextStream &progress;
    bool progressIsTerminal = false;
    StopSignals *stop = nullptr;
};

// What every sub-command shares: the port options, --help, and the checks of values.
namespace CliCommand {

constexpr int DefaultBaud = 460800; // the main window's default
// How long a unit may take to answer the four identification queries.
constexpr int IdentifyTimeoutMs = 3000;

// A parser with --help and --port/--baud; description: the sub-command's synopsis and text.
void setUp(QCommandLineParser &parser, const QString &description);

// Parses arguments (the first is the program and sub-command, as "arv-cli info") and reads
// --port and --baud. Returns false with *result set when the run ends here: --help printed
// (success), or bad arguments: a parse error, a positional argument where the sub-command
// takes none (takesPositionals false), no port, a baud rate that is no positive number.
bool parse(QCommandLineParser &parser, const QStringList &arguments, CliOutput &io,
           CommandResult *result, QString *port, int *baud, bool takesPositionals = false);

// A baud rate the unit has a code for (the output settings' list).
bool isUnitBaud(int baud);

// A content mask from "0x0CC0", "0CC0" or names joined by commas ("acc,gyro,temperature";
// see contentNames()). False with *error for an unknown name or a bit that is no content.
bool parseContents(const QString &text, std::uint16_t *mask, QString *error);
// The names parseContents() takes, with their mask bits, for --help.
QString contentNames();

// An algorithm mode by name ("AHRS", "VRU", "IMU", "GeneralPos", "Automotive"; any case, a
// blank or dash allowed in "General Pos"): its index in ProductRules::Mode, or -1.
int parseMode(const QString &text);

// The result for a wait that did not end in Done: Interrupted, PortError or NoAnswer (with the
// session's diagnosis of what came in waitedMs).
CommandResult waitFailure(int wait, const CliSession &session, int waitedMs);

// Sends the identification queries (again whenever they gave up) until the unit answered all
// four, at most IdentifyTimeoutMs. False with *failure set when it did not.
bool identify(CliSession &session, CommandResult *failure);

} // namespace CliCommand
