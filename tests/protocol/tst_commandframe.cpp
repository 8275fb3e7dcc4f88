#include "protocol/CommandFrame.h"
#include "protocol/RateTables.h"
#include "protocol/UpdateFrames.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

int u16At(const QByteArray &b, int at)
{
    return quint8(b[at]) | (quint8(b[at + 1]) << 8);
}

qint32 i32At(const QByteArray &b, int at)
{
    return qint32(quint32(quint8(b[at])) | (quint32(quint8(b[at + 1])) << 8) |
                  (quint32(quint8(b[at + 2])) << 16) | (quint32(quint8(b[at + 3])) << 24));
}

const double infinity = std::numeric_limits<double>::infinity();
const double notANumber = std::numeric_limits<double>::quiet_NaN();

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
    }

    void layout()
    {
        QCOMPARE(ContentMask::All,
                 std::uint16_t(ContentMask::Timestamp | ContentMask::FusionState |
                               ContentMask::Temperature | ContentMask::Acceleration |
                               ContentMask::AngularVelocity | ContentMask::Magnetic |
                               ContentMask::Euler | ContentMask::Quaternion | ContentMask::Utc |
                               ContentMask::Position | ContentMask::Speed));
        QCOMPARE(CommandFrame::build(0x05, 2, QByteArray(8191, 'x')).size(), 8198);
        QVERIFY(CommandFrame::build(0x05, 2, QByteArray(8192, 'x')).isEmpty());
        // Only the three low bits of the operation code reach the length word.
        QCOMPARE(CommandFrame::build(0x00, 0x0F, QByteArray()).at(3), char(0x07));

        QCOMPARE(CommandFrame::setOutputProtocol(2).mid(2, 5), hex("4D 12 00 03 02"));
        QCOMPARE(CommandFrame::setRateRange(1).mid(2, 5), hex("4D 12 00 04 01"));
        QVERIFY(CommandFrame::setAlgorithmMode(256).isEmpty());
        QVERIFY(CommandFrame::setRateRange(-1).isEmpty());
        QCOMPARE(CommandFrame::setBaudRate(57600).at(5), char(4));
    }

    void frequencyCodesDependOnModel()
    {
        const QString none;
        auto code = [](int hz, const QString &model, const QString &suffix) {
            return int(quint8(CommandFrame::setFrequency(hz, model, suffix).at(5)));
        };
        QCOMPARE(code(400, "ARV806 ", none), 10);
        QCOMPARE(code(400, "ARV805", none), 11);
        QCOMPARE(code(400, "ARV805", "UH"), 10);
        QCOMPARE(code(400, "ARV806", none), 11); // without the unit's trailing blank
        QCOMPARE(code(250, "ARV806 ", none), 10);
        QCOMPARE(code(250, none, none), 10);
        QCOMPARE(code(800, none, none), 11);
        QCOMPARE(code(1600, none, none), code(1000, none, none));
        QCOMPARE(code(3000, none, none), code(2000, none, none));
        QCOMPARE(code(300, none, none), 8);
        QCOMPARE(code(500, none, none), 14);

        QCOMPARE(RateTables::rateForCode(10, "ARV223 ", none), 400);
        QCOMPARE(RateTables::rateForCode(10, "ARV805", "U"), 250);
        QCOMPARE(RateTables::rateForCode(11, "ARV805", "UH"), 800);
        QCOMPARE(RateTables::rateForCode(11, "ARV611 ", none), 400);
        QCOMPARE(RateTables::rateForCode(0, none, none), 0);
        QCOMPARE(RateTables::rateForCode(15, none, none), 0);
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
        QCOMPARE(RateTables::baudForCode(5), 921600);
        QCOMPARE(RateTables::baudForCode(6), 0);
        QCOMPARE(RateTables::modeName(4), QStringLiteral("GeneralPos"));
        QVERIFY(RateTables::modeName(0).isEmpty() && RateTables::modeName(6).isEmpty());
    }

    void scaledCommands()
    {
        const QByteArray att = CommandFrame::setAttitude(12.345, -1.999);
        QCOMPARE(att.size(), 13);
        QCOMPARE(att.mid(2, 5), hex("05 32 00 11 04"));
        QCOMPARE(qint16(u16At(att, 7)), qint16(1234)); // truncation toward zero
        QCOMPARE(qint16(u16At(att, 9)), qint16(-199));

        const QByteArray bias = CommandFrame::writeGyroBias(0.0000019, -0.0000019, -2147.4836479);
        QCOMPARE(bias.size(), 21);
        QCOMPARE(bias.mid(2, 5), hex("05 72 00 03 0C"));
        QCOMPARE(i32At(bias, 7), 1);
        QCOMPARE(i32At(bias, 11), -1);
        QCOMPARE(i32At(bias, 15), -2147483647);

        std::array<double, 12> params{};
        for (int i = 0; i < 12; ++i)
            params[std::size_t(i)] = (i - 6) * 1.5;
        const QByteArray mag = CommandFrame::writeMagCalibration(params);
        QCOMPARE(mag.size(), 57);
        QCOMPARE(mag.mid(2, 5), hex("05 92 01 07 30"));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(i32At(mag, 7 + 4 * i), (i - 6) * 1500000);
    }

    // Values that do not fit the integer field build no command at all.
    void refusingBuilders()
    {
        for (double bad : {notANumber, infinity, -infinity, 327.68, -327.69, 1e6}) {
            QVERIFY(CommandFrame::setAttitude(bad, 0).isEmpty());
            QVERIFY(CommandFrame::setAttitude(0, bad).isEmpty());
        }
        QVERIFY(!CommandFrame::setAttitude(327.67, -327.68).isEmpty());

        for (double bad : {notANumber, infinity, -infinity, 2147.4836481, -2147.4836491, 1e12}) {
            QVERIFY(CommandFrame::writeGyroBias(bad, 0, 0).isEmpty());
            QVERIFY(CommandFrame::writeGyroBias(0, 0, bad).isEmpty());
            std::array<double, 12> params{};
            params[11] = bad;
            QVERIFY(CommandFrame::writeMagCalibration(params).isEmpty());
        }
        QVERIFY(!CommandFrame::writeGyroBias(2147.483647, -2147.4836484, 0).isEmpty());
    }

    void updateFrames()
    {
        QByteArray image(17, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(0xA0 + i);
        QCOMPARE(UpdateFrames::packetCount(image), 1);

        const QByteArray start = UpdateFrames::start(image);
        QCOMPARE(start.size(), 21);
        QCOMPARE(start.left(8), hex("51 56 FF 71 00 01 0B 00"));
        QCOMPARE(start.mid(8, 4), hex("0D 00 00 00"));  // size − 4
        QCOMPARE(start.mid(12, 3), hex("AC AD AE"));    // image bytes 12-14
        QCOMPARE(start.mid(15, 4), hex("A0 A1 A2 A3")); // image bytes 0-3

        const QByteArray only = UpdateFrames::data(image, 1);
        QCOMPARE(only.size(), 13 + 14);
        QCOMPARE(only.left(12), hex("51 56 FF A2 00 02 11 00 01 00 01 00"));
        QCOMPARE(only.mid(12, 13), image.mid(4));
        QVERIFY(UpdateFrames::data(image, 0).isEmpty());
        QVERIFY(UpdateFrames::data(image, 2).isEmpty());

        QByteArray big(1028, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7);
        QCOMPARE(UpdateFrames::packetCount(big), 4);
        for (int k = 1; k <= 4; ++k) {
            const QByteArray f = UpdateFrames::data(big, k);
            QCOMPARE(f.size(), 270);
            QCOMPARE(u16At(f, 3), 0x083A);
            QCOMPARE(u16At(f, 6), 0x0104);
            QCOMPARE(u16At(f, 8), k);
            QCOMPARE(u16At(f, 10), 4);
            QCOMPARE(f.mid(12, 256), big.mid(4 + 256 * (k - 1), 256));
        }
        QCOMPARE(UpdateFrames::packetCount(QByteArray(1029, 'x')), 5);

        // Frame numbers are 16-bit: an image needing more than 65535 frames is refused.
        const QByteArray largest(4 + 65535 * 256, 'x');
        QVERIFY(!UpdateFrames::start(largest).isEmpty());
        QCOMPARE(UpdateFrames::data(largest, 65535).size(), 270);
        const QByteArray tooLarge(largest.size() + 1, 'x');
        QVERIFY(UpdateFrames::start(tooLarge).isEmpty());
        QVERIFY(UpdateFrames::data(tooLarge, 1).isEmpty());

        QVERIFY(UpdateFrames::start(QByteArray(14, 'x')).isEmpty());
        QCOMPARE(UpdateFrames::packetCount(QByteArray(4, 'x')), 0);
        QVERIFY(UpdateFrames::data(QByteArray(4, 'x'), 1).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestCommandFrame)
#include "tst_commandframe.moc"
