// arv-cli against arv-unit-sim, both as separate processes on a pseudo-terminal: what a
// script sees (exit codes, standard output, one error line) and what lands in the files.

#include "common/Language.h"
#include "protocol/FrameParser.h"
#include "record/RecordLayout.h"
#include "record/RecordNaming.h"
#include "record/RecordUtcConverter.h"
#include "sim/FirmwareImage.h"
#include "sim/UnitCore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Exit codes as the README documents them.
constexpr int BadArguments = 2, PortError = 3, NoAnswer = 4, Refused = 5, FileError = 6;

// arv-unit-sim with the given options; the device it prints first. Ended with the test.
class Sim
{
public:
    explicit Sim(const QStringList &options)
    {
        m_process.setProgram(QStringLiteral(ARV_SIM_PATH));
        m_process.setArguments(options);
        m_process.start();
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Sim()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    QString device() const { return m_device; }

private:
    QProcess m_process;
    QString m_device;
};

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &arguments, int timeoutMs = 30000)
{
    QProcess p;
    p.start(QStringLiteral(ARV_CLI_PATH), arguments);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The item IDs the simulated unit sends for this content mask, as the parser reads them.
std::string itemIdsFor(std::uint16_t mask)
{
    UnitConfig config;
    config.contentMask = mask;
    UnitCore unit(config);
    FrameParser parser;
    parser.feed(unit.buildOutput(0.0, 0));
    return parser.lastLayout() ? parser.lastLayout()->ids() : std::string();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The lines of standard error that are the command's own error line.
int errorLines(const QString &err, const QString &command)
{
    return int(err.count(
        QRegularExpression("^arv-cli " + command + ": ", QRegularExpression::MultilineOption)));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Rows of a record file after its header line; the last line must end in a line feed.
QList<QByteArray> rowsOf(const QByteArray &file, QByteArray *header)
{
    QList<QByteArray> lines = file.split('\n');
    if (lines.isEmpty() || !lines.last().isEmpty())
        return {}; // a cut last row: the file is not complete
    lines.removeLast();
    *header = lines.isEmpty() ? QByteArray() : lines.takeFirst() + '\n';
    return lines;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(QStringLiteral(ARV_CLI_PATH)));
        QVERIFY(m_dir.isValid());
    }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("no command") << QStringList() << BadArguments << "Usage";
        QTest::newRow("unknown command") << QStringList{"fly"} << BadArguments << "unknown";
        QTest::newRow("no port") << QStringList{"info"} << BadArguments << "--port";
        QTest::newRow("unknown option")
            << QStringList{"info", "--port", "x", "--fast"} << BadArguments << "fast";
        QTest::newRow("bad baud") << QStringList{"info", "-p", "x", "-b", "fast"} << BadArguments
                                  << "--baud";
        QTest::newRow("nothing to set")
            << QStringList{"set", "-p", "x"} << BadArguments << "nothing to set";
        QTest::newRow("unknown content")
            << QStringList{"set", "-p", "x", "--contents", "acc,smell"} << BadArguments << "smell";
        QTest::newRow("content bit")
            << QStringList{"set", "-p", "x", "--contents", "0x0100"} << BadArguments << "0x8CFF";
        QTest::newRow("unknown mode")
            << QStringList{"set", "-p", "x", "--mode", "warp"} << BadArguments << "warp";
        QTest::newRow("unit baud")
            << QStringList{"set", "-p", "x", "--unit-baud", "12345"} << BadArguments << "12345";
        QTest::newRow("record both targets")
            << QStringList{"record", "-p", "x", "--out", "a.csv", "--dir", "."} << BadArguments
            << "either";
        QTest::newRow("record not csv")
            << QStringList{"record", "-p", "x", "--out", "a.txt"} << BadArguments << ".csv";
        QTest::newRow("record duration")
            << QStringList{"record", "-p", "x", "--duration", "-1"} << BadArguments << "--duration";
        QTest::newRow("flash without image")
            << QStringList{"flash", "-p", "x"} << BadArguments << "image";
        QTest::newRow("flash unreadable image")
            << QStringList{"flash", "-p", "x", "/nonexistent/a.bin"} << FileError << "a.bin";
        QTest::newRow("no such port")
            << QStringList{"info", "-p", "/dev/nonexistent-arv"} << PortError << "nonexistent";
    }
    // Every failure: its documented code and one line on standard error that says why.
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Run r = cli(arguments);
        QCOMPARE(r.code, code);
        if (code != BadArguments || !arguments.isEmpty())
            QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
    }

    void help_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("mentions");
        for (const auto &[command, mentions] : {std::pair{"info", "--json"},
                                                {"record", "--duration"},
                                                {"set", "--unit-baud"},
                                                {"flash", "IMAGE"}})
            QTest::newRow(command) << QString(command) << QString(mentions);
    }
    void help()
    {
        QFETCH(QString, command);
        QFETCH(QString, mentions);
        const Run r = cli({command, QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("arv-cli ") + command + QStringLiteral(" --port")));
        QVERIFY(r.out.contains(mentions));
        QVERIFY(r.err.isEmpty());
    }

    // What the unit says of itself, in text and in JSON; not the defaults of either program.
    void info()
    {
        Sim sim({"--firmware-version", "V3.1.0-20250101-ARV273-U", "--rate", "50", "--mode", "2",
                 "--mask", "04C0"});
        QVERIFY(!sim.device().isEmpty());
        const Run text = cli({"info", "--port", sim.device()});
        QCOMPARE(text.code, 0);
        QVERIFY2(text.err.isEmpty(), qPrintable(text.err));
        for (const char *line :
             {"Serial number:   41 52 56 38 30 36 5a 00 12 34 56 78",
              "Version:         V3.1.0-20250101-ARV273-U", "Model:           ARV273",
              "Suffix:          U", "Output rate:     50 Hz", "Algorithm mode:  VRU",
              "Output contents: Temperature, Acceleration, Angular Velocity"})
            QVERIFY2(text.out.contains(QLatin1String(line)), qPrintable(text.out));

        const Run json = cli({"info", "--port", sim.device(), "--json"});
        QCOMPARE(json.code, 0);
        QCOMPARE(json.out.count(QLatin1Char('\n')), 1);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        const QJsonObject expected{{"serialNumber", "41 52 56 38 30 36 5a 00 12 34 56 78"},
                                   {"version", "V3.1.0-20250101-ARV273-U"},
                                   {"model", "ARV273"},
                                   {"suffix", "U"},
                                   {"outputRateHz", 50},
                                   {"algorithmMode", "VRU"}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(o.value(it.key()), it.value());
        QCOMPARE(o.value("outputContents").toArray().size(), 3);
    }

    // A wrong baud rate: bytes come, no frame forms; the diagnosis says so, and no success.
    void wrongBaud()
    {
        Sim sim({"--baud", "460800"});
        const Run r = cli({"info", "--port", sim.device(), "--baud", "115200"});
        QCOMPARE(r.code, NoAnswer);
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.err.contains(QLatin1String("no valid frames")), qPrintable(r.err));
        QVERIFY(r.err.contains(QLatin1String("--baud")));
        QVERIFY(r.out.isEmpty());
    }

    void record_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("chinese") << true;
        QTest::newRow("english") << false;
    }
    // Five seconds into --dir: the main window's name, header and formats, one row per frame,
    // TIDs consecutive, and the summary agrees with the file.
    void record()
    {
        QFETCH(bool, chinese);
        const std::uint16_t mask = 0x8CFB; // every kind but UTC (its column is local time)
        Sim sim({"--mask", QString::number(mask, 16)});
        const QString dir = m_dir.filePath(chinese ? "zh" : "en");
        QStringList args{"record", "--port", sim.device(), "--dir", dir, "--duration", "5"};
        if (!chinese)
            args << "--english";
        const Run r = cli(args);
        QCOMPARE(r.code, 0);
        const QString name = initialRecordBaseName(QDate::currentDate()) + ".csv";
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{name});

        QByteArray header;
        const QList<QByteArray> rows = rowsOf(readFile(QDir(dir).filePath(name)), &header);
        const std::string ids = itemIdsFor(mask);
        const RecordLayout layout(reinterpret_cast<const std::uint8_t *>(ids.data()),
                                  int(ids.size()), chinese);
        QCOMPARE(header, layout.headerLine());
        QVERIFY2(rows.size() >= 450 && rows.size() <= 520,
                 qPrintable(QString::number(rows.size())));
        // Each row as the writer formats its values: read back and written again, identical.
        std::vector<char> buffer(std::size_t(layout.maxRowBytes()));
        RecordUtcConverter utc;
        std::vector<double> values(std::size_t(layout.valueCount()));
        qint64 previousTid = -1;
        for (const QByteArray &row : rows) {
            const QList<QByteArray> fields = row.split(',');
            QCOMPARE(fields.size(), layout.valueCount() + 2); // and the empty field after ", "
            const qint64 tid = fields[0].trimmed().toLongLong();
            if (previousTid >= 0)
                QCOMPARE(tid, (previousTid + 1) % 65536);
            previousTid = tid;
            for (int i = 0; i < layout.valueCount(); ++i)
                values[std::size_t(i)] = fields[i + 1].trimmed().toDouble();
            const char *end = layout.writeRow(buffer.data(), std::uint32_t(tid), values.data(),
                                              QStringView(), utc);
            QCOMPARE(QByteArray(buffer.data(), int(end - buffer.data())), row + '\n');
        }
        QVERIFY2(r.out.contains(QStringLiteral("%1 frames, %1 rows, 0 TID gaps").arg(rows.size())),
                 qPrintable(r.out));

        // The next recording takes the next free name, as the main window's does.
        const Run again = cli({"record", "--port", sim.device(), "--dir", dir, "--duration", "1"});
        QCOMPARE(again.code, 0);
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 2);
        QVERIFY(again.out.startsWith(QDir(dir).filePath(
            initialRecordBaseName(QDate::currentDate()).chopped(3) + "002.csv")));
    }

    // SIGTERM ends a recording without a duration normally: every row whole, file closed.
    void recordStopsOnSigterm()
    {
        Sim sim({"--rate", "200"});
        const QString path = m_dir.filePath("term.csv");
        QProcess p;
        p.start(QStringLiteral(ARV_CLI_PATH), {"record", "--port", sim.device(), "--out", path});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 20000, 10000);
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QByteArray header;
        const QList<QByteArray> rows = rowsOf(readFile(path), &header);
        QVERIFY(!rows.isEmpty());
        const int columns = header.count(',');
        for (const QByteArray &row : rows)
            QCOMPARE(row.count(','), columns);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral(" %1 rows").arg(rows.size())), qPrintable(out));

        // --out never overwrites.
        const Run again = cli({"record", "--port", sim.device(), "--out", path});
        QCOMPARE(again.code, FileError);
        QCOMPARE(readFile(path).count('\n'), rows.size() + 1);
    }

    // A pulled cable ends the recording: every row up to it is in the file, whole, and the
    // exit says the port went away.
    void recordEndsWhenThePortGoes()
    {
        Sim sim({"--disconnect-after", "1.5"});
        const QString path = m_dir.filePath("cut.csv");
        const Run r = cli({"record", "--port", sim.device(), "--out", path, "--duration", "20"});
        QCOMPARE(r.code, PortError);
        QVERIFY2(r.err.contains(QLatin1String("went away")), qPrintable(r.err));
        QByteArray header;
        const QList<QByteArray> rows = rowsOf(readFile(path), &header);
        QVERIFY(rows.size() > 50);
        QVERIFY(r.out.contains(QStringLiteral(" %1 rows").arg(rows.size())));
    }

    // A signal during a transfer cancels it: the documented code, not success.
    void flashInterrupted()
    {
        Sim sim({"--drop-update-acks", "1"});
        const QString image = m_dir.filePath("wait.bin");
        QVERIFY(writeFile(image, FirmwareImage::make(QStringLiteral("V9"), 4096)));
        QProcess p;
        p.start(QStringLiteral(ARV_CLI_PATH), {"flash", "--port", sim.device(), image});
        QVERIFY(p.waitForStarted());
        // The start frame is out (its progress line is written) and its answer never comes.
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += QString::fromUtf8(p.readAllStandardError())).contains(QLatin1String("0%")),
            10000);
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        err += QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 130);
        QCOMPARE(errorLines(err, "flash"), 1);
    }

    // A confirmed rate: the unit then sends at it.
    void setRate()
    {
        Sim sim({});
        const Run r = cli({"set", "--port", sim.device(), "--rate", "200"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("200 Hz: confirmed")));
        const QString path = m_dir.filePath("rate.csv");
        QCOMPARE(cli({"record", "--port", sim.device(), "--out", path, "--duration", "2"}).code, 0);
        QByteArray header;
        const int rows = rowsOf(readFile(path), &header).size();
        QVERIFY2(rows >= 360 && rows <= 420, qPrintable(QString::number(rows)));
    }

    void setChecks_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("setting");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("contents and mode")
            << QStringList() << QStringList{"--contents", "acc,gyro", "--mode", "VRU"} << 0
            << "algorithm mode VRU: confirmed";
        QTest::newRow("rate the unit lacks")
            << QStringList() << QStringList{"--rate", "1000"} << BadArguments << "not 1000";
        QTest::newRow("rate of its suffix")
            << QStringList{"--suffix", "U", "--model", "ARV273"} << QStringList{"--rate", "2000"}
            << 0 << "2000 Hz: confirmed";
        QTest::newRow("content the suffix lacks")
            << QStringList() << QStringList{"--contents", "fusion"} << BadArguments
            << "cannot output 0x0800";
        QTest::newRow("mode the suffix lacks")
            << QStringList{"--suffix", "V"} << QStringList{"--mode", "AHRS"} << BadArguments
            << "cannot take";
        QTest::newRow("unit drops answers")
            << QStringList{"--drop-answers", "1"} << QStringList{"--rate", "50"} << NoAnswer
            << "did not answer";
        QTest::newRow("unit baud") << QStringList() << QStringList{"--unit-baud", "921600"} << 0
                                   << "answers at the new rate";
    }
    // The dialogs' checks by model and suffix, and a setting counts only when confirmed.
    void setChecks()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, setting);
        QFETCH(int, code);
        QFETCH(QString, says);
        Sim sim(simOptions);
        const Run r = cli(QStringList{"set", "--port", sim.device()} + setting);
        QCOMPARE(r.code, code);
        QVERIFY2((code == 0 ? r.out : r.err).contains(says), qPrintable(r.out + r.err));
    }

    // A good image: exit 0 and the unit then reports its version. A corrupted one: refused by
    // the unit, a non-zero exit, the old version stays.
    void flash()
    {
        Sim sim({"--restart-seconds", "0.3"});
        const QByteArray good =
            FirmwareImage::make(QStringLiteral("V2.9.0-20250601-ARV806 -A"), 8192);
        QByteArray bad = good;
        bad[4000] = char(bad[4000] ^ 0x5A);
        const QString goodPath = m_dir.filePath("good.bin"), badPath = m_dir.filePath("bad.bin");
        QVERIFY(writeFile(goodPath, good) && writeFile(badPath, bad));
        const auto version = [&] {
            const Run r = cli({"info", "--port", sim.device(), "--json"});
            return QJsonDocument::fromJson(r.out.toUtf8()).object().value("version").toString();
        };

        const Run refused = cli({"flash", "--port", sim.device(), badPath});
        QCOMPARE(refused.code, Refused);
        QCOMPARE(errorLines(refused.err, "flash"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(version(), QStringLiteral("V2.8.7-20240105-ARV806 -A"), 10000);

        const Run ok = cli({"flash", "--port", sim.device(), goodPath});
        QCOMPARE(ok.code, 0);
        QVERIFY(ok.err.contains(QLatin1String("100%")));
        QTRY_COMPARE_WITH_TIMEOUT(version(), QStringLiteral("V2.9.0-20250601-ARV806 -A"), 10000);
    }

    // The built-in simulated unit works as a port, as in the main window.
    void builtInSimulatedUnit()
    {
        const Run r = cli({"info", "--port", "ARV-SIM", "--json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("model").toString(),
                 QStringLiteral("ARV806"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
