#include "protocol/CommandFrame.h"
#include "protocol/RateTables.h"
#include "protocol/UpdateFrames.h"

#include <QtTest>

#include <cmath>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

qint64 leAt(const QByteArray &b, int at, int n) // little-endian, sign-extended
{
    quint32 v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[at + i]);
    return n == 2 ? qint64(qint16(v)) : qint64(qint32(v));
}

} // namespace

class TestCommandFrame : public QObject
{
    Q_OBJECT
private slots:
    void workedFrames()
    {
        QCOMPARE(CommandFrame::queryProductId(), hex("51 56 00 08 00 01 09 19"));
        QCOMPARE(CommandFrame::queryVersion(), hex("51 56 00 08 00 02 0A 1A"));
        QCOMPARE(CommandFrame::queryFrequency(), hex("51 56 03 00 00 03 09"));
        QCOMPARE(CommandFrame::queryAlgorithm(), hex("51 56 4D 08 00 02 57 4E"));
        QCOMPARE(CommandFrame::zeroHeading(), hex("51 56 01 09 00 02 0C 21"));
        QCOMPARE(UpdateFrames::finish(), hex("51 56 FF 06 00 05 09"));
        QCOMPARE(CommandFrame::setBaudRate(921600), hex("51 56 02 0A 00 05 11 2B"));
        QCOMPARE(CommandFrame::setFrequency(100, QString(), QString()),
                 hex("51 56 03 0A 00 08 15 32"));
        QCOMPARE(CommandFrame::setContents(ContentMask::All), hex("51 56 04 12 00 FF 8C A1 E6"));
        QCOMPARE(CommandFrame::setAlgorithmMode(1), hex("51 56 4D 12 00 02 01 62 CE"));
        QCOMPARE(CommandFrame::setOutputProtocol(2).mid(2, 5), hex("4D 12 00 03 02"));
        QCOMPARE(CommandFrame::setRateRange(1).mid(2, 5), hex("4D 12 00 04 01"));
        QCOMPARE(CommandFrame::setBaudRate(57600).at(5), char(4));
        // The length word holds 13 bits of data length and 3 of operation code.
        QCOMPARE(CommandFrame::build(0x05, 2, QByteArray(8191, 'x')).size(), 8198);
        QVERIFY(CommandFrame::build(0x05, 2, QByteArray(8192, 'x')).isEmpty());
        QCOMPARE(CommandFrame::build(0x00, 0x0F, QByteArray()).at(3), char(0x07));
    }

    void frequencyCodesDependOnModel()
    {
        const struct
        {
            int hz;
            const char *model, *suffix;
            int code;
        } set[] = {{400, "ARV806 ", "", 10}, {400, "ARV805", "", 11}, {400, "ARV805", "UH", 10},
                   {400, "ARV806", "", 11}, // without the unit's trailing blank
                   {250, "ARV806 ", "", 10}, {250, "", "", 10},       {800, "", "", 11},
                   {300, "", "", 8},         {500, "", "", 14}};
        for (const auto &s : set)
            QVERIFY2(quint8(CommandFrame::setFrequency(s.hz, s.model, s.suffix).at(5)) == s.code,
                     qPrintable(QString("%1 Hz %2").arg(s.hz).arg(s.model)));
        auto code = [](int hz) { return CommandFrame::setFrequency(hz, "", "").at(5); };
        QVERIFY(code(1600) == code(1000) && code(3000) == code(2000));
        QCOMPARE(RateTables::rateForCode(10, "ARV223 ", ""), 400);
        QCOMPARE(RateTables::rateForCode(10, "ARV805", "U"), 250);
        QCOMPARE(RateTables::rateForCode(11, "ARV805", "UH"), 800);
        QCOMPARE(RateTables::rateForCode(11, "ARV611 ", ""), 400);
        QVERIFY(RateTables::rateForCode(0, "", "") == 0 &&
                RateTables::rateForCode(15, "", "") == 0);
        // Every reported rate sets back to its own code, on every kind of model.
        const QString models[][2] = {{"", ""}, {"ARV806 ", "A"}, {"ARV805", "UH"}, {"ARV805", "U"}};
        for (const auto &m : models)
            for (int c = 1; c <= 14; ++c) {
                const int hz = RateTables::rateForCode(c, m[0], m[1]);
                const int back = RateTables::codeForRate(hz, m[0], m[1]);
                QVERIFY2(back == c || (c == 11 && hz == 400 && back == 10),
                         qPrintable(QString("%1 %2 code %3").arg(m[0], m[1]).arg(c)));
            }
        for (int c = 1; c <= 5; ++c)
            QCOMPARE(RateTables::baudCode(RateTables::baudForCode(c)), c);
        QCOMPARE(RateTables::baudForCode(6), 0);
        QCOMPARE(RateTables::modeName(4), QStringLiteral("GeneralPos"));
        QVERIFY(RateTables::modeName(0).isEmpty() && RateTables::modeName(6).isEmpty());
    }

