#include "protocol/Checksum.h"
#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"
#include "protocol/OutputFrame.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const std::uint8_t *bytes(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

QVector<double> decodeHex(std::uint8_t id, const char *dataHex)
{
    const ItemKind *kind = ItemKind::find(id);
    const QByteArray data = hex(dataHex);
    if (!kind || data.size() != kind->length)
        return {};
    QVector<double> out(kind->valueCount);
    ItemCodec::decode(*kind, bytes(data), out.data());
    return out;
}

} // namespace

class TestOutputFrame : public QObject
{
    Q_OBJECT
private slots:
    void envelopeAndChecksum()
    {
        const QByteArray example = hex("51 56 01 00 04 01 02 C4 09 D5 B6");
        const Checksum c = Checksum::over(example.constData() + 2, 7);
        QCOMPARE(int(c.ck1) << 8 | int(c.ck2), 0xD5B6);
        QCOMPARE(OutputFrame::build(1, hex("01 02 C4 09")), example);
        QVERIFY(OutputFrame::isValidAt(bytes(example), example.size()));
        // Truncated, corrupted in either checksum byte or in the payload, wrong header.
        QVERIFY(!OutputFrame::isValidAt(bytes(example), example.size() - 1));
        for (int i : {1, 4, 7, 9, 10}) {
            QByteArray bad = example;
            bad[i] = char(bad[i] ^ 0x01);
            QVERIFY2(!OutputFrame::isValidAt(bytes(bad), bad.size()),
                     qPrintable(QString::number(i)));
        }
        // An empty payload: seven bytes, checksum over TID and LEN only.
        QCOMPARE(OutputFrame::build(0x1234, QByteArray()), hex("51 56 34 12 00 46 C0"));
        QVERIFY(OutputFrame::build(0, QByteArray(256, 'x')).isEmpty());
        QCOMPARE(OutputFrame::build(0, QByteArray(255, 'x')).size(), 262);
    }

    // The trailing blank of a column name tells the recorder's number format.
    void columnNamesCarryTheRecorderFormat()
    {
        const ItemKind *precise = ItemKind::find(ItemId::PreciseLocation);
        QCOMPARE(precise->column(0, false), QStringLiteral("Latitude "));
        QCOMPARE(precise->column(2, true), QStringLiteral("海拔 "));
        QVERIFY(precise->column(3, false).isEmpty());
        QCOMPARE(ItemKind::find(ItemId::Location)->column(0, false), QStringLiteral("Latitude"));
        QCOMPARE(ItemKind::find(ItemId::SamplingTimestamp)->column(0, true),
                 QStringLiteral("采样时间戳 "));
        QCOMPARE(ItemKind::find(ItemId::FusionState)->column(0, false),
                 QStringLiteral("Combined state "));
        int known = 0;
        for (int id = 0; id < 256; ++id)
            known += ItemKind::find(std::uint8_t(id)) != nullptr;
        QCOMPARE(known, 14);
    }

    // The routing columns of the item table: a row that keeps values names a quantity for each
    // of them and none beyond; every quantity is fed by some item; no item claims the flag of
    // any frame.
    void everyRowRoutesItsValues()
    {
        std::vector<int> fedBy(QuantityCount, 0);
        for (const ItemKind &kind : ItemKind::all()) {
            const QByteArray name = QByteArray::number(kind.id, 16);
            QVERIFY2(kind.flag != ContentFlag::AnyFrame, name);
            for (int i = 0; i < 4; ++i) {
                const Quantity q = kind.quantities[std::size_t(i)];
                const bool wanted = kind.series != SeriesUse::None && i < kind.valueCount;
                QVERIFY2((q != Quantity::None) == wanted, name + " value " + QByteArray::number(i));
                if (q != Quantity::None)
                    ++fedBy[std::size_t(q)];
            }
        }
        for (std::size_t q = 0; q < QuantityCount; ++q)
            QVERIFY2(fedBy[q] > 0, qPrintable(QString::number(q)));
    }

