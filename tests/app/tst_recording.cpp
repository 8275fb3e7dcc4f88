// Recording end to end: the main window records what a unit sends (the built-in simulated
// unit, or the test playing a unit on a pseudo-terminal), and the test reads the record files.
#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "common/Language.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "record/DlgPreSettings.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"
#include "tests/support/FrameBytes.h"
#include "tests/support/MainWindowKit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

#include <sys/mount.h>

using namespace FrameBytes;

using namespace MainWindowKit;

namespace {

// The texts of the recording labels in the status bar (none while not recording).
QStringList recordingLabels(const MainWindow &w)
{
    QStringList texts;
    // The link figures and light are always there; the recording labels come and go.
    for (const QLabel *label : w.statusBar()->findChildren<QLabel *>())
        if (label != w.ui().statsLabel && label != w.ui().linkStateLabel)
            texts << label->text();
    return texts;
}

bool elapsedShown(const MainWindow &w)
{
    static const QRegularExpression hms(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d$"));
    const QStringList labels = recordingLabels(w);
    return labels.size() == 2 && hms.match(labels[1]).hasMatch() && labels[1] != "00:00:00:000";
}

// Whether this process still has the file open.
bool isOpenHere(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System))
        if (!target.isEmpty() && fd.symLinkTarget() == target)
            return true;
    return false;
}

QString firstRecordPath(const QString &folder)
{
    return folder + "//ARV" + QDate::currentDate().toString("yyyyMMdd") + "_001.csv";
}

QString nextRecordPath(const QString &path, int n)
{
    return path.left(path.size() - 7) + QString::asprintf("%03d.csv", n);
}

// A record file as read back: its header and its rows, split at ", " (every field, the last
// included, is followed by one).
struct RecordFile
{
    bool whole = false; // every line ends in ", " and a line feed
    QStringList header;
    QVector<QStringList> rows;
};

RecordFile readRecord(const QString &path)
{
    RecordFile file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return file;
    const QByteArray bytes = f.readAll();
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    file.whole = bytes.endsWith(", \n") && lines.takeLast().isEmpty();
    for (int i = 0; i < lines.size(); ++i) {
        QStringList fields = lines[i].split(QStringLiteral(", "));
        file.whole = file.whole && fields.takeLast().isEmpty();
        // Right-aligned: the blanks in front are padding; a name's own blank at its end stays.
        for (QString &field : fields) {
            int pad = 0;
            while (pad < field.size() && field[pad] == QLatin1Char(' '))
                ++pad;
            field.remove(0, pad);
        }
        if (i == 0)
            file.header = fields;
        else
            file.rows << fields;
    }
    return file;
}

// One frame as the program decoded it, with its item IDs.
struct Decoded
{
    std::string ids;
    int tid = 0;
    std::vector<double> values;
    QString utc;
};

// Notes every frame of every pass that goes to the record file.
struct PassTap
{
    std::vector<Decoded> frames;
    explicit PassTap(MainWindow &w)
    {
        QObject::connect(&w, &MainWindow::messageReady, &w, [this, &w] {
            if (!w.recordingActive())
                return;
            const FrameParser &p = w.parser();
            for (const PassFrame &f : p.frames()) {
                const double *v = p.values(f);
                frames.push_back({f.layout->ids(), f.tid, std::vector<double>(v, v + f.valueCount),
                                  p.utcDigits(f).toString()});
            }
        });
    }
};

// The row shows the frame: its TID, and each value as decoded within the precision the row
// prints it with; the UTC column in local time.
QString rowMismatch(const QStringList &header, const QStringList &row, const Decoded &frame)
{
    if (row.size() != header.size() || header.size() != 1 + int(frame.values.size()))
        return QStringLiteral("%1 fields under %2 columns").arg(row.size()).arg(header.size());
    if (row[0] != QString::number(frame.tid))
        return "TID " + row[0] + " for " + QString::number(frame.tid);
    for (int c = 1; c < row.size(); ++c) {
        const double value = frame.values[std::size_t(c - 1)];
        const QString &text = row[c];
        if (header[c] == QLatin1String("UTC")) {
            QDateTime utc = QDateTime::fromString(frame.utc, QStringLiteral("yyyyMMddHHmmsszzz"));
            utc.setTimeSpec(Qt::UTC);
            const QString local =
                utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
            if (text != local)
                return "UTC " + text + " for " + frame.utc;
            continue;
        }
        const int point = text.indexOf(QLatin1Char('.'));
        const int decimals = point < 0 ? 0 : int(text.size()) - point - 1;
        bool ok = false;
        const double shown = text.toDouble(&ok);
        if (!ok || std::fabs(shown - value) > 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9))
            return header[c] + ": " + text + " for " + QString::number(value, 'g', 17);
    }
    return QString();
}

