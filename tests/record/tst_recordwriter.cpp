#include "common/Language.h"
#include "protocol/ItemKind.h"
#include "record/RecordNaming.h"
#include "record/RecordWriter.h"
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

using Ids = std::vector<std::uint8_t>;
const Ids shortSet = {ItemId::Temperature, ItemId::Acceleration, ItemId::AngularVelocity};
const Ids gnssSet = {ItemId::Utc, ItemId::Location, ItemId::FusionState};

// A frame of these items; every value of item i is i + 0.5.
struct TestFrame
{
    Ids ids;
    std::vector<double> values;
    QString utc = QStringLiteral("20240105090307005");
    RecordFrame frame;

    TestFrame(const Ids &itemIds, std::uint32_t tid) : ids(itemIds)
    {
        for (std::size_t i = 0; i < ids.size(); ++i)
            values.insert(values.end(), ItemKind::find(ids[i])->valueCount, double(i) + 0.5);
        frame = {ids.data(), int(ids.size()), tid, values.data(), int(values.size()), utc};
    }
};

bool write(RecordWriter &w, const Ids &ids, std::uint32_t tid)
{
    return w.writeFrame(TestFrame(ids, tid).frame);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file holds the header of `ids` and then rows with the TIDs first, first + 1, ...,
// each with as many fields as the header.
void verifyFile(const QString &path, const Ids &ids, bool chinese, int first, int rows)
{
    const QStringList lines = QString::fromUtf8(fileBytes(path)).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), rows + 2); // and the empty piece after the last line feed
    QVERIFY(lines.last().isEmpty());
    const RecordLayout layout(ids.data(), int(ids.size()), chinese);
    QCOMPARE(lines[0] + QLatin1Char('\n'), QString::fromUtf8(layout.headerLine()));
    for (int r = 0; r < rows; ++r) {
        const QStringList fields = lines[r + 1].split(QStringLiteral(", "));
        QCOMPARE(fields.size(), layout.names().size() + 1);
        QCOMPARE(fields[0].trimmed().toInt(), first + r);
    }
}

struct EventLog
{
    std::vector<RecordEvent> events;
    explicit EventLog(RecordWriter &w)
    {
        w.setEventHandler([this](const RecordEvent &e) { events.push_back(e); });
    }
};

} // namespace

class TestRecordWriter : public QObject
{
    Q_OBJECT
private slots:
    // The first frames' rows follow the header. Frames with different item sets: each row
    // under its own header, the recording going on in the next free name.
    void rowsAndItemSetChanges()
    {
        QTemporaryDir dir;
        RecordWriter w;
        EventLog log(w);
        w.begin(dir.path(), QStringLiteral("ARV20240105_001"), true);
        std::uint32_t tid = 0;
        for (const Ids &set : {shortSet, shortSet, gnssSet, gnssSet, gnssSet, shortSet})
            QVERIFY(write(w, set, tid++));
        // A value count that does not fit the items is refused, and changes no file.
        TestFrame bad(gnssSet, 99);
        bad.frame.valueCount -= 1;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not recorded"));
        QVERIFY(!w.writeFrame(bad.frame));
        w.end();
        QVERIFY(!write(w, shortSet, tid));

        const auto path = [&](const char *n) {
            return recordFilePath(dir.path(), QStringLiteral("ARV20240105_") + QLatin1String(n));
        };
        verifyFile(path("001"), shortSet, true, 0, 2);
        verifyFile(path("002"), gnssSet, true, 2, 3);
        verifyFile(path("003"), shortSet, true, 5, 1);
        QCOMPARE(int(log.events.size()), 2);
        QCOMPARE(log.events[0].path, path("002"));
        QCOMPARE(log.events[1].path, path("003"));
        QCOMPARE(w.baseName(), QStringLiteral("ARV20240105_003"));
        QCOMPARE(w.rowsWritten(), quint64(6));
    }

