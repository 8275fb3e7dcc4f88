#include "protocol/ItemKind.h"
#include "record/RecordColumnFormat.h"
#include "record/RecordLayout.h"
#include "record/RecordNaming.h"
#include "record/RecordUtcConverter.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <vector>

namespace {

void setTimeZone(const char *tz)
{
    qputenv("TZ", tz);
    tzset();
}

// QDateTime's local time of valid UTC digits: the reference.
QString qtLocalText(const QString &d)
{
    const QDate date(d.left(4).toInt(), d.mid(4, 2).toInt(), d.mid(6, 2).toInt());
    const QTime time(d.mid(8, 2).toInt(), d.mid(10, 2).toInt(), d.mid(12, 2).toInt(),
                     d.mid(14).toInt());
    return QDateTime(date, time, Qt::UTC)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QStringList rowFields(const RecordLayout &layout, std::uint32_t tid,
                      const std::vector<double> &values, const QString &utcDigits = QString())
{
    RecordUtcConverter utc;
    std::vector<char> buffer(std::size_t(layout.maxRowBytes()));
    char *end = layout.writeRow(buffer.data(), tid, values.data(), utcDigits, utc);
    return QString::fromLatin1(buffer.data(), int(end - buffer.data())).split(QStringLiteral(", "));
}

} // namespace

class TestRecordFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { setTimeZone("Asia/Shanghai"); }

