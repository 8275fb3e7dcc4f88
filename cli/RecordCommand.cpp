#include "cli/RecordCommand.h"

#include "cli/CliSession.h"
#include "common/Language.h"
#include "record/RecordNaming.h"
#include "record/RecordingController.h"
#include "serial/SerialLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <cmath>

namespace {

constexpr int FlushIntervalMs = 100; // as the main window's tick
constexpr int StatusIntervalMs = 1000;

struct Target
{
    QString folder;
    QString baseName; // empty: the next free ARV<date>_NNN name
};

bool chooseTarget(const QCommandLineParser &parser, Target *target, CommandResult *failure)
{
    const bool hasOut = parser.isSet(QStringLiteral("out"));
    const bool hasDir = parser.isSet(QStringLiteral("dir"));
    if (hasOut && hasDir) {
        *failure = CommandResult::fail(ExitCode::BadArguments,
                                       QStringLiteral("give either --out or --dir, not both"));
        return false;
    }
    if (hasOut) {
        const QFileInfo file(parser.value(QStringLiteral("out")));
        if (file.suffix() != QLatin1String("csv") || file.completeBaseName().isEmpty()) {
            *failure = CommandResult::fail(
                ExitCode::BadArguments,
                QStringLiteral("--out %1: a record file name ends in .csv").arg(file.filePath()));
            return false;
        }
        if (file.exists()) {
            *failure = CommandResult::fail(
                ExitCode::FileError,
                QStringLiteral("%1 exists; arv-cli neither overwrites nor appends to a record "
                               "file")
                    .arg(file.filePath()));
            return false;
        }
        target->folder = file.absolutePath();
        target->baseName = file.completeBaseName();
    } else {
        target->folder =
            QFileInfo(hasDir ? parser.value(QStringLiteral("dir")) : QStringLiteral("."))
                .absoluteFilePath();
        QDir().mkpath(target->folder);
    }
    QString reason;
    if (!canWriteRecordFolder(target->folder, &reason)) {
        *failure = CommandResult::fail(
            ExitCode::FileError,
            QStringLiteral("cannot write into %1: %2").arg(target->folder, reason));
        return false;
    }
    return true;
}

QString figures(const LinkStatistics &s, quint64 rows, const HandOverStatistics &h)
{
    QString text = QStringLiteral("%1 frames, %2 rows, %3 TID gaps (%4 frames missing), %5 "
                                  "checksum failures, %6 bytes discarded")
                       .arg(s.frames)
                       .arg(rows)
                       .arg(s.tidGaps)
                       .arg(s.framesLost)
                       .arg(s.checksumFailures)
                       .arg(s.bytesDiscarded);
    // Only when this program fell so far behind that its reading thread had to drop bytes.
    if (h.overflowBytes > 0)
        text += QStringLiteral(", %1 bytes dropped unread").arg(h.overflowBytes);
    return text;
}

} // namespace

