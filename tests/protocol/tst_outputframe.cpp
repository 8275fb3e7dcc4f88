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

std::vector<double> decodeHex(std::uint8_t id, const char *dataHex)
{
    const ItemKind *kind = ItemKind::find(id);
    const QByteArray data = hex(dataHex);
    if (!kind || data.size() != kind->length)
        return {};
    std::vector<double> out(kind->valueCount);
    ItemCodec::decode(*kind, bytes(data), out.data());
    return out;
}

// Equal within the rounding of one double multiplication.
bool sameValues(const std::vector<double> &got, const std::vector<double> &want)
{
    if (got.size() != want.size())
        return false;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (std::abs(got[i] - want[i]) > 1e-15 * std::max(1.0, std::abs(want[i]))) {
            qWarning("value %zu: %.17g, expected %.17g", i, got[i], want[i]);
            return false;
        }
    }
    return true;
}

int fieldSize(FieldType f)
{
    switch (f) {
    case FieldType::Int16:
        return 2;
    case FieldType::Int32:
    case FieldType::UInt32:
        return 4;
    case FieldType::Int64:
        return 8;
    case FieldType::Utc:
        return 11;
    case FieldType::StateByte:
        return 1;
    }
    return 0;
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
        QCOMPARE(int(c.ck1), 0xD5);
        QCOMPARE(int(c.ck2), 0xB6);
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
        const QByteArray empty = OutputFrame::build(0x1234, QByteArray());
        QCOMPARE(empty, hex("51 56 34 12 00 46 C0"));
        QVERIFY(OutputFrame::isValidAt(bytes(empty), empty.size()));

        QVERIFY(OutputFrame::build(0, QByteArray(256, 'x')).isEmpty());
        QCOMPARE(OutputFrame::build(0, QByteArray(255, 'x')).size(), 262);
    }

    void itemTableIsConsistent()
    {
        const auto &all = ItemKind::all();
        const std::uint8_t ids[] = {0x01, 0x10, 0x20, 0x30, 0x31, 0x40, 0x41,
                                    0x50, 0x51, 0x52, 0x60, 0x68, 0x70, 0x80};
        const int lengths[] = {2, 12, 12, 12, 12, 12, 16, 11, 4, 4, 12, 20, 12, 1};
        const int counts[] = {1, 3, 3, 3, 3, 3, 4, 1, 1, 1, 3, 3, 3, 1};
        for (std::size_t i = 0; i < all.size(); ++i) {
            const ItemKind &k = all[i];
            QCOMPARE(k.id, ids[i]);
            QCOMPARE(int(k.length), lengths[i]);
            QCOMPARE(int(k.valueCount), counts[i]);
            QCOMPARE(ItemKind::find(k.id), &k);
            int size = 0;
            for (int v = 0; v < k.valueCount; ++v) {
                size += fieldSize(k.fields[std::size_t(v)]);
                QVERIFY(!k.column(v, true).isEmpty() && !k.column(v, false).isEmpty());
            }
            QCOMPARE(size, int(k.length));
            QVERIFY(k.column(k.valueCount, false).isEmpty());
        }
        int known = 0;
        for (int id = 0; id < 256; ++id)
            known += ItemKind::find(std::uint8_t(id)) != nullptr;
        QCOMPARE(known, 14);

        // Names whose trailing blank tells the recorder's number format.
        const ItemKind *precise = ItemKind::find(ItemId::PreciseLocation);
        QCOMPARE(precise->column(0, false), QStringLiteral("Latitude "));
        QCOMPARE(precise->column(2, true), QStringLiteral("海拔 "));
        QCOMPARE(precise->group(false), QStringLiteral("Position"));
        QCOMPARE(ItemKind::find(ItemId::Location)->column(0, false), QStringLiteral("Latitude"));
        QCOMPARE(ItemKind::find(ItemId::SamplingTimestamp)->column(0, true),
                 QStringLiteral("采样时间戳 "));
        QCOMPARE(ItemKind::find(ItemId::FusionState)->column(0, false),
                 QStringLiteral("Combined state "));
        QCOMPARE(ItemKind::find(ItemId::Temperature)->column(0, true), QStringLiteral("温度(°C)"));
        QCOMPARE(ItemKind::find(ItemId::Euler)->column(1, false), QStringLiteral("Roll"));
        QCOMPARE(ItemKind::find(ItemId::MagneticNormalised)->group(true),
                 QStringLiteral("磁场归一化值"));
        QCOMPARE(int(ItemKind::find(ItemId::FusionState)->flag), int(ContentFlag::SyncTimestamp));
    }

    void decodesSignedAndUnsignedFields()
    {
        QVERIFY(sameValues(decodeHex(0x01, "38 FF"), std::vector<double>{-2.0}));
        QVERIFY(sameValues(decodeHex(0x01, "FF 7F"), std::vector<double>{327.67}));
        QVERIFY(sameValues(decodeHex(0x10, "FF FF FF FF  00 00 00 80  40 42 0F 00"),
                           (std::vector<double>{-0.000001, -2147.483648, 1.0})));
        QVERIFY(sameValues(decodeHex(0x31, "18 FC FF FF  00 00 00 00  01 00 00 00"),
                           (std::vector<double>{-1.0, 0.0, 0.001})));
        QVERIFY(sameValues(decodeHex(0x51, "FF FF FF FF"), std::vector<double>{4294967295.0}));
        QVERIFY(sameValues(decodeHex(0x52, "00 00 00 80"), std::vector<double>{2147483648.0}));
    }

    void decodesLocations()
    {
        // 64-bit latitude 10^10 → 1.0; its negation; 32-bit altitude −1000 → −1.0 in both items.
        QVERIFY(sameValues(
            decodeHex(0x68, "00 E4 0B 54 02 00 00 00  00 1C F4 AB FD FF FF FF  18 FC FF FF"),
            (std::vector<double>{1.0, -1.0, -1.0})));
        QVERIFY(sameValues(decodeHex(0x60, "80 96 98 00  80 69 67 FF  18 FC FF FF"),
                           (std::vector<double>{1.0, -1.0, -1.0})));
        // A latitude beyond 32 bits keeps its high word.
        const std::vector<double> far = decodeHex(0x68, "00 00 00 00 10 00 00 00  "
                                                        "00 00 00 00 00 00 00 00  00 00 00 00");
        QCOMPARE(far[0], double(0x1000000000LL) * 0.0000000001);
    }

    void decodesFusionState()
    {
        QVERIFY(sameValues(decodeHex(0x80, "00"), std::vector<double>{0}));
        QVERIFY(sameValues(decodeHex(0x80, "44"), std::vector<double>{44}));
        QVERIFY(sameValues(decodeHex(0x80, "15"), std::vector<double>{51}));
        QVERIFY(sameValues(decodeHex(0x80, "33"), std::vector<double>{33}));

        QCOMPARE(QString::fromUtf8(FusionState{0x00}.insName()), QStringLiteral("未初始化"));
        QCOMPARE(QString::fromUtf8(FusionState{0x00}.gnssName()), QStringLiteral("无GNSS"));
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

    void decodesUtc()
    {
        UtcFields f;
        f.year = 2024;
        f.month = 1;
        f.day = 5;
        f.hour = 9;
        f.minute = 3;
        f.second = 7;
        f.millisecond = 5;
        QByteArray data(11, '\0');
        f.write(reinterpret_cast<std::uint8_t *>(data.data()));
        QCOMPARE(data, hex("05 00 00 00 E8 07 01 05 09 03 07"));
        const UtcFields back = UtcFields::read(bytes(data));
        QCOMPARE(back.digitText(), QStringLiteral("20240105090307005"));
        QCOMPARE(back.number(), double(20240105090307005LL));
        QVERIFY(sameValues(decodeHex(0x50, "05 00 00 00 E8 07 01 05 09 03 07"),
                           std::vector<double>{double(20240105090307005LL)}));

        const QDateTime utc(QDate(2024, 1, 5), QTime(9, 3, 7, 5), Qt::UTC);
        QCOMPARE(back.localText(), utc.toLocalTime().toString("yyyy-MM-dd HH:mm:ss.zzz"));

        // Fields wider than their digits lengthen the text; the number follows the text.
        UtcFields wide = f;
        wide.millisecond = 4294967295u;
        wide.month = 200;
        QCOMPARE(wide.digitText(), QStringLiteral("2024200050903074294967295"));
        QCOMPARE(wide.number(), 2024200050903074294967295.0);
        QVERIFY(wide.localText().isEmpty());
        UtcFields noDate = f;
        noDate.month = 13;
        QVERIFY(noDate.localText().isEmpty());
        QCOMPARE(UtcFields().digitText(), QStringLiteral("00000000000000000"));
    }

    void encodesRoundAndSaturate()
    {
        const ItemKind &temp = *ItemKind::find(ItemId::Temperature);
        std::uint8_t raw[2];
        const double values[][2] = {
            {1e9, 327.67}, {-1e9, -327.68}, {NAN, 0.0}, {0.006, 0.01}, {-0.006, -0.01}};
        for (const auto &v : values) {
            double back = 0;
            ItemCodec::encode(temp, &v[0], raw);
            ItemCodec::decode(temp, raw, &back);
            QCOMPARE(back, v[1]);
        }
        const ItemKind &stamp = *ItemKind::find(ItemId::SamplingTimestamp);
        std::uint8_t raw4[4];
        const double negative = -5;
        double back = 1;
        ItemCodec::encode(stamp, &negative, raw4);
        ItemCodec::decode(stamp, raw4, &back);
        QCOMPARE(back, 0.0);
        const ItemKind &precise = *ItemKind::find(ItemId::PreciseLocation);
        std::uint8_t raw20[20];
        const double huge[3] = {1e300, -1e300, 0};
        double out[3];
        ItemCodec::encode(precise, huge, raw20);
        ItemCodec::decode(precise, raw20, out);
        QCOMPARE(out[0], double(INT64_MAX) * 0.0000000001);
        QCOMPARE(out[1], double(INT64_MIN) * 0.0000000001);
    }

    // Random item sets, encoded into frames and decoded again, give back their values
    // within half a raw step.
    void roundTrip()
    {
        QRandomGenerator rng(20240105);
        const auto &all = ItemKind::all();
        for (int frame = 0; frame < 500; ++frame) {
            QByteArray payload;
            std::vector<const ItemKind *> kinds;
            std::vector<double> expected;
            std::vector<UtcFields> utcs;
            while (true) {
                const ItemKind &k = all[rng.bounded(int(all.size()))];
                if (payload.size() + k.length + 2 > 255)
                    break;
                kinds.push_back(&k);
                if (k.id == ItemId::Utc) {
                    UtcFields u;
                    u.year = quint16(rng.bounded(1970, 2100));
                    u.month = quint8(rng.bounded(1, 13));
                    u.day = quint8(rng.bounded(1, 29));
                    u.hour = quint8(rng.bounded(24));
                    u.minute = quint8(rng.bounded(60));
                    u.second = quint8(rng.bounded(60));
                    u.millisecond = rng.bounded(1000u);
                    ItemCodec::appendUtcItem(payload, u);
                    expected.push_back(u.digitText().toLongLong());
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
                }
                ItemCodec::appendItem(payload, k, v);
            }
            const quint16 tid = quint16(frame);
            const QByteArray f = OutputFrame::build(tid, payload);
            QVERIFY(OutputFrame::isValidAt(bytes(f), f.size()));

            std::vector<double> got;
            const std::uint8_t *p = bytes(f) + 5;
            const std::uint8_t *end = p + bytes(f)[4];
            while (p < end) {
                const ItemKind *k = ItemKind::find(p[0]);
                QVERIFY(k && p[1] == k->length);
                double out[4];
                got.insert(got.end(), out, out + ItemCodec::decode(*k, p + 2, out));
                p += 2 + k->length;
            }
            QCOMPARE(got.size(), expected.size());
            std::size_t at = 0;
            for (const ItemKind *k : kinds) {
                for (int i = 0; i < k->valueCount; ++i, ++at) {
                    const double step = k->scales[std::size_t(i)];
                    const double tol = step / 2 + std::abs(expected[at]) * 1e-15;
                    QVERIFY2(std::abs(got[at] - expected[at]) <= tol,
                             qPrintable(QStringLiteral("item %1 value %2: %3 vs %4")
                                            .arg(k->id, 0, 16)
                                            .arg(i)
                                            .arg(got[at], 0, 'g', 17)
                                            .arg(expected[at], 0, 'g', 17)));
                }
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestOutputFrame)
#include "tst_outputframe.moc"
