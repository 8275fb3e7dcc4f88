#include "protocol/ItemKind.h"
#include "record/RecordColumnFormat.h"
#include "record/RecordLayout.h"
#include "record/RecordNaming.h"
#include "record/RecordUtcConverter.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

void setTimeZone(const char *tz)
{
    qputenv("TZ", tz);
    tzset();
}

// The conversion as QDateTime does it for a whole text: the reference.
QString qtLocalText(const QString &digits)
{
    QString t = digits;
    t.insert(14, QLatin1Char('.')).insert(12, QLatin1Char(':')).insert(10, QLatin1Char(':'));
    t.insert(8, QLatin1Char(' ')).insert(6, QLatin1Char('-')).insert(4, QLatin1Char('-'));
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
    // Date and time apart: read whole, the text would be taken as local time first and be
    // lost in the hour that summer time skips.
    const QDate date = QDate::fromString(t.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(t.mid(11), QStringLiteral("HH:mm:ss.zzz"));
    if (digits.size() != 17 || !date.isValid() || !time.isValid())
        return QString();
    return QDateTime(date, time, Qt::UTC).toLocalTime().toString(format);
}

std::vector<std::uint8_t> everyKind()
{
    std::vector<std::uint8_t> ids;
    for (const ItemKind &k : ItemKind::all())
        ids.push_back(k.id);
    return ids;
}

QString row(const RecordLayout &layout, std::uint32_t tid, const std::vector<double> &values,
            const QString &utcDigits = QString())
{
    RecordUtcConverter utc;
    std::vector<char> buffer(std::size_t(layout.maxRowBytes()));
    char *end = layout.writeRow(buffer.data(), tid, values.data(), utcDigits, utc);
    return QString::fromLatin1(buffer.data(), int(end - buffer.data()));
}

} // namespace

class TestRecordFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { setTimeZone("Asia/Shanghai"); }

    // Every kind of column in both languages: chosen by its name, trailing blank included.
    void columnText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const auto add = [](const char *name, double v, const char *text) {
            QTest::addRow("%s %s", name, text) << QString::fromUtf8(name) << v << text;
        };
        add("TID", 17, "   17");
        add("TID", 65535, "65535");
        add("Temperature(°C)", 125, "125.00");
        add("温度(°C)", -5.5, "-5.50");
        add("温度(°C)", 25, "25.00");
        add("X Acceleration", 0.012345, "  0.012345");
        add("Z轴角速度", -0.004, " -0.004000");
        add("四元数q3", -2147.483648, "-2147.483648");
        add("Northward velocity", 1.5, "  1.500000");
        add("Latitude", 31.1234567, "31.1234567");
        add("经度", -1e-7, "-0.0000001");
        add("Altitude", -1, "    -1.000");
        add("海拔", 8848.86, "  8848.860");
        add("Latitude ", 31.1234567891, "31.1234567891");
        add("纬度 ", 1.0, "1.0000000000");
        add("Longitude ", -121.5, "-121.5000000000");
        add("海拔 ", 0.001, "     0.001");
        add("Altitude ", 12.3456, "    12.346");
        add("Sampling timestamp ", 4294967295.0, "4294967295");
        add("采样时间戳 ", 7, "         7");
        // Counters above 999,999 and state numbers stay whole numbers.
        add("Synchronization timestamp ", 4000000, "   4000000");
        add("同步时间戳 ", 4294967295.0, "4294967295");
        add("Combined state ", 44, "        44");
        add("组合状态 ", 51, "        51");
        // Without the blank, "Sampling timestamp" would be an ordinary column.
        add("Sampling timestamp", 3, "  3.000000");
        add("Pitch", 1e9, "1000000000.000000");
    }
    void columnText()
    {
        QFETCH(QString, name);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(RecordColumnFormat::forName(name).text(value), text);
    }

    void utcColumnWritesNoValue()
    {
        const RecordColumnFormat utc = RecordColumnFormat::forName(QStringLiteral("UTC"));
        QCOMPARE(utc.kind(), RecordColumnFormat::Kind::Utc);
        QCOMPARE(utc.text(20240105090307005.0), QString());
    }

    void headerLines()
    {
        const std::vector<std::uint8_t> ids = {ItemId::Temperature, ItemId::Acceleration};
        QCOMPARE(RecordLayout(ids.data(), 2, false).headerLine(),
                 QByteArray("  TID, Temperature(°C), X Acceleration, Y Acceleration, "
                            "Z Acceleration, \n"));
        QCOMPARE(QString::fromUtf8(RecordLayout(ids.data(), 2, true).headerLine()),
                 QStringLiteral("  TID, 温度(°C), X轴加速度, Y轴加速度, Z轴加速度, \n"));
        const std::uint8_t euler = ItemId::Euler;
        QCOMPARE(QString::fromUtf8(RecordLayout(&euler, 1, true).headerLine()),
                 QStringLiteral("  TID,   俯仰角,   横滚角,   航向角, \n"));
        // Every kind: TID and every column name of the item table, in frame order.
        const std::vector<std::uint8_t> all = everyKind();
        for (bool chinese : {true, false}) {
            const RecordLayout layout(all.data(), int(all.size()), chinese);
            QStringList expected{QStringLiteral("TID")};
            for (const ItemKind &k : ItemKind::all()) {
                for (int c = 0; c < k.valueCount; ++c)
                    expected << k.column(c, chinese);
            }
            QCOMPARE(layout.names(), expected);
            QCOMPARE(layout.valueCount(), 33);
            QCOMPARE(QString::fromUtf8(layout.headerLine()).count(QStringLiteral(", ")), 34);
        }
        // Unknown IDs bring no column.
        const std::vector<std::uint8_t> unknown = {0x99, ItemId::Temperature};
        QCOMPARE(RecordLayout(unknown.data(), 2, false).valueCount(), 1);
    }

    void rows()
    {
        const std::vector<std::uint8_t> example = {ItemId::Temperature, ItemId::Acceleration};
        QCOMPARE(row(RecordLayout(example.data(), 2, false), 17, {25, 0.012345, -0.004, 9.80665}),
                 QStringLiteral("   17, 25.00,   0.012345,  -0.004000,   9.806650, \n"));

        // Every kind, UTC in local time (Shanghai, UTC+8).
        const std::vector<std::uint8_t> all = everyKind();
        const RecordLayout layout(all.data(), int(all.size()), true);
        const std::vector<double> values = {
            -5.5, // temperature
            0.000001,
            -0.000001,
            9.793600, // acceleration
            -2147.483648,
            0,
            1.5, // angular velocity
            0.1,
            0.2,
            0.3, // magnetic field
            -50.001,
            0,
            49.999, // magnetic strength
            1.25,
            -2.5,
            359.999999, // Euler
            1,
            0,
            0,
            -0.000001,           // quaternion
            20240105090307005.0, // UTC (the number; the text is used)
            4294967295.0,        // sampling timestamp
            1234567,             // synchronisation timestamp
            31.1234567,
            121.4737021,
            -1, // location
            31.1234567891,
            121.4737021234,
            4.321, // high-precision location
            0.5,
            -0.25,
            0.125, // velocity
            44};   // fusion state
        QCOMPARE(int(values.size()), layout.valueCount());
        // Compared field by field, so that a difference names its column.
        const QString expected =
            QStringLiteral("65535, -5.50,   0.000001,  -0.000001,   9.793600, -2147.483648, "
                           "  0.000000,   1.500000,   0.100000,   0.200000,   0.300000, "
                           "-50.001000,   0.000000,  49.999000,   1.250000,  -2.500000, "
                           "359.999999,   1.000000,   0.000000,   0.000000,  -0.000001, "
                           "2024-01-05 17:03:07.005, 4294967295,    1234567, 31.1234567, "
                           "121.4737021,     -1.000, 31.1234567891, 121.4737021234, "
                           "     4.321,   0.500000,  -0.250000,   0.125000,         44, \n");
        const QString actual = row(layout, 65535, values, QStringLiteral("20240105090307005"));
        QCOMPARE(actual.split(QStringLiteral(", ")), expected.split(QStringLiteral(", ")));
        // No UTC text, or an unreadable one: the field is empty, the row is written.
        const std::uint8_t utcOnly = ItemId::Utc;
        const RecordLayout utc(&utcOnly, 1, false);
        QCOMPARE(row(utc, 3, {0}), QStringLiteral("    3, , \n"));
        QCOMPARE(row(utc, 3, {0}, QStringLiteral("20241305090307005")),
                 QStringLiteral("    3, , \n"));
    }

    void utcToLocalTime_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("local");
        const auto add = [](const char *tz, const char *digits, const char *local) {
            QTest::addRow("%s %s", tz, digits) << QByteArray(tz) << digits << local;
        };
        add("Asia/Shanghai", "20240105090307005", "2024-01-05 17:03:07.005");
        add("Asia/Shanghai", "20241231235959999", "2025-01-01 07:59:59.999");
        add("America/New_York", "20240301030000000", "2024-02-29 22:00:00.000");
        // Both ends of summer time, a millisecond apart.
        add("Europe/Berlin", "20240331005959999", "2024-03-31 01:59:59.999");
        add("Europe/Berlin", "20240331010000000", "2024-03-31 03:00:00.000");
        add("Europe/Berlin", "20241027005959999", "2024-10-27 02:59:59.999");
        add("Europe/Berlin", "20241027010000000", "2024-10-27 02:00:00.000");
        add("Asia/Kolkata", "20240105000000000", "2024-01-05 05:30:00.000");
        add("UTC", "99981231235959999", "9998-12-31 23:59:59.999");
        // Through QDateTime as a whole: years outside 1900-9998.
        add("Asia/Shanghai", "18500101120000000", "");
        add("Asia/Shanghai", "99991231200000000", "");
        // Unreadable: empty.
        for (const char *bad :
             {"", "2024010509030700", "202401050903070051", "2024010509030700x",
              "2024-105090307005", "20241305090307005", "20230229000000000", "00000101000000000",
              "20240105240000000", "20240105096000000", "20240105095960000", "20240100090307005"})
            add("Asia/Shanghai", bad, "");
    }
    void utcToLocalTime()
    {
        QFETCH(QByteArray, tz);
        QFETCH(QString, digits);
        QFETCH(QString, local);
        setTimeZone(tz.constData());
        RecordUtcConverter converter;
        const QString expected = local.isEmpty() ? qtLocalText(digits) : local;
        QCOMPARE(converter.toLocalText(digits), expected);
        QCOMPARE(qtLocalText(digits), expected);
        setTimeZone("Asia/Shanghai");
    }

    // The cached offset must follow the zone through its changes: random instants over
    // decades against QDateTime, in zones with summer time on both hemispheres.
    void utcMatchesQDateTime()
    {
        QRandomGenerator random(7);
        for (const char *tz : {"Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe"}) {
            setTimeZone(tz);
            RecordUtcConverter converter; // one converter: the cache is used across rows
            qint64 ms = QDateTime(QDate(1975, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
            for (int i = 0; i < 4000; ++i) {
                ms += qint64(random.bounded(1, 20 * 86400)) * 1000 + random.bounded(1000);
                const QString digits = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
                                           .toString(QStringLiteral("yyyyMMddHHmmsszzz"));
                QCOMPARE(converter.toLocalText(digits), qtLocalText(digits));
            }
        }
        setTimeZone("Asia/Shanghai");
    }

    void uniqueNames()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        QCOMPARE(initialRecordBaseName(QDate(2024, 1, 5)), QStringLiteral("ARV20240105_001"));
        QCOMPARE(recordFilePath(folder, QStringLiteral("ARV20240105_001")),
                 folder + QStringLiteral("//ARV20240105_001.csv"));
        const auto touch = [&](const char *base) {
            QFile f(recordFilePath(folder, QString::fromLatin1(base)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        const auto unique = [&](const char *base) {
            QString name = QString::fromLatin1(base);
            makeUniqueRecordName(folder, name);
            return name;
        };
        QCOMPARE(unique("ARV20240105_001"), QStringLiteral("ARV20240105_001"));
        touch("ARV20240105_001");
        QCOMPARE(unique("ARV20240105_001"), QStringLiteral("ARV20240105_002"));
        touch("ARV20240105_002");
        QCOMPARE(unique("ARV20240105_001"), QStringLiteral("ARV20240105_003"));
        touch("ARV20240105_999");
        QCOMPARE(unique("ARV20240105_999"), QStringLiteral("ARV20240105_1000"));
        touch("ARVabc");
        QCOMPARE(unique("ARVabc"), QStringLiteral("ARV001"));
        // Another folder counts on its own files.
        QTemporaryDir other;
        QString name = QStringLiteral("ARV20240105_002");
        makeUniqueRecordName(other.path(), name);
        QCOMPARE(name, QStringLiteral("ARV20240105_002"));
    }

    void folderCheck()
    {
        QTemporaryDir dir;
        QString reason;
        QVERIFY(canWriteRecordFolder(dir.path(), &reason));
        QVERIFY(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
        for (const QString &bad :
             {dir.path() + QStringLiteral("/missing"), QStringLiteral("/sys")}) {
            reason.clear();
            QVERIFY2(!canWriteRecordFolder(bad, &reason), qPrintable(bad));
            QVERIFY2(!reason.isEmpty(), qPrintable(bad));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordFormat)
#include "tst_recordformat.moc"