// The record folder dialog, when it shows: picks folder in its chooser (unless empty), then
// presses `close`.
void answerFolderDialog(const QString &folder, const QString &close)
{
    QTimer::singleShot(20, [=] {
        auto *dialog = qobject_cast<DlgPreSettings *>(QApplication::activeModalWidget());
        if (!dialog)
            return answerFolderDialog(folder, close);
        if (!folder.isEmpty()) {
            // The chooser is the standard folder dialog, modal over this one.
            QTimer::singleShot(20, [folder] {
                auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                QVERIFY(chooser);
                chooser->setDirectory(folder);
                static_cast<QDialog *>(chooser)->accept(); // as its Choose button does
            });
            for (QPushButton *b : dialog->findChildren<QPushButton *>())
                if (b->text().isEmpty())
                    b->click(); // the folder button: returns when the chooser closed
        }
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            if (b->text() == close)
                b->click();
    });
}

// A unit on a pseudo-terminal played by the test: frames with every item kind.
void sendFrames(PtyPair &pty, MainWindow &w, int firstTid, int count)
{
    const quint64 before = w.parser().statistics().frames;
    QByteArray bytes;
    for (int tid = firstTid; tid < firstTid + count; ++tid)
        bytes += frame(tid, fullPayload(tid));
    QVERIFY(pty.write(bytes));
    QTRY_COMPARE(w.parser().statistics().frames, before + quint64(count));
}