    void scaledCommands()
    {
        const QByteArray att = CommandFrame::setAttitude(12.345, -1.999);
        QCOMPARE(att.size(), 13);
        QCOMPARE(att.mid(2, 5), hex("05 32 00 11 04"));
        QCOMPARE(leAt(att, 7, 2), 1234); // truncation toward zero
        QCOMPARE(leAt(att, 9, 2), -199);
        const QByteArray bias = CommandFrame::writeGyroBias(0.0000019, -0.0000019, -2147.4836479);
        QCOMPARE(bias.size(), 21);
        QCOMPARE(bias.mid(2, 5), hex("05 72 00 03 0C"));
        QCOMPARE(leAt(bias, 7, 4), 1);
        QCOMPARE(leAt(bias, 11, 4), -1);
        QCOMPARE(leAt(bias, 15, 4), -2147483647);
        std::array<double, 12> params{};
        for (int i = 0; i < 12; ++i)
            params[std::size_t(i)] = (i - 6) * 1.5;
        const QByteArray mag = CommandFrame::writeMagCalibration(params);
        QCOMPARE(mag.size(), 57);
        QCOMPARE(mag.mid(2, 5), hex("05 92 01 07 30"));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(leAt(mag, 7 + 4 * i, 4), (i - 6) * 1500000);
    }

    // Values that do not fit the integer field build no command at all.
    void refusingBuilders()
    {
        for (double bad : {double(NAN), double(INFINITY), -double(INFINITY), 327.68, -327.69, 1e6})
            QVERIFY(CommandFrame::setAttitude(bad, 0).isEmpty() &&
                    CommandFrame::setAttitude(0, bad).isEmpty());
        QVERIFY(!CommandFrame::setAttitude(327.67, -327.68).isEmpty());
        for (double bad : {double(NAN), double(INFINITY), -double(INFINITY), 2147.4836481,
                           -2147.4836491, 1e12}) {
            std::array<double, 12> params{};
            params[11] = bad;
            QVERIFY(CommandFrame::writeGyroBias(bad, 0, 0).isEmpty() &&
                    CommandFrame::writeGyroBias(0, 0, bad).isEmpty() &&
                    CommandFrame::writeMagCalibration(params).isEmpty());
        }
        QVERIFY(!CommandFrame::writeGyroBias(2147.483647, -2147.4836484, 0).isEmpty());
        QVERIFY(CommandFrame::setAlgorithmMode(256).isEmpty());
        QVERIFY(CommandFrame::setRateRange(-1).isEmpty());
    }

    void updateFrames()
    {
        QByteArray image(17, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(0xA0 + i);
        QCOMPARE(UpdateFrames::packetCount(image), 1);
        // Size − 4, image bytes 12-14, image bytes 0-3.
        QCOMPARE(UpdateFrames::start(image).left(19),
                 hex("51 56 FF 71 00 01 0B 00  0D 00 00 00  AC AD AE  A0 A1 A2 A3"));
        QCOMPARE(UpdateFrames::start(image).size(), 21);
        const QByteArray only = UpdateFrames::data(image, 1);
        QCOMPARE(only.size(), 13 + 14);
        QCOMPARE(only.left(12), hex("51 56 FF A2 00 02 11 00 01 00 01 00"));
        QCOMPARE(only.mid(12, 13), image.mid(4));
        QVERIFY(UpdateFrames::data(image, 0).isEmpty() && UpdateFrames::data(image, 2).isEmpty());

        QByteArray big(1028, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7);
        QCOMPARE(UpdateFrames::packetCount(big), 4);
        for (int k = 1; k <= 4; ++k) {
            const QByteArray f = UpdateFrames::data(big, k);
            QCOMPARE(f.size(), 270);
            QCOMPARE(f.mid(3, 2), hex("3A 08"));
            QCOMPARE(f.mid(6, 6), hex("04 01") + char(k) + hex("00 04 00"));
            QCOMPARE(f.mid(12, 256), big.mid(4 + 256 * (k - 1), 256));
        }
        QCOMPARE(UpdateFrames::packetCount(QByteArray(1029, 'x')), 5);

        // Frame numbers are 16-bit: an image needing more than 65535 frames is refused.
        const QByteArray largest(4 + 65535 * 256, 'x');
        QVERIFY(!UpdateFrames::start(largest).isEmpty());
        QCOMPARE(UpdateFrames::data(largest, 65535).size(), 270);
        const QByteArray tooLarge(largest.size() + 1, 'x');
        QVERIFY(UpdateFrames::start(tooLarge).isEmpty() &&
                UpdateFrames::data(tooLarge, 1).isEmpty());
        QVERIFY(UpdateFrames::start(QByteArray(14, 'x')).isEmpty());
        QCOMPARE(UpdateFrames::packetCount(QByteArray(4, 'x')), 0);
        QVERIFY(UpdateFrames::data(QByteArray(4, 'x'), 1).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestCommandFrame)
#include "tst_commandframe.moc"