CommandResult runRecord(const QStringList &arguments, CliOutput &io)
{
    QCommandLineParser parser;
    CliCommand::setUp(
        parser,
        QStringLiteral(
            "arv-cli record --port PORT [--baud BAUD] [--out FILE.csv | --dir DIR]\n"
            "               [--duration SECONDS] [--english]\n\n"
            "Records every frame of the unit into a record file, as the main window does, until "
            "--duration has passed or SIGINT (Ctrl+C) or SIGTERM comes; the file is then "
            "complete and closed. Without --out the file is named ARV<date>_NNN.csv, the next "
            "free number in --dir (default: the current folder)."));
    parser.addOption(
        {"out", "Record into exactly this file (must end in .csv, must not exist).", "FILE"});
    parser.addOption({"dir", "Record into the next free ARV<date>_NNN.csv of this folder.", "DIR"});
    parser.addOption({"duration", "Stop after this many seconds.", "SECONDS"});
    parser.addOption({"english", "English column names (default: Chinese, as the main window)."});
    CommandResult result;
    QString port, error;
    int baud = 0;
    if (!CliCommand::parse(parser, arguments, io, &result, &port, &baud))
        return result;
    qint64 durationMs = -1;
    if (parser.isSet(QStringLiteral("duration"))) {
        bool ok = false;
        const double s = parser.value(QStringLiteral("duration")).toDouble(&ok);
        if (!ok || !(s > 0) || !std::isfinite(s) || s > 1e7)
            return CommandResult::fail(
                ExitCode::BadArguments,
                QStringLiteral("--duration wants a positive number of seconds, not '%1'")
                    .arg(parser.value(QStringLiteral("duration"))));
        durationMs = qint64(std::llround(s * 1000));
    }
    Target target;
    if (!chooseTarget(parser, &target, &result))
        return result;
    CliSession session(io.stop);
    if (!session.open(port, baud, &error))
        return CommandResult::fail(ExitCode::PortError, error);

    RecordingController recording;
    recording.setRecordDir(target.folder);
    if (!target.baseName.isEmpty())
        recording.setRecordBaseName(target.baseName);
    // Failures of the file, its roll-over to a new file when the unit's item set changes: as
    // they happen. The start and stop lines give way to the summary.
    QObject::connect(&recording, &RecordingController::message, &recording,
                     [&](const QString &text) {
                         if (!recording.recordingStarted() ||
                             text.startsWith(QLatin1String("File has been saved to ")))
                             return;
                         io.progress << "arv-cli record: " << text << '\n';
                         io.progress.flush();
                     });
    QString firstFile;
    QObject::connect(&recording, &RecordingController::recordFileChanged, &recording,
                     [&](const QString &path) {
                         if (firstFile.isEmpty()) {
                             firstFile = path;
                             return;
                         }
                         io.progress << "arv-cli record: the unit's contents changed; "
                                        "recording goes on in "
                                     << QDir::cleanPath(path) << '\n';
                         io.progress.flush();
                     });
    session.setRecording(true);
    // The column names are taken in the language current at the start, as the main window's
    // are, and kept for the whole recording; every line of arv-cli stays English.
    Language::setChinese(!parser.isSet(QStringLiteral("english")));
    recording.start();
    Language::setChinese(false);
    QObject::connect(&session, &CliSession::passDone, &recording,
                     [&] { recording.writePass(session.parser()); });

    QTimer flushTimer;
    QObject::connect(&flushTimer, &QTimer::timeout, &recording, [&] { recording.flush(); });
    flushTimer.start(FlushIntervalMs);
    QElapsedTimer clock;
    clock.start();
    QTimer statusTimer;
    if (io.progressIsTerminal) {
        QObject::connect(&statusTimer, &QTimer::timeout, &recording, [&] {
            const LinkStatistics &s = session.parser().statistics();
            io.progress << QStringLiteral("\r%1 s  %2 frames  %3 TID gaps  %4 checksum failures"
                                          "  %5 bytes discarded ")
                               .arg(clock.elapsed() / 1000)
                               .arg(s.frames)
                               .arg(s.tidGaps)
                               .arg(s.checksumFailures)
                               .arg(s.bytesDiscarded);
            io.progress.flush();
        });
        statusTimer.start(StatusIntervalMs);
    }

    const CliSession::Wait end = session.waitFor([] { return false; }, int(durationMs));
    const qint64 elapsedMs = clock.elapsed();
    statusTimer.stop();
    if (io.progressIsTerminal) {
        io.progress << '\n';
        io.progress.flush();
    }
    session.link().stopQueries();
    recording.stop();
    const LinkStatistics stats = session.parser().statistics();
    const HandOverStatistics handOver = session.link().handOverStatistics();
    session.close();

    const RecordWriter &writer = recording.writer();
    if (writer.rowsWritten() > 0 || writer.rowsLost() > 0)
        io.out << QStringLiteral("%1: %2 in %3 s\n")
                      .arg(QDir::toNativeSeparators(QDir::cleanPath(recording.recordFilePath())),
                           figures(stats, writer.rowsWritten(), handOver))
                      .arg(elapsedMs / 1000.0, 0, 'f', 1);
    io.out.flush();

    if (end == CliSession::Wait::PortLost)
        return CommandResult::fail(ExitCode::PortError,
                                   session.portLostText() + QStringLiteral("; recording ended"));
    if (writer.rowsLost() > 0)
        return CommandResult::fail(ExitCode::FileError,
                                   QStringLiteral("%1 rows could not be written to %2")
                                       .arg(writer.rowsLost())
                                       .arg(recording.recordFilePath()));
    if (stats.frames == 0)
        return CommandResult::fail(ExitCode::NoAnswer,
                                   session.silenceDiagnosis(int(elapsedMs)) +
                                       QStringLiteral("; no record file was written"));
    if (end == CliSession::Wait::Interrupted && durationMs >= 0)
        return CommandResult::fail(ExitCode::Interrupted,
                                   QStringLiteral("interrupted after %1 s; the file is complete")
                                       .arg(elapsedMs / 1000.0, 0, 'f', 1));
    return CommandResult::ok();
}