// The built-in simulated unit sending these items at hz.
SimulatedUnit *openUnit(MainWindow &w, std::uint16_t mask, int hz)
{
    UnitConfig config;
    config.contentMask = mask;
    return openSimulatedUnit(w, config, hz);
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Language::setChinese(true); }

    // Ten seconds at 200 Hz with every item kind; halfway the unit changes from the location
    // item to the high-precision one, and the recording goes on in the next file. Every frame
    // received is one row, in its own file, showing what the unit sent.
    void recordsEveryFrameTheUnitSends()
    {
        MainWindow w;
        QTemporaryDir dir;
        w.recorder().setRecordDir(dir.path());
        SimulatedUnit *unit = openUnit(w, ContentMask::All, 200);
        QVERIFY(unit);
        QVERIFY(w.ui().recordAction->isEnabled() && !w.ui().stopRecordAction->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().statistics().frames > 20, 5000);

        PassTap tap(w);
        const UnitCounters unitBefore = unit->counters();
        const quint64 framesBefore = w.parser().statistics().frames;
        w.ui().recordAction->trigger();
        const QString first = firstRecordPath(dir.path());
        QCOMPARE(lastMessage(w), "File has been saved to " + first);
        QVERIFY(!w.ui().recordAction->isEnabled() && w.ui().stopRecordAction->isEnabled());
        QVERIFY(w.recordFileBusy() && w.recordingActive() && w.recordingStarted());
        QCOMPARE(recordingLabels(w), (QStringList{"Recording", "00:00:00"}));

        // What was received is on the disk after every tick.
        QTRY_VERIFY_WITH_TIMEOUT(tap.frames.size() >= 100, 5000);
        w.slotRecordUpdate();
        QCOMPARE(readRecord(first).rows.size(), int(tap.frames.size()));
        QTRY_VERIFY(elapsedShown(w));

        QTRY_VERIFY_WITH_TIMEOUT(tap.frames.size() >= 1000, 15000);
        unit->setPreciseLocation(true);
        QTRY_VERIFY_WITH_TIMEOUT(tap.frames.size() >= 2000, 15000);
        const QString second = nextRecordPath(first, 2);
        QVERIFY(messages(w).contains("File has been saved to " + second));
        w.ui().stopRecordAction->trigger();
        QVERIFY(w.ui().recordAction->isEnabled() && !w.ui().stopRecordAction->isEnabled());
        QVERIFY(!w.recordFileBusy() && !w.recordingActive() && !w.recordingStarted());
        QVERIFY(recordingLabels(w).isEmpty());
        const UnitCounters unitAfter = unit->counters();
        const quint64 received = w.parser().statistics().frames - framesBefore;
        QCOMPARE(quint64(tap.frames.size()), received);
        QCOMPARE(lastMessage(w), QStringLiteral("采样已结束：%1 行写入 2 个文件，最后一个是 %2。")
                                     .arg(received)
                                     .arg(second));

        // One row per frame received, each under the header of its item set.
        const RecordFile files[] = {readRecord(first), readRecord(second)};
        QVERIFY(files[0].whole && files[1].whole);
        QVERIFY(files[0].header.contains("纬度") && !files[0].header.contains("纬度 "));
        QVERIFY(files[1].header.contains("纬度 ") && files[1].header.contains("组合状态 "));
        QCOMPARE(files[0].header.size(), 1 + 33 - 3);
        QCOMPARE(files[0].rows.size() + files[1].rows.size(), int(received));
        std::size_t i = 0;
        quint64 gaps = 0;
        for (const RecordFile &file : files) {
            for (const QStringList &row : file.rows) {
                const Decoded &frame = tap.frames[i];
                const QString why = rowMismatch(file.header, row, frame);
                QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("row %1: ").arg(i) + why));
                if (i > 0)
                    gaps += quint64((frame.tid - tap.frames[i - 1].tid - 1) & 0xFFFF);
                ++i;
            }
        }
        QVERIFY(tap.frames.front().ids.find(char(0x60)) != std::string::npos);
        QVERIFY(tap.frames.back().ids.find(char(0x68)) != std::string::npos);
        // TIDs follow each other but where the unit itself skipped a frame for the line.
        QVERIFY2(gaps <= unitAfter.framesSkipped - unitBefore.framesSkipped,
                 qPrintable(QString::number(gaps)));

        // The next recording takes the next free name.
        w.ui().recordAction->trigger();
        QCOMPARE(lastMessage(w), "File has been saved to " + nextRecordPath(first, 3));
        w.ui().stopRecordAction->trigger();
    }

    // The test plays the unit: a recording without frames leaves no file and uses up no
    // name; the next recording takes the next name; accepting data settings ends a recording
    // so that the port can be restarted; closing the port ends it too.
    void namesAndStopsOnASilentLine()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow w;
        QTemporaryDir dir;
        w.recorder().setRecordDir(dir.path());
        QVERIFY(openOn(w, pty));
        const QString first = firstRecordPath(dir.path());

        w.ui().recordAction->trigger();
        QTRY_VERIFY(elapsedShown(w)); // the ticks go on
        w.ui().stopRecordAction->trigger();
        QVERIFY(!QFileInfo::exists(first));
        QCOMPARE(lastMessage(w), QStringLiteral("采样已结束：没有收到数据，未创建记录文件。"));

        w.ui().recordAction->trigger();
        QCOMPARE(lastMessage(w), "File has been saved to " + first);
        sendFrames(pty, w, 0, 5);
        w.ui().stopRecordAction->trigger();
        const RecordFile file = readRecord(first);
        QCOMPARE(file.rows.size(), 5);
        // Columns of every kind, as the unit sent them (the UTC column in local time).
        const QStringList &row = file.rows[4];
        QCOMPARE(row.size(), 34);
        QCOMPARE(row.mid(0, 3), (QStringList{"4", "25.04", "0.001004"}));
        QCOMPARE(row.mid(22, 7), (QStringList{"4", "8", "31.1234567", "121.1234567", "12.345",
                                              "31.1234567891", "121.1234567891"}));
        QCOMPARE(row.mid(29, 5),
                 (QStringList{"-1.000", "1.000000", "-2.000000", "3.000000", "44"}));

        w.slot_translate_English();
        w.ui().recordAction->trigger();
        const QString second = nextRecordPath(first, 2);
        QCOMPARE(lastMessage(w), "File has been saved to " + second);
        sendFrames(pty, w, 5, 3);
        QVERIFY(w.stopRecordingForDataSettings());
        QVERIFY(!isOpenHere(second));
        QCOMPARE(readRecord(second).rows.size(), 3);
        QCOMPARE(readRecord(second).header.value(1), QStringLiteral("Temperature(°C)"));
        QVERIFY(!w.recordFileBusy() && !w.recordingActive() && !w.recordingStarted());
        QVERIFY(w.ui().recordAction->isEnabled() && !w.ui().stopRecordAction->isEnabled());
        QVERIFY(recordingLabels(w).isEmpty());
        QCOMPARE(lastMessage(w),
                 "The data settings changed; recording stopped: 3 rows written to " + second + ".");
        QVERIFY(!w.stopRecordingForDataSettings());
        w.slot_open_uart(); // the port restarts
        w.slot_open_uart();
        QVERIFY(w.isPortOpen());

        // The user closes the port while recording: the recording ends first.
        w.ui().recordAction->trigger();
        const QString third = nextRecordPath(first, 3);
        sendFrames(pty, w, 8, 2);
        w.slot_open_uart();
        QVERIFY(!w.isPortOpen() && !w.recordFileBusy() && !isOpenHere(third));
        QCOMPARE(readRecord(third).rows.size(), 2);
        QCOMPARE(lastMessage(w),
                 "The port was closed; recording stopped: 2 rows written to " + third + ".");
        QVERIFY(!w.ui().recordAction->isEnabled() && !w.ui().stopRecordAction->isEnabled());
        w.slot_open_uart();
        QVERIFY(w.isPortOpen() && w.ui().recordAction->isEnabled());
    }

    // Both menu entries open the folder dialog; the folder accepted is used from the next
    // recording on (a recording in progress keeps its file) and by the next run.
    void recordFolderFromTheMenus()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir oldDir, newDir, settingsDir;
        // The record folder is kept in the settings: a store of the test's own.
        AppSettings settings(settingsDir.filePath(QStringLiteral("arv.conf")));
        auto w = std::make_unique<MainWindow>();
        w->useSettings(&settings);
        QCOMPARE(w->recorder().recordDir(),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        QVERIFY(w->ui().exportAction->isEnabled() && w->ui().pathSettingAction->isEnabled());
        w->recorder().setRecordDir(oldDir.path());
        QVERIFY(openOn(*w, pty));
        w->ui().recordAction->trigger();
        sendFrames(pty, *w, 0, 2);

        answerFolderDialog(newDir.path(), QStringLiteral("确定"));
        w->ui().exportAction->trigger();
        QCOMPARE(w->recorder().recordDir(), newDir.path());
        sendFrames(pty, *w, 2, 2);
        w->ui().stopRecordAction->trigger();
        QCOMPARE(readRecord(firstRecordPath(oldDir.path())).rows.size(), 4);

        answerFolderDialog(oldDir.path(), QStringLiteral("取消"));
        w->ui().pathSettingAction->trigger();
        QCOMPARE(w->recorder().recordDir(), newDir.path());
        w->ui().recordAction->trigger();
        QCOMPARE(lastMessage(*w), "File has been saved to " + firstRecordPath(newDir.path()));
        w->ui().stopRecordAction->trigger();

        // The next run starts in the chosen folder; once it is gone, in the documents again.
        w.reset();
        const auto nextRun = [&settings] {
            MainWindow next;
            next.useSettings(&settings);
            return next.recorder().recordDir();
        };
        QCOMPARE(nextRun(), newDir.path());
        newDir.remove();
        QCOMPARE(nextRun(), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    }

    // The recording ends without Stop: the cable is pulled (the recording ends through Stop
    // and the port opens again), the main window is closed (confirmed), or it goes without a
    // close. The file holds every frame received, whole, and is closed.
    void recordingEndsWithoutStop_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cable pulled") << "cable";
        QTest::newRow("window closed") << "close";
        QTest::newRow("window destroyed") << "destroy";
    }

    void recordingEndsWithoutStop()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        auto w = std::make_unique<MainWindow>();
        w->recorder().setRecordDir(dir.path());
        QVERIFY(openUnit(*w, ContentMask::All, 200));
        PassTap tap(*w);
        w->ui().recordAction->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(tap.frames.size() >= 100, 5000);
        const QString path = firstRecordPath(dir.path());
        if (how == "cable") {
            w->serialLink()->simulatedUnitHost()->disconnectUnit();
            QTRY_VERIFY_WITH_TIMEOUT(!w->isPortOpen(), MainWindow::LossPollMs);
            QVERIFY(!w->recordFileBusy() && !w->recordingActive() && !w->recordingStarted());
            QVERIFY(!w->ui().recordAction->isEnabled() && !w->ui().stopRecordAction->isEnabled());
            QVERIFY(recordingLabels(*w).isEmpty());
            const QStringList list = messages(*w);
            QCOMPARE(
                list.mid(list.size() - 2),
                (QStringList{"设备未连接", QStringLiteral("设备断开，采样已结束：%1 行已写入 %2。")
                                               .arg(tap.frames.size())
                                               .arg(path)}));
            w->slot_open_uart();
            QVERIFY(w->isPortOpen() && w->ui().recordAction->isEnabled());
        } else {
            if (how == "close") {
                answerNextBox(QMessageBox::Ok);
                QVERIFY(w->close());
                QVERIFY(!w->recordFileBusy());
            }
            w.reset();
        }
        QVERIFY(!isOpenHere(path));
        const RecordFile file = readRecord(path);
        QVERIFY(file.whole);
        QCOMPARE(file.rows.size(), int(tap.frames.size()));
        QCOMPARE(file.rows.last().first(), QString::number(tap.frames.back().tid));
    }

    // A folder in which no file can be made: said once, with the path and the system's
    // reason, and the status bar does not claim "Recording".
    void unwritableFolderIsSaid_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("Chinese") << true;
        QTest::newRow("English") << false;
    }

    void unwritableFolderIsSaid()
    {
        QFETCH(bool, chinese);
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryFile notAFolder;
        QVERIFY(notAFolder.open());
        MainWindow w;
        if (!chinese)
            w.slot_translate_English();
        const QString folder = notAFolder.fileName() + QStringLiteral("/records");
        w.recorder().setRecordDir(folder);
        QVERIFY(openOn(w, pty));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open"));
        w.ui().recordAction->trigger();
        for (int tid = 0; tid < 20; tid += 5) {
            sendFrames(pty, w, tid, 5);
            w.slotRecordUpdate();
        }
        const QString path = firstRecordPath(folder);
        const QStringList said = messages(w).filter(path + (chinese ? "：" : ": "));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains("Not a directory") &&
                     said[0].contains(chinese ? "当前没有数据写入" : "Nothing is being written"),
                 qPrintable(said[0]));
        const QStringList labels = recordingLabels(w);
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels[0], chinese ? QStringLiteral("采样中：未写入任何数据")
                                    : QStringLiteral("Recording: nothing is written"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("rows not written"));
        w.ui().stopRecordAction->trigger();
        QVERIFY(lastMessage(w).contains(chinese ? "有 20 行数据未能写入" : "20 rows of this"));
        QVERIFY(!w.recordFileBusy());
    }

    // The disk fills up while recording (a tiny file system): said once, nothing crashes,
    // the rows written before stay whole and in order.
    void fullDiskKeepsEarlierRows()
    {
        QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("a tiny file system needs the right to mount one (root)");
        struct Unmount
        {
            QByteArray at;
            ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
        } unmount{mountPoint};

        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow w;
        w.recorder().setRecordDir(dir.path());
        QVERIFY(openOn(w, pty));
        w.ui().recordAction->trigger();
        const QString path = firstRecordPath(dir.path());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        int tid = 0;
        for (; tid < 400 && w.recorder().isWriting(); tid += 10) {
            sendFrames(pty, w, tid, 10);
            w.slotRecordUpdate();
        }
        QVERIFY(!w.recorder().isWriting());
        sendFrames(pty, w, tid, 10);
        w.slotRecordUpdate();
        const QStringList said = messages(w).filter(path);
        QCOMPARE(said.size(), 2); // the file's name at the start, and the failure
        QVERIFY2(said[1].contains("No space left on device"), qPrintable(said[1]));
        QVERIFY(recordingLabels(w).value(0) != QLatin1String("Recording"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("rows not written"));
        w.ui().stopRecordAction->trigger();
        QVERIFY(!w.recordFileBusy() && !isOpenHere(path));
        const RecordFile file = readRecord(path);
        QVERIFY(file.whole && file.rows.size() >= 10);
        for (int r = 0; r < file.rows.size(); ++r)
            QCOMPARE(file.rows[r].value(0), QString::number(r));
        QVERIFY(lastMessage(w).contains(QString::number(tid + 10 - file.rows.size())));
    }
};

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
