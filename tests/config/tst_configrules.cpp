// What a unit can be asked by model and suffix, the data settings' boxes and mask, and the
// raw command parser: tables and pure functions, no port.
#include "common/Language.h"
#include "config/ConfigTexts.h"
#include "config/ContentBoxes.h"
#include "config/ProductRules.h"
#include "config/RawHex.h"
#include "protocol/CommandFrame.h"
#include "protocol/RateTables.h"

#include <QtTest>

using ProductRules::Mode;
namespace M = ContentMask;

namespace {

const QStringList Base{"1", "2", "5", "10", "20", "25", "50", "100", "200"};

// Modes as a string of the enabled ones' initials: "AVIGU" for all five.
QString modes(const ProductRules::ModeSwitch &m)
{
    const char initials[] = "AVIGU";
    QString s;
    for (int i = 0; i < ProductRules::ModeCount; ++i)
        if (m.modes[std::size_t(i)])
            s += QLatin1Char(initials[i]);
    return s;
}

} // namespace

class TestConfigRules : public QObject
{
    Q_OBJECT
private slots:
    void productRules_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("extra"); // after the base list
        QTest::addColumn<bool>("postureOff");
        QTest::addColumn<bool>("magnetometerOff");
        QTest::addColumn<int>("boxesOff");
        QTest::addColumn<bool>("modeApply");
        QTest::addColumn<QString>("modes");
        QTest::addColumn<bool>("options");

