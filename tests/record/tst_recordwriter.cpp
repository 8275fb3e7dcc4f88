#include "RecordTestSupport.h"

#include "app/Language.h"
#include "record/RecordNaming.h"
#include "record/RecordingController.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const std::vector<std::uint8_t> shortSet = {ItemId::Temperature, ItemId::Acceleration,
                                            ItemId::AngularVelocity};
const std::vector<std::uint8_t> gnssSet = {ItemId::Utc, ItemId::Location, ItemId::FusionState};

struct EventLog
{
    std::vector<RecordEvent> events;
    void attach(RecordWriter &w)
    {
        w.setEventHandler([this](const RecordEvent &e) { events.push_back(e); });
    }
    int count(RecordEvent::Type t) const
    {
        int n = 0;
        for (const RecordEvent &e : events)
            n += e.type == t;
        return n;
    }
};

// Every row has as many fields as the header, and the TIDs are `first`, first + 1, ...
void verifyRows(const QString &path, const QStringList &header, int first, int rows)
{
    const QStringList lines = fileLines(path);
    QCOMPARE(lines.size(), rows + 1);
    QCOMPARE(lineFields(lines[0]).size(), header.size());
    for (int r = 0; r < rows; ++r) {
        const QStringList fields = lineFields(lines[r + 1]);
        QCOMPARE(fields.size(), header.size());
        QCOMPARE(fields[0].trimmed().toInt(), first + r);
    }
}

QStringList headerOf(const std::vector<std::uint8_t> &ids, bool chinese)
{
    return RecordLayout(ids.data(), int(ids.size()), chinese).names();
}

} // namespace