    // A missing folder: told once with the reason; rows held; when the folder appears,
    // told once more and nothing is missing.
    void unwritableFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/later");
        RecordWriter w;
        EventLog log(w);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open"));
        w.begin(folder, QStringLiteral("ARV_001"), false);
        for (std::uint32_t tid = 0; tid < 50; ++tid) {
            QVERIFY(write(w, shortSet, tid));
            w.flush();
        }
        QCOMPARE(int(log.events.size()), 1);
        QCOMPARE(log.events[0].type, RecordEvent::Type::OpenFailed);
        QCOMPARE(log.events[0].path, recordFilePath(folder, QStringLiteral("ARV_001")));
        QCOMPARE(log.events[0].reason, QStringLiteral("No such file or directory"));
        QVERIFY(w.isFailing() && !w.headerWritten());
        QVERIFY(QDir().mkpath(folder));
        w.flush();
        QCOMPARE(int(log.events.size()), 2);
        QCOMPARE(log.events[1].type, RecordEvent::Type::Resumed);
        w.end();
        verifyFile(w.filePath(), shortSet, false, 0, 50);
    }

    // A device that takes nothing: told once; rows beyond the hold limit dropped, counted.
    void fullDevice()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::link("/dev/full", recordFilePath(dir.path(), QStringLiteral("ARV_001"))));
        RecordWriter w;
        EventLog log(w);
        w.setBufferLimits(1024, 8192);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("rows not written"));
        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        for (std::uint32_t tid = 0; tid < 500; ++tid) {
            write(w, shortSet, tid);
            if (tid % 10 == 0)
                w.flush();
        }
        w.end();
        QCOMPARE(int(log.events.size()), 1);
        QCOMPARE(log.events[0].type, RecordEvent::Type::WriteFailed);
        QVERIFY(log.events[0].reason.contains(QStringLiteral("space")));
        QCOMPARE(w.rowsLost(), quint64(500));
    }

    // The disk fills up in the middle of a row: the file is cut back to whole rows, earlier
    // rows stay, and once there is room again the held rows follow without a gap.
    void diskFullKeepsEarlierRows()
    {
        QTemporaryDir dir;
        RecordWriter w;
        EventLog log(w);
        w.setBufferLimits(512, 1 << 20);
        w.begin(dir.path(), QStringLiteral("ARV_001"), false);
        std::uint32_t tid = 0;
        for (; tid < 40; ++tid)
            write(w, shortSet, tid);
        w.flush();
        const qint64 before = QFileInfo(w.filePath()).size();

        // A file size limit stands in for the full disk (EFBIG instead of ENOSPC).
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit tight = old;
        tight.rlim_cur = rlim_t(before + 700); // not on a row boundary
        QVERIFY(setrlimit(RLIMIT_FSIZE, &tight) == 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        for (; tid < 100; ++tid)
            write(w, shortSet, tid);
        w.flush();
        QVERIFY(setrlimit(RLIMIT_FSIZE, &old) == 0);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(int(log.events.size()), 1);
        QVERIFY(w.isFailing());
        const int rowsKept = int(fileBytes(w.filePath()).count('\n')) - 1;
        QVERIFY(rowsKept >= 40);
        verifyFile(w.filePath(), shortSet, false, 0, rowsKept);
        w.flush();
        QCOMPARE(log.events.back().type, RecordEvent::Type::Resumed);
        w.end();
        verifyFile(w.filePath(), shortSet, false, 0, 100);
    }

    // UTF-8 without a byte-order mark, whatever the locale's codec.
    void utf8UnderAnyLocale()
    {
        QTextCodec *old = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO 8859-1"));
        QTemporaryDir dir;
        RecordWriter w;
        w.begin(dir.path(), QStringLiteral("ARV_001"), true);
        write(w, shortSet, 1);
        w.end();
        QTextCodec::setCodecForLocale(old);
        QVERIFY(fileBytes(w.filePath()).startsWith(u8"  TID, 温度(°C), X轴加速度"));
    }

    // The documents folder, when it is the record folder, is made if missing; another folder
    // is not (it may be a disk that is not mounted).
    void missingDocumentsFolderIsMade()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        RecordingController rec;
        const QString documents = home.path() + QStringLiteral("/Documents");
        QCOMPARE(rec.recordDir(), documents);
        QVERIFY(!QFileInfo::exists(documents) && rec.start());
        QVERIFY(QFileInfo(documents).isDir());
        rec.stop();
        rec.setRecordDir(home.path() + QStringLiteral("/elsewhere"));
        QVERIFY(rec.start());
        QVERIFY(!QFileInfo::exists(rec.recordDir()));
        rec.stop();
        qputenv("HOME", oldHome);
    }

    // The life cycle the main window drives.
    void controller()
    {
        QTemporaryDir dir;
        Language::setChinese(false);
        RecordingController rec;
        QVERIFY(rec.recordBaseName().endsWith(QStringLiteral("_001")));
        rec.setRecordDir(dir.path());
        QSignalSpy messages(&rec, &RecordingController::message);
        QSignalSpy writing(&rec, &RecordingController::writingChanged);
        const auto frame = [](const Ids &ids, std::uint32_t tid) { return TestFrame(ids, tid); };

        QVERIFY(!rec.writeFrame(frame(shortSet, 0).frame));
        QVERIFY(rec.start() && !rec.start());
        QVERIFY(rec.recordingStarted() && rec.recordFileBusy() && rec.recordingActive());
        const QString first = rec.recordFilePath();
        QCOMPARE(messages.takeFirst().at(0).toString(), "File has been saved to " + first);
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d$")
                    .match(rec.elapsedText())
                    .hasMatch());
        rec.stop();
        QVERIFY(!rec.recordingStarted() && !rec.recordFileBusy() && !rec.recordingActive());
        QVERIFY(!QFile::exists(first)); // no frame, no file

        QVERIFY(rec.start());
        QCOMPARE(rec.recordFilePath(), first);
        QVERIFY(rec.writeFrame(frame(shortSet, 0).frame));
        QVERIFY(rec.recordHeaderWritten());
        QVERIFY(rec.writeFrame(frame(gnssSet, 1).frame)); // the unit's contents changed
        const QString second = rec.recordFilePath();
        QCOMPARE(messages.last().at(0).toString(), "File has been saved to " + second);
        rec.stop();
        verifyFile(first, shortSet, false, 0, 1);
        verifyFile(second, gnssSet, false, 1, 1);
        QVERIFY(rec.start());
        QVERIFY(rec.recordFilePath().endsWith(QStringLiteral("_003.csv")));
        rec.stop();

        // A folder that cannot be written: one message with path and reason, the status text
        // says so; one more message when writing starts.
        messages.clear();
        rec.setRecordDir(dir.path() + QStringLiteral("/later"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open"));
        QVERIFY(rec.start());
        for (std::uint32_t tid = 0; tid < 5; ++tid) {
            rec.writeFrame(frame(shortSet, tid).frame);
            rec.flush();
        }
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[1].at(0).toString().contains(rec.recordFilePath() +
                                                      ": No such file or directory"));
        QCOMPARE(writing.takeFirst().at(0).toBool(), false);
        Language::setChinese(true);
        QVERIFY(rec.statusText().contains(QStringLiteral("未写入")));
        QVERIFY(QDir().mkpath(rec.recordDir()));
        rec.flush();
        QCOMPARE(writing.takeFirst().at(0).toBool(), true);
        QCOMPARE(rec.statusText(), QStringLiteral("Recording"));
        QVERIFY(messages[2].at(0).toString().contains(rec.recordFilePath()));
        rec.stop();
        verifyFile(rec.recordFilePath(), shortSet, false, 0, 5);
    }
};

QTEST_GUILESS_MAIN(TestRecordWriter)
#include "tst_recordwriter.moc"
