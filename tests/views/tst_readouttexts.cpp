// The texts of the state dock's contents label and of the read-outs, from what the parser
// decoded.
#include "protocol/FrameParser.h"
#include "tests/support/FrameBytes.h"
#include "views/ReadoutTexts.h"

#include <QtTest>

using namespace FrameBytes;

class TestReadoutTexts : public QObject
{
    Q_OBJECT
private slots:
    void contentsBreakByLanguage_data()
    {
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << QStringList() << true << QString();
        QTest::newRow("three a line") << QStringList{"温度", "加速度", "角速度", "欧拉角"} << true
                                      << QStringLiteral("温度 , 加速度 , 角速度 , \n欧拉角");
        QTest::newRow("a full line ends clean") << QStringList{"温度", "加速度", "角速度"} << true
                                                << QStringLiteral("温度 , 加速度 , 角速度");
        QTest::newRow("two a line")
            << QStringList{"Temperature", "Acceleration", "Angular Velocity"} << false
            << QStringLiteral("Temperature , Acceleration , \nAngular Velocity");
    }

    void contentsBreakByLanguage()
    {
        QFETCH(QStringList, groups);
        QFETCH(bool, chinese);
        QFETCH(QString, text);
        QCOMPARE(ReadoutTexts::contents(groups, chinese), text);
    }

    // The worked example frame (25 °C), then a frame with every item kind.
    void readOutsOfParsedFrames()
    {
        FrameParser p;
        p.feed(QByteArray::fromHex("515601000401 02C409D5B6"));
        QCOMPARE(ReadoutTexts::celsius(p.passTemperature()), QStringLiteral("25.00 °C"));
        QCOMPARE(ReadoutTexts::fahrenheit(p.passTemperature()), QStringLiteral("77.00 °F"));
        QCOMPARE(ReadoutTexts::fahrenheit(-2.0), QStringLiteral("28.40 °F"));

        p.feed(frame(9, fullPayload(9)));
        QCOMPARE(ReadoutTexts::insState(p.passFusion()), QStringLiteral("组合融合状态"));
        QCOMPARE(ReadoutTexts::gnssState(p.passFusion()), QStringLiteral("固定解"));
        QCOMPARE(ReadoutTexts::utc(p.passUtc()),
                 QDateTime(QDate(2024, 1, 5), QTime(12, 30, 45, 123), Qt::UTC)
                     .toLocalTime()
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
        // 14 item kinds: three a line in Chinese.
        QCOMPARE(
            ReadoutTexts::contents(p.lastLayout()->groupNames(true), true).count(QLatin1Char('\n')),
            4);
        QVERIFY(ReadoutTexts::insState(FusionState{0x33}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReadoutTexts)
#include "tst_readouttexts.moc"