    // Sign extension, 64-bit latitude, unsigned timestamps, fusion nibbles, UTC digits.
    void decodesFields_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QVector<double>>("want");
        auto row = [](const char *name, int id, const char *data, QVector<double> want) {
            QTest::newRow(name) << id << QByteArray(data) << want;
        };
        row("int16 negative", 0x01, "38 FF", {-2.0});
        row("int16 max", 0x01, "FF 7F", {327.67});
        row("int32 sign", 0x10, "FF FF FF FF  00 00 00 80  40 42 0F 00",
            {-0.000001, -2147.483648, 1.0});
        row("int32 milli", 0x31, "18 FC FF FF  00 00 00 00  01 00 00 00", {-1.0, 0.0, 0.001});
        row("uint32 max", 0x51, "FF FF FF FF", {4294967295.0});
        row("uint32 high bit", 0x52, "00 00 00 80", {2147483648.0});
        row("64-bit latitude", 0x68,
            "00 E4 0B 54 02 00 00 00  00 1C F4 AB FD FF FF FF  18 FC FF FF", {1.0, -1.0, -1.0});
        row("latitude high word", 0x68,
            "00 00 00 00 10 00 00 00  00 00 00 00 00 00 00 00  00 00 00 00",
            {double(0x1000000000LL) * 0.0000000001, 0, 0});
        row("32-bit location", 0x60, "80 96 98 00  80 69 67 FF  18 FC FF FF", {1.0, -1.0, -1.0});
        row("fusion nibbles swap", 0x80, "15", {51});
        row("fusion unnamed", 0x80, "33", {33});
        row("utc", 0x50, "05 00 00 00 E8 07 01 05 09 03 07", {double(20240105090307005LL)});
    }

    void decodesFields()
    {
        QFETCH(int, id);
        QFETCH(QByteArray, data);
        QFETCH(QVector<double>, want);
        const QVector<double> got = decodeHex(std::uint8_t(id), data.constData());
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < got.size(); ++i) // within the rounding of one multiplication
            QVERIFY2(std::abs(got[i] - want[i]) <= 1e-15 * std::max(1.0, std::abs(want[i])),
                     qPrintable(QString::number(got[i], 'g', 17)));
    }

    void fusionStateNames()
    {
        QCOMPARE(QString::fromUtf8(FusionState{0x54}.insName()), QStringLiteral("组合融合状态"));
        QCOMPARE(QString::fromUtf8(FusionState{0x54}.gnssName()), QStringLiteral("浮点解"));
        QVERIFY(FusionState{0x21}.named());
        // Any nibble 3 or 6..15 has no name, and then the frame names nothing.
        for (int nibble : {3, 6, 9, 15}) {
            QVERIFY(!FusionState{std::uint8_t(nibble)}.insName());
            QVERIFY(!FusionState{std::uint8_t(nibble << 4)}.gnssName());
            QVERIFY(!FusionState{std::uint8_t(nibble << 4)}.named());
            QVERIFY(!FusionState{std::uint8_t(nibble)}.named());
        }
    }

    void utcTexts()
    {
        UtcFields f;
        f.year = 2024, f.month = 1, f.day = 5, f.hour = 9, f.minute = 3, f.second = 7;
        f.millisecond = 5;
        QByteArray data(11, '\0');
        f.write(reinterpret_cast<std::uint8_t *>(data.data()));
        QCOMPARE(data, hex("05 00 00 00 E8 07 01 05 09 03 07"));
        const UtcFields back = UtcFields::read(bytes(data));
        QCOMPARE(back.digitText(), QStringLiteral("20240105090307005"));
        const QDateTime utc(QDate(2024, 1, 5), QTime(9, 3, 7, 5), Qt::UTC);
        QCOMPARE(back.localText(), utc.toLocalTime().toString("yyyy-MM-dd HH:mm:ss.zzz"));
        // Fields wider than their digits lengthen the text; the number follows the text.
        UtcFields wide = f;
        wide.millisecond = 4294967295u;
        wide.month = 200;
        QCOMPARE(wide.digitText(), QStringLiteral("2024200050903074294967295"));
        QCOMPARE(wide.number(), 2024200050903074294967295.0);
        QVERIFY(wide.localText().isEmpty());
        wide.month = 13;
        wide.millisecond = 5;
        QVERIFY(wide.localText().isEmpty());
        QCOMPARE(UtcFields().digitText(), QStringLiteral("00000000000000000"));
    }

    void encodesRoundAndSaturate()
    {
        auto back = [](std::uint8_t id, std::initializer_list<double> in) {
            const ItemKind &k = *ItemKind::find(id);
            std::uint8_t raw[32];
            double out[4] = {};
            ItemCodec::encode(k, in.begin(), raw);
            ItemCodec::decode(k, raw, out);
            return out[0];
        };
        QCOMPARE(back(ItemId::Temperature, {1e9}), 327.67);
        QCOMPARE(back(ItemId::Temperature, {-1e9}), -327.68);
        QCOMPARE(back(ItemId::Temperature, {NAN}), 0.0);
        QCOMPARE(back(ItemId::Temperature, {0.006}), 0.01);
        QCOMPARE(back(ItemId::Temperature, {-0.006}), -0.01);
        QCOMPARE(back(ItemId::SamplingTimestamp, {-5}), 0.0);
        QCOMPARE(back(ItemId::PreciseLocation, {1e300, 0, 0}), double(INT64_MAX) * 0.0000000001);
        QCOMPARE(back(ItemId::PreciseLocation, {-1e300, 0, 0}), double(INT64_MIN) * 0.0000000001);
    }

    // Random item sets, encoded into frames and decoded again, give back their values
    // within half a raw step.
    void roundTrip()
    {
        QRandomGenerator rng(20240105);
        const auto &all = ItemKind::all();
        for (int frame = 0; frame < 500; ++frame) {
            QByteArray payload;
            std::vector<double> expected, steps;
            while (true) {
                const ItemKind &k = all[rng.bounded(int(all.size()))];
                if (payload.size() + k.length + 2 > 255)
                    break;
                if (k.id == ItemId::Utc) {
                    UtcFields u;
                    u.year = quint16(rng.bounded(1970, 2100)), u.month = quint8(rng.bounded(1, 13));
                    u.day = quint8(rng.bounded(1, 29)), u.hour = quint8(rng.bounded(24));
                    u.minute = quint8(rng.bounded(60)), u.second = quint8(rng.bounded(60));
                    u.millisecond = rng.bounded(1000u);
                    ItemCodec::appendUtcItem(payload, u);
                    expected.push_back(u.digitText().toLongLong());
                    steps.push_back(k.scales[0]);
                    continue;
                }
                double v[4] = {};
                for (int i = 0; i < k.valueCount; ++i) {
                    switch (k.fields[std::size_t(i)]) {
                    case FieldType::Int16:
                        v[i] = rng.bounded(-32768, 32768) * 0.01;
                        break;
                    case FieldType::UInt32:
                        v[i] = double(rng.generate());
                        break;
                    case FieldType::StateByte:
                        v[i] = rng.bounded(16) * 10 + rng.bounded(10);
                        break;
                    case FieldType::Int32: // within the field: ±2e9 raw steps
                        v[i] = (rng.generateDouble() * 2 - 1) * 2e9 * k.scales[std::size_t(i)];
                        break;
                    default:
                        v[i] = (rng.generateDouble() * 2 - 1) * 2000.0;
                    }
                    expected.push_back(v[i]);
                    steps.push_back(k.scales[std::size_t(i)]);
                }
                ItemCodec::appendItem(payload, k, v);
            }
            const QByteArray f = OutputFrame::build(quint16(frame), payload);
            QVERIFY(OutputFrame::isValidAt(bytes(f), f.size()));
            std::vector<double> got;
            for (const std::uint8_t *p = bytes(f) + 5, *end = p + bytes(f)[4]; p < end;) {
                const ItemKind *k = ItemKind::find(p[0]);
                QVERIFY(k && p[1] == k->length);
                double out[4];
                got.insert(got.end(), out, out + ItemCodec::decode(*k, p + 2, out));
                p += 2 + k->length;
            }
            QCOMPARE(got.size(), expected.size());
            for (std::size_t i = 0; i < got.size(); ++i)
                QVERIFY2(std::abs(got[i] - expected[i]) <=
                             steps[i] / 2 + std::abs(expected[i]) * 1e-15,
                         qPrintable(QStringLiteral("frame %1 value %2").arg(frame).arg(i)));
        }
    }
};

QTEST_APPLESS_MAIN(TestOutputFrame)
#include "tst_outputframe.moc"