    // Every kind of column in both languages, chosen by its name, trailing blank included.
    void columnText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const auto add = [](const char *name, double v, const char *text) {
            QTest::addRow("%s %s", name, text) << QString::fromUtf8(name) << v << text;
        };
        add("TID", 17, "   17");
        add("Temperature(°C)", 125, "125.00");
        add("温度(°C)", -5.5, "-5.50");
        add("X Acceleration", 0.012345, "  0.012345");
        add("Z轴角速度", -0.004, " -0.004000");
        add("Pitch", -2147.483648, "-2147.483648");
        add("Latitude", 31.1234567, "31.1234567");
        add("经度", -1e-7, "-0.0000001");
        add("Altitude", -1, "    -1.000");
        add("Latitude ", 31.1234567891, "31.1234567891");
        add("经度 ", -121.5, "-121.5000000000");
        add("海拔 ", 12.3456, "    12.346");
        add("Sampling timestamp ", 4294967295.0, "4294967295");
        add("采样时间戳 ", 7, "         7");
        // Counters above 999,999 and state numbers stay whole numbers.
        add("Synchronization timestamp ", 4000000, "   4000000");
        add("同步时间戳 ", 4294967295.0, "4294967295");
        add("Combined state ", 44, "        44");
        add("组合状态 ", 51, "        51");
        add("Sampling timestamp", 3, "  3.000000"); // without its blank: an ordinary column
        add("UTC", 20240105090307005.0, "");        // the row's UTC text, not the number
    }
    void columnText()
    {
        QFETCH(QString, name);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(RecordColumnFormat::forName(name).text(value), text);
    }

    void headerAndRows()
    {
        const std::uint8_t example[] = {ItemId::Temperature, ItemId::Acceleration};
        const RecordLayout english(example, 2, false);
        QCOMPARE(english.headerLine(), QByteArray("  TID, Temperature(°C), X Acceleration, "
                                                  "Y Acceleration, Z Acceleration, \n"));
        QCOMPARE(QString::fromUtf8(RecordLayout(example, 2, true).headerLine()),
                 QStringLiteral("  TID, 温度(°C), X轴加速度, Y轴加速度, Z轴加速度, \n"));
        QCOMPARE(rowFields(english, 17, {25, 0.012345, -0.004, 9.80665}).join(QStringLiteral(", ")),
                 QStringLiteral("   17, 25.00,   0.012345,  -0.004000,   9.806650, \n"));

        // Every kind in table order, UTC in local time (Shanghai, UTC+8).
        std::vector<std::uint8_t> all;
        for (const ItemKind &k : ItemKind::all())
            all.push_back(k.id);
        const RecordLayout layout(all.data(), int(all.size()), true);
        QCOMPARE(layout.names().mid(16, 4),
                 QStringList({"航向角", "四元数q0", "四元数q1", "四元数q2"}));
        QVERIFY(QString::fromUtf8(layout.headerLine()).startsWith("  TID, 温度(°C), X轴加速度"));
        std::vector<double> values;
        for (const QString &v :
             QStringLiteral("-5.5 1e-6 -1e-6 9.7936 -2147.483648 0 1.5 0.1 0.2 0.3 -50.001 0 "
                            "49.999 1.25 -2.5 359.999999 "
                            "1 0 0 -1e-6 20240105090307005.0 4294967295.0 1234567 31.1234567 "
                            "121.4737021 -1 31.1234567891 121.4737021234 4.321 0.5 -0.25 0.125 44")
                 .split(' '))
            values.push_back(v.toDouble());
        QCOMPARE(int(values.size()), layout.valueCount());
        const QString expected =
            "65535, -5.50,   0.000001,  -0.000001,   9.793600, -2147.483648,   0.000000, "
            "  1.500000,   0.100000,   0.200000,   0.300000, -50.001000,   0.000000,  49.999000, "
            "  1.250000,  -2.500000, 359.999999,   1.000000,   0.000000,   0.000000,  -0.000001, "
            "2024-01-05 17:03:07.005, 4294967295,    1234567, 31.1234567, 121.4737021,     -1.000, "
            "31.1234567891, 121.4737021234,      4.321,   0.500000,  -0.250000,   0.125000, "
            "        44, \n";
        QCOMPARE(rowFields(layout, 65535, values, "20240105090307005"),
                 expected.split(QStringLiteral(", ")));

        // No UTC text, or an unreadable one: an empty field, the row is written.
        const std::uint8_t utc = ItemId::Utc;
        QCOMPARE(rowFields(RecordLayout(&utc, 1, false), 3, {0}), QStringList({"    3", "", "\n"}));
        QCOMPARE(rowFields(RecordLayout(&utc, 1, false), 3, {0}, "20241305090307005"),
                 QStringList({"    3", "", "\n"}));
    }

    void utcToLocalTime_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("local");
        const auto add = [](const char *tz, const char *digits, const char *local) {
            QTest::addRow("%s %s", tz, digits) << QByteArray(tz) << digits << local;
        };
        add("Asia/Shanghai", "20241231235959999", "2025-01-01 07:59:59.999");
        add("America/New_York", "20240301030000000", "2024-02-29 22:00:00.000");
        // Both ends of summer time, a millisecond apart.
        add("Europe/Berlin", "20240331005959999", "2024-03-31 01:59:59.999");
        add("Europe/Berlin", "20240331010000000", "2024-03-31 03:00:00.000");
        add("Europe/Berlin", "20241027005959999", "2024-10-27 02:59:59.999");
        add("Europe/Berlin", "20241027010000000", "2024-10-27 02:00:00.000");
        add("Asia/Kolkata", "99981231235959999", "9999-01-01 05:29:59.999");
        // A change of offset in the middle of a minute (-0:44:30 to 0:00).
        add("Africa/Monrovia", "19720107004429999", "1972-01-06 23:59:59.999");
        add("Africa/Monrovia", "19720107004430000", "1972-01-07 00:44:30.000");
        for (const char *bad :
             {"", "2024010509030700", "202401050903070051", "2024010509030700x",
              "2024-105090307005", "20241305090307005", "20230229000000000", "00000101000000000",
              "20240105240000000", "20240105096000000", "20240105095960000"})
            add("Asia/Shanghai", bad, "");
    }
    void utcToLocalTime()
    {
        QFETCH(QByteArray, tz);
        QFETCH(QString, digits);
        QFETCH(QString, local);
        setTimeZone(tz.constData());
        RecordUtcConverter converter;
        QCOMPARE(converter.toLocalText(digits), local);
    }

    // The cached offset follows the zone through its changes: random instants over a century
    // against QDateTime, in zones with summer time and a 30-minute shift; years that only
    // QDateTime handles.
    void utcMatchesQDateTime()
    {
        QRandomGenerator random(7);
        for (const char *tz : {"Europe/Berlin", "Australia/Lord_Howe", "Africa/Monrovia"}) {
            setTimeZone(tz);
            RecordUtcConverter converter; // one converter, its cache used across rows
            qint64 ms = QDateTime(QDate(1905, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
            for (int i = 0; i < 4000; ++i) {
                ms += qint64(random.bounded(1, 20 * 86400)) * 1000 + random.bounded(1000);
                const QString digits = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
                                           .toString(QStringLiteral("yyyyMMddHHmmsszzz"));
                QCOMPARE(converter.toLocalText(digits), qtLocalText(digits));
            }
            for (const QString &digits :
                 {QStringLiteral("09990101120000000"), QStringLiteral("99991231230000000")})
                QCOMPARE(converter.toLocalText(digits), qtLocalText(digits));
        }
        setTimeZone("Asia/Shanghai");
    }

    void uniqueNames()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        QCOMPARE(initialRecordBaseName(QDate(2024, 1, 5)), QStringLiteral("ARV20240105_001"));
        QCOMPARE(recordFilePath(folder, "ARV20240105_001"), folder + "//ARV20240105_001.csv");
        const auto unique = [&](const QString &base, bool create) {
            QString name = base;
            makeUniqueRecordName(folder, name);
            QFile f(recordFilePath(folder, name));
            if (create)
                f.open(QIODevice::WriteOnly);
            return name;
        };
        QCOMPARE(unique("ARV20240105_001", false), QStringLiteral("ARV20240105_001"));
        QCOMPARE(unique("ARV20240105_001", true), QStringLiteral("ARV20240105_001"));
        QCOMPARE(unique("ARV20240105_001", true), QStringLiteral("ARV20240105_002"));
        QCOMPARE(unique("ARV20240105_001", false), QStringLiteral("ARV20240105_003"));
        unique("ARV20240105_999", true);
        QCOMPARE(unique("ARV20240105_999", false), QStringLiteral("ARV20240105_1000"));
        unique("ARVabc", true);
        QCOMPARE(unique("ARVabc", false), QStringLiteral("ARV001"));
    }
};

QTEST_GUILESS_MAIN(TestRecordFormat)
#include "tst_recordformat.moc"