        const int imu = M::Magnetic | M::Euler | M::Quaternion | M::Utc | M::Position | M::Speed |
                        M::FusionState;
        const int vru = M::Magnetic | M::Utc | M::Position | M::Speed | M::FusionState;
        const int ahrs = M::Utc | M::Position | M::Speed | M::FusionState;
        const auto row = [](const char *name, const char *model, const char *suffix,
                            const QStringList &extra, bool postureOff, bool magOff, int boxesOff,
                            bool modeApply, const char *enabled, bool options) {
            QTest::newRow(name) << model << suffix << extra << postureOff << magOff << boxesOff
                                << modeApply << enabled << options;
        };
        row("ARV273 U", "ARV273", "U", {"250", "400", "1000", "2000"}, true, true, imu, false,
            "AVIGU", false);
        // 200 twice, as the unit family lists it.
        row("ARV805 UH", "ARV805", "UH", {"200", "400", "800"}, true, true, imu, false, "AVIGU",
            false);
        row("ARV273 UH", "ARV273", "UH", {"250", "500", "1000"}, true, true, imu, false, "AVIGU",
            false);
        row("ARV806 U", "ARV806 ", "U", {"250", "500", "1000"}, true, true, imu, false, "AVIGU",
            false);
        row("ARV806 V", "ARV806 ", "V", {"400"}, false, true, vru, true, "VI", false);
        row("ARV805 V", "ARV805", "V", {}, false, true, vru, true, "VI", false);
        row("ARV806 VH", "ARV806 ", "VH", {}, false, false, vru, true, "VI", false);
        row("ARV611 A", "ARV611 ", "A", {"400"}, false, false, ahrs, true, "AVI", false);
        // The model must carry the unit's trailing blank.
        row("ARV806 A, no blank", "ARV806", "A", {}, false, false, ahrs, true, "AVI", false);
        row("ARV806 N", "ARV806 ", "N", {}, false, true, 0, true, "GU", true);
        row("R", "ARV223 ", "R", {}, false, true, 0, true, "GU", true);
        row("D", "ARV224 ", "D", {}, false, true, 0, true, "GU", true);
        row("other suffix", "ARV806 ", "X", {}, false, false, 0, true, "AVIGU", false);
        row("no version", "", "", {}, false, false, 0, true, "AVIGU", false);
    }
    void productRules()
    {
        QFETCH(QString, model);
        QFETCH(QString, suffix);
        QFETCH(QStringList, extra);
        QCOMPARE(ProductRules::frequencies(model, suffix), Base + extra);
        QTEST(ProductRules::disablesPostureReset(suffix), "postureOff");
        QTEST(ProductRules::disablesMagnetometer(suffix), "magnetometerOff");
        QTEST(int(ProductRules::disabledContentBits(suffix)), "boxesOff");
        const ProductRules::ModeSwitch m = ProductRules::modeSwitch(suffix);
        QTEST(m.modeApply, "modeApply");
        QTEST(modes(m), "modes");
        QTEST(m.outputOptions, "options");
        QCOMPARE(m.presetHighAndUserDefined, m.outputOptions);
        // Every listed rate is one the unit has a code for (a rate outside its table would
        // be sent as 100 Hz).
        for (const QString &hz : ProductRules::frequencies(model, suffix))
            QVERIFY2(hz == "100" || RateTables::codeForRate(hz.toInt(), model, suffix) != 8,
                     qPrintable(hz));
    }

    void modeCodes()
    {
        QCOMPARE(ProductRules::modeCode(Mode::Ahrs), 1);
        QCOMPARE(ProductRules::modeCode(Mode::Automotive), 5);
    }

    void contentBoxes()
    {
        const auto &boxes = ContentBoxes::boxes();
        // Construction order: timestamp first, speed last; each grid place used once.
        QCOMPARE(boxes.front().bit, M::Timestamp);
        QCOMPARE(boxes.back().bit, M::Speed);
        QSet<int> places;
        for (const ContentBox &b : boxes)
            places.insert(b.row * 10 + b.column);
        QCOMPARE(places.size(), ContentBoxes::Count);

        // A unit that sends everything: every box but the combined state is ticked.
        std::array<bool, ContentBoxes::Count> ticked =
            ContentBoxes::tickedAtOpening([](ContentFlag) { return true; });
        QCOMPARE(int(ContentBoxes::maskOf(ticked)), M::All & ~M::FusionState);
        ticked.fill(true);
        QCOMPARE(int(ContentBoxes::maskOf(ticked)), 0x8CFF);
        QCOMPARE(CommandFrame::setContents(ContentBoxes::maskOf(ticked)).mid(5, 2),
                 QByteArray::fromHex("FF8C"));

        // The timestamp box needs both timestamps.
        ticked = ContentBoxes::tickedAtOpening(
            [](ContentFlag f) { return f == ContentFlag::SamplingTimestamp; });
        QCOMPARE(int(ContentBoxes::maskOf(ticked)), 0);
        ticked = ContentBoxes::tickedAtOpening([](ContentFlag f) {
            return f == ContentFlag::SamplingTimestamp || f == ContentFlag::SyncTimestamp ||
                   f == ContentFlag::Location;
        });
        QCOMPARE(int(ContentBoxes::maskOf(ticked)), M::Timestamp | M::Position);

        // Temperature and Euler angles: 0x0410.
        ticked.fill(false);
        for (std::size_t i = 0; i < boxes.size(); ++i)
            ticked[i] = boxes[i].bit == M::Temperature || boxes[i].bit == M::Euler;
        QCOMPARE(int(ContentBoxes::maskOf(ticked)), 0x0410);
    }

    void rawHex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes"); // sent when valid
        QTest::addColumn<QString>("badToken"); // the first bad one, when not
        QTest::addColumn<int>("badIndex");

        QTest::newRow("frame") << "51 56 03 0A 00 08 15 32"
                               << QByteArray::fromHex("5156030A00081532") << "" << -1;
        QTest::newRow("lower case, one digit")
            << "ff a 0 1b" << QByteArray::fromHex("FF0A001B") << "" << -1;
        // Extra blanks separate; they never become bytes.
        QTest::newRow("two blanks") << "51  56" << QByteArray::fromHex("5156") << "" << -1;
        QTest::newRow("blanks around") << "  51 56 " << QByteArray::fromHex("5156") << "" << -1;
        QTest::newRow("not hex") << "zz" << QByteArray() << "zz" << 0;
        QTest::newRow("three digits") << "1FF" << QByteArray() << "1FF" << 0;
        QTest::newRow("comma") << "51,56" << QByteArray() << "51,56" << 0;
        QTest::newRow("line break") << "51 56\n03" << QByteArray() << "56\n03" << 1;
        QTest::newRow("tab") << "51\t56" << QByteArray() << "51\t56" << 0;
        QTest::newRow("0x prefix") << "0x51 0x56" << QByteArray() << "0x51" << 0;
        QTest::newRow("later token") << "51 56 g 03" << QByteArray() << "g" << 2;
        QTest::newRow("minus") << "51 -1" << QByteArray() << "-1" << 1;
        QTest::newRow("full-width blank") << QString::fromUtf8("51\u300056") << QByteArray()
                                          << QString::fromUtf8("51\u300056") << 0;
        QTest::newRow("full-width digit") << QString::fromUtf8("\uFF15\uFF11") << QByteArray()
                                          << QString::fromUtf8("\uFF15\uFF11") << 0;
        QTest::newRow("empty") << "" << QByteArray() << "" << -1;
        QTest::newRow("blanks only") << "   " << QByteArray() << "" << -1;
    }
    void rawHex()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, badToken);
        QFETCH(int, badIndex);
        const RawHex::Result r = RawHex::parse(text);
        if (!bytes.isEmpty()) {
            QVERIFY(r.ok());
            QCOMPARE(r.bytes, bytes);
        } else if (badToken.isEmpty()) {
            QCOMPARE(r.status, RawHex::Result::Status::Empty);
            QVERIFY(r.bytes.isEmpty());
        } else {
            QCOMPARE(r.status, RawHex::Result::Status::BadToken);
            QVERIFY(r.bytes.isEmpty()); // nothing of it may be sent
            QCOMPARE(r.badToken, badToken);
            QCOMPARE(r.badTokenIndex, badIndex);
            QCOMPARE(text.mid(r.badTokenPosition, badToken.size()), badToken);
        }
    }

    void rawHexShowsTheTokenReadably()
    {
        QCOMPARE(RawHex::visible("56\n03"), QString("56\\n03"));
        QCOMPARE(RawHex::visible(QString("a\tb") + QChar(0x1B)), QString("a\\tb\\x1B"));
        const QString longToken(50, QLatin1Char('z'));
        QCOMPARE(RawHex::visible(longToken), QString(40, QLatin1Char('z')) + QChar(0x2026));
        // A character outside the basic plane is never cut in two.
        const QString emoji =
            QString(39, QLatin1Char('z')) + QString::fromUtf8("\U0001F600") + QLatin1String("zz");
        QCOMPARE(RawHex::visible(emoji), emoji.left(41) + QChar(0x2026));
        // Halves without their partner (text pasted from elsewhere) are shown as codes, and
        // count like any other character.
        const QString halves = QString(100, QChar(0xDE0A)) + QChar(0xD83D);
        QCOMPARE(RawHex::visible(halves.right(1) + halves.left(2)),
                 QString::fromUtf8("\U0001F60A") + QString("\\xDE0A"));
        QCOMPARE(RawHex::visible(halves.right(1)), QString("\\xD83D"));
        QCOMPARE(RawHex::visible(halves), QString("\\xDE0A").repeated(40) + QChar(0x2026));
    }

    void textsCarryTheirFigures()
    {
        Language::setChinese(true);
        QVERIFY(ConfigTexts::noAnswer(Setting::AlgorithmMode, 1000).contains("1 秒"));
        Language::setChinese(false);
        QVERIFY(ConfigTexts::noAnswer(Setting::Frequency, 1000).contains("within 1 s"));
        QVERIFY(ConfigTexts::baudAdvice(115200).contains("choose 115200 in the Baudrate box"));
    }
};

QTEST_GUILESS_MAIN(TestConfigRules)
#include "tst_configrules.moc"