class TestRecordWriter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", "Asia/Shanghai");
        tzset();
    }

    // The header and the first frame's row both arrive; a recording without frames leaves
    // no file.
    void firstFramesAreWritten()
    {
        QTemporaryDir dir;
        RecordWriter w;
        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        w.end();
        QVERIFY(!QFile::exists(recordFilePath(dir.path(), QStringLiteral("ARV_001"))));

        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        QVERIFY(!w.headerWritten());
        for (std::uint32_t tid = 0; tid < 3; ++tid)
            QVERIFY(w.writeFrame(TestFrame(gnssSet, tid).frame()));
        QVERIFY(w.headerWritten());
        w.flush();
        const QString path = w.filePath();
        QCOMPARE(fileLines(path),
                 QStringList({QStringLiteral("  TID,   UTC, Latitude, Longitude, Altitude, "
                                             "Combined state , "),
                              QStringLiteral("    0, 2024-01-05 17:03:07.005,  1.5000000,  "
                                             "1.5000000,      1.500,          2, "),
                              QStringLiteral("    1, 2024-01-05 17:03:07.005,  1.5000000,  "
                                             "1.5000000,      1.500,          2, "),
                              QStringLiteral("    2, 2024-01-05 17:03:07.005,  1.5000000,  "
                                             "1.5000000,      1.500,          2, ")}));
        QVERIFY(w.writeFrame(TestFrame(gnssSet, 3).frame()));
        w.end();
        QCOMPARE(fileLines(path).size(), 5);
        QCOMPARE(w.rowsWritten(), quint64(4));
        QVERIFY(!w.writeFrame(TestFrame(gnssSet, 4).frame()));
    }

    // Frames of one pass with different item sets: one file per set, each row under its own
    // header, and the recording continues in the next free name.
    void itemSetChangeRollsOver()
    {
        QTemporaryDir dir;
        RecordWriter w;
        EventLog log;
        log.attach(w);
        w.begin(dir.path(), QStringLiteral("ARV20240105_001"), true);
        int tid = 0;
        for (const auto &set : {shortSet, shortSet, gnssSet, gnssSet, gnssSet, shortSet})
            QVERIFY(w.writeFrame(TestFrame(set, std::uint32_t(tid++)).frame()));
        w.end();
        const auto path = [&](const char *n) {
            return recordFilePath(dir.path(), QStringLiteral("ARV20240105_") + QLatin1String(n));
        };
        verifyRows(path("001"), headerOf(shortSet, true), 0, 2);
        verifyRows(path("002"), headerOf(gnssSet, true), 2, 3);
        verifyRows(path("003"), headerOf(shortSet, true), 5, 1);
        QCOMPARE(fileLines(path("002")).first(),
                 QStringLiteral("  TID,   UTC,    纬度,    经度,    海拔, 组合状态 , "));
        QCOMPARE(int(log.events.size()), 2);
        QCOMPARE(log.events[0].path, path("002"));
        QCOMPARE(log.events[1].path, path("003"));
        QCOMPARE(w.filePath(), path("003"));
        QCOMPARE(w.baseName(), QStringLiteral("ARV20240105_003"));
    }

    // A value count that does not fit the items is refused without disturbing the file.
    void mismatchedValuesAreRefused()
    {
        QTemporaryDir dir;
        RecordWriter w;
        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        TestFrame bad(shortSet, 0);
        bad.values.pop_back();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not recorded"));
        QVERIFY(!w.writeFrame(bad.frame()));
        QVERIFY(!w.headerWritten());
        QVERIFY(w.writeFrame(TestFrame(shortSet, 1).frame()));
        QVERIFY(!w.writeFrame(bad.frame()));
        w.end();
        verifyRows(w.filePath(), headerOf(shortSet, false), 1, 1);
    }

    // The folder cannot be written: told once with the reason, rows held; when it can be
    // written again, told once more and nothing is missing.
    void unwritableFolder_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::newRow("missing folder") << true;
        QTest::newRow("no permission") << false;
    }
    void unwritableFolder()
    {
        QFETCH(bool, missing);
        QTemporaryDir dir;
        const QString folder =
            missing ? dir.path() + QStringLiteral("/later") : QStringLiteral("/sys");
        RecordWriter w;
        EventLog log;
        log.attach(w);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open"));
        w.begin(folder, QStringLiteral("ARV_001"), false);
        for (std::uint32_t tid = 0; tid < 50; ++tid) {
            QVERIFY(w.writeFrame(TestFrame(shortSet, tid).frame()));
            w.flush();
        }
        QCOMPARE(int(log.events.size()), 1);
        QCOMPARE(log.events[0].type, RecordEvent::Type::OpenFailed);
        QCOMPARE(log.events[0].path, recordFilePath(folder, QStringLiteral("ARV_001")));
        QVERIFY(!log.events[0].reason.isEmpty());
        QVERIFY(w.isFailing());
        QVERIFY(!w.headerWritten());
        if (!missing) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("rows not written"));
            w.end();
            QCOMPARE(w.rowsLost(), quint64(50));
            return;
        }
        QVERIFY(QDir().mkpath(folder));
        w.flush();
        QCOMPARE(int(log.events.size()), 2);
        QCOMPARE(log.events[1].type, RecordEvent::Type::Resumed);
        QCOMPARE(log.events[1].rowsLost, quint64(0));
        QVERIFY(!w.isFailing());
        w.end();
        verifyRows(w.filePath(), headerOf(shortSet, false), 0, 50);
    }

    // A device that takes nothing (/dev/full): told once, rows beyond the hold limit
    // dropped and counted, no crash.
    void fullDevice()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::link(QStringLiteral("/dev/full"),
                            recordFilePath(dir.path(), QStringLiteral("ARV_001"))));
        RecordWriter w;
        EventLog log;
        log.attach(w);
        w.setBufferLimits(1024, 8192);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("rows not written"));
        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        for (std::uint32_t tid = 0; tid < 500; ++tid) {
            w.writeFrame(TestFrame(shortSet, tid).frame());
            if (tid % 10 == 0)
                w.flush();
        }
        w.end();
        QCOMPARE(int(log.events.size()), 1);
        QCOMPARE(log.events[0].type, RecordEvent::Type::WriteFailed);
        QVERIFY(log.events[0].reason.contains(QStringLiteral("space")));
        QCOMPARE(w.rowsWritten(), quint64(0));
        QCOMPARE(w.rowsLost(), quint64(500));
    }

    // The disk fills up in the middle of a row: the file is cut back to whole rows, earlier
    // rows stay, and once there is room again the held rows follow without a gap.
    void diskFullKeepsEarlierRows()
    {
        QTemporaryDir dir;
        RecordWriter w;
        EventLog log;
        log.attach(w);
        w.setBufferLimits(512, 1 << 20);
        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        std::uint32_t tid = 0;
        for (; tid < 40; ++tid)
            w.writeFrame(TestFrame(shortSet, tid).frame());
        w.flush();
        const QString path = w.filePath();
        const qint64 before = QFileInfo(path).size();

        // A file size limit stands in for the full disk (EFBIG instead of ENOSPC).
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit tight = old;
        tight.rlim_cur = rlim_t(before + 700); // not on a row boundary
        QVERIFY(setrlimit(RLIMIT_FSIZE, &tight) == 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        for (; tid < 100; ++tid)
            w.writeFrame(TestFrame(shortSet, tid).frame());
        w.flush();
        QVERIFY(setrlimit(RLIMIT_FSIZE, &old) == 0);
        std::signal(SIGXFSZ, previous);

        QCOMPARE(log.count(RecordEvent::Type::WriteFailed), 1);
        QVERIFY(w.isFailing());
        const QByteArray cut = fileBytes(path);
        QVERIFY(cut.endsWith('\n'));
        QVERIFY(cut.size() >= before);
        verifyRows(path, headerOf(shortSet, false), 0, cut.count('\n') - 1);

        w.flush();
        QCOMPARE(log.count(RecordEvent::Type::Resumed), 1);
        w.end();
        verifyRows(path, headerOf(shortSet, false), 0, 100);
        QCOMPARE(w.rowsLost(), quint64(0));
    }

    // Chinese names are UTF-8 without a byte-order mark, whatever the locale's codec.
    void utf8UnderAnyLocale()
    {
        QTextCodec *old = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO 8859-1"));
        QTemporaryDir dir;
        RecordWriter w;
        w.begin(dir.path(), QStringLiteral("ARV_001"), true);
        w.writeFrame(TestFrame(shortSet, 1).frame());
        w.end();
        QTextCodec::setCodecForLocale(old);
        const QByteArray bytes = fileBytes(w.filePath());
        QVERIFY(bytes.startsWith("  TID, "));
        QVERIFY(bytes.contains(QStringLiteral("温度(°C), X轴加速度").toUtf8()));
        QVERIFY(!bytes.contains('?'));
    }

    // The life cycle the main window drives.
    void controller()
    {
        QTemporaryDir dir;
        Language::setChinese(false);
        RecordingController rec;
        QVERIFY(rec.recordBaseName().startsWith(QStringLiteral("ARV")));
        QVERIFY(rec.recordBaseName().endsWith(QStringLiteral("_001")));
        rec.setRecordDir(dir.path());
        QSignalSpy messages(&rec, &RecordingController::message);
        QSignalSpy writing(&rec, &RecordingController::writingChanged);
        QSignalSpy files(&rec, &RecordingController::recordFileChanged);

        QVERIFY(!rec.writeFrame(TestFrame(shortSet, 0).frame()));
        QVERIFY(rec.start());
        QVERIFY(!rec.start());
        QVERIFY(rec.recordingStarted() && rec.recordFileBusy() && rec.recordingActive());
        const QString first = rec.recordFilePath();
        QCOMPARE(messages.takeFirst().at(0).toString(),
                 QStringLiteral("File has been saved to ") + first);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d$"))
                    .match(rec.elapsedText())
                    .hasMatch());
        QCOMPARE(rec.statusText(), QStringLiteral("Recording"));
        rec.stop();
        QVERIFY(!rec.recordingStarted() && !rec.recordFileBusy() && !rec.recordingActive());
        QVERIFY(!QFile::exists(first)); // no frame, no file

        // With frames: the file is complete at stop; the next recording takes the next name.
        QVERIFY(rec.start());
        QCOMPARE(rec.recordFilePath(), first);
        for (std::uint32_t tid = 0; tid < 3; ++tid)
            QVERIFY(rec.writeFrame(TestFrame(shortSet, tid).frame()));
        QVERIFY(rec.recordHeaderWritten());
        // The unit's contents change: the recording goes on in the next file.
        QVERIFY(rec.writeFrame(TestFrame(gnssSet, 3).frame()));
        const QString second = rec.recordFilePath();
        QVERIFY(second.endsWith(QStringLiteral("_002.csv")));
        QCOMPARE(files.last().at(0).toString(), second);
        rec.stop();
        verifyRows(first, headerOf(shortSet, false), 0, 3);
        verifyRows(second, headerOf(gnssSet, false), 3, 1);
        QVERIFY(rec.start());
        QVERIFY(rec.recordFilePath().endsWith(QStringLiteral("_003.csv")));
        rec.stop();
        QCOMPARE(messages.size(), 3);
        QCOMPARE(messages[1].at(0).toString(), QStringLiteral("File has been saved to ") + second);
        QCOMPARE(writing.size(), 0);

        // A folder that cannot be written: one message with path and reason, the status text
        // says so, and a second message when writing starts.
        messages.clear();
        const QString later = dir.path() + QStringLiteral("/later");
        rec.setRecordDir(later);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open"));
        QVERIFY(rec.start());
        for (std::uint32_t tid = 0; tid < 5; ++tid) {
            rec.writeFrame(TestFrame(shortSet, tid).frame());
            rec.flush();
        }
        QCOMPARE(messages.size(), 2);
        const QString failure = messages[1].at(0).toString();
        QVERIFY(failure.contains(rec.recordFilePath()));
        QVERIFY(failure.contains(QStringLiteral("No such file or directory")));
        QVERIFY(!rec.isWriting());
        QCOMPARE(writing.takeFirst().at(0).toBool(), false);
        QVERIFY(rec.statusText() != QStringLiteral("Recording"));
        Language::setChinese(true);
        QVERIFY(rec.statusText().contains(QStringLiteral("未写入")));
        QVERIFY(QDir().mkpath(later));
        rec.flush();
        QCOMPARE(writing.takeFirst().at(0).toBool(), true);
        QCOMPARE(messages.size(), 3);
        QVERIFY(messages[2].at(0).toString().contains(rec.recordFilePath()));
        rec.stop();
        verifyRows(rec.recordFilePath(), headerOf(shortSet, false), 0, 5);

        // The column language is the one current at start.
        QVERIFY(rec.start());
        rec.writeFrame(TestFrame(shortSet, 0).frame());
        Language::setChinese(false);
        rec.stop();
        QVERIFY(fileLines(rec.recordFilePath()).first().contains(QStringLiteral("X轴加速度")));
    }
};

QTEST_GUILESS_MAIN(TestRecordWriter)
#include "tst_recordwriter.moc"
