#include "protocol/Answer.h"
#include "protocol/CommandFrame.h"

#include <QtTest>

namespace {

const std::uint8_t *bytes(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

// Reads an answer, as the unit would send it, from a frame kept alive for the rest of the test
// (Answer points into it).
Answer read(std::uint8_t cls, std::uint8_t op, const QByteArray &data)
{
    static QList<QByteArray> keep;
    keep.append(CommandFrame::build(cls, op, data));
    Answer a;
    if (!Answer::readAt(bytes(keep.last()), keep.last().size(), a))
        qFatal("no answer");
    return a;
}

} // namespace

class TestAnswer : public QObject
{
    Q_OBJECT
private slots:
    void recognisesOnlyCompleteCheckedAnswers()
    {
        const QByteArray frame = CommandFrame::build(0x03, 2, QByteArray::fromHex("0a0b08"));
        const QByteArray stream = QByteArray("\x51garbage", 8) + frame + "tail";
        Answer a;
        QVERIFY(!Answer::readAt(bytes(stream), stream.size(), a));
        QVERIFY(Answer::readAt(bytes(stream) + 8, stream.size() - 8, a));
        QVERIFY(a.cls == 0x03 && a.op == 2 && a.dataLength == 3 && a.totalLength() == 10);
        QCOMPARE(a.data, bytes(stream) + 13);
        QCOMPARE(a.lastDataByte(), 8);
        // Cut short by one byte, any byte corrupted, a length word beyond the buffer.
        QVERIFY(!Answer::readAt(bytes(frame), frame.size() - 1, a));
        for (int i = 0; i < frame.size(); ++i) {
            QByteArray bad = frame;
            bad[i] = char(bad[i] ^ 0x40);
            QVERIFY2(!Answer::readAt(bytes(bad), bad.size(), a), qPrintable(QString::number(i)));
        }
        const QByteArray longWord = QByteArray::fromHex("5156 03 f8ff 00");
        QVERIFY(!Answer::readAt(bytes(longWord), longWord.size(), a));
    }

    void identificationAnswers()
    {
        using namespace AnswerReader;
        const Answer id = read(0x00, 0, QByteArray::fromHex("0106a1b20c"));
        QCOMPARE(kindOf(id), Kind::ProductId);
        QCOMPARE(productIdText(id), QStringLiteral("a1 b2 0c "));
        const Answer v = read(0x00, 0, QByteArray::fromHex("0219") + "V2.8.7-20240105-ARV806 -A");
        QCOMPARE(kindOf(v), Kind::Version);
        QCOMPARE(versionText(v), QStringLiteral("V2.8.7-20240105-ARV806 -A"));
        const QByteArray padded = QByteArray::fromHex("0210") + "V1-2-3-4" + QByteArray(4, '\0');
        QCOMPARE(versionText(read(0x00, 0, padded)), QStringLiteral("V1-2-3-4"));
        QCOMPARE(kindOf(read(0x00, 0, QByteArray::fromHex("03"))), Kind::Other);
        QCOMPARE(kindOf(read(0x00, 0, QByteArray())), Kind::Other);
        QVERIFY(productIdText(read(0x00, 0, QByteArray::fromHex("01"))).isEmpty());
    }

    void splitsVersionTexts()
    {
        const struct
        {
            const char *version, *model, *suffix;
        } rows[] = {
            {"V2.8.7-20240105-ARV806 -A", "ARV806 ", "A"}, // four parts
            {"V1-2-ARV805-UH", "ARV805", "UH"},
            {"V1-2-ARV223 -VH-extra-x", "ARV223 ", "VH"}, // more parts
            {"V1--2---ARV611 --R-", "ARV611 ", "R"},      // empty parts dropped
            {"V1-2-ARV224 -X7", "ARV224 ", "X"},          // odd suffixes cut
            {"V1-2-ARV805-UHX", "ARV805", "U"},
            {"V1-2-ARV806 ", "", ""}, // fewer parts
            {"V2.8.7", "", ""},
            {"", "", ""},
        };
        for (const auto &r : rows) {
            const AnswerReader::ModelSuffix ms = AnswerReader::splitVersion(r.version);
            QVERIFY2(ms.model == r.model && ms.suffix == r.suffix, r.version);
        }
    }

    void statusConventions()
    {
        using namespace AnswerReader;
        auto freq = [](int code) {
            return frequencyStatus(read(0x03, 2, QByteArray::fromHex("aa") + char(code)));
        };
        QVERIFY(freq(0).status == Status::Success && freq(255).status == Status::Failure);
        QVERIFY(freq(10).status == Status::Value && freq(10).code == 10);
        QCOMPARE(freq(200).code, 200);
        const Answer mode = read(0x4D, 0, QByteArray::fromHex("0205"));
        QCOMPARE(kindOf(mode), Kind::Algorithm);
        QCOMPARE(algorithmStatus(mode).code, 5);
        QVERIFY(algorithmStatus(read(0x4D, 2, QByteArray(1, '\xff'))).status == Status::Failure);
        // Without data there is no status byte: no frequency or mode answer.
        QCOMPARE(kindOf(read(0x03, 0, QByteArray())), Kind::Other);
        QCOMPARE(kindOf(read(0x4D, 0, QByteArray())), Kind::Other);
        bool ok = false;
        QCOMPARE(kindOf(read(0x04, 2, QByteArray(1, '\0'))), Kind::Contents);
        QVERIFY(contentsStatus(read(0x04, 2, QByteArray(1, '\x07')), ok) && ok);
        QVERIFY(contentsStatus(read(0x04, 2, QByteArray(1, '\xff')), ok) && !ok);
        QVERIFY(!contentsStatus(read(0x04, 2, QByteArray(2, '\0')), ok));
        QVERIFY(!contentsStatus(read(0x04, 2, QByteArray()), ok));
        // Update answers: E2 is success only for the finish frame.
        const Answer finishE2 = read(0xFF, 6, QByteArray(1, '\xe2'));
        QCOMPARE(kindOf(finishE2), Kind::Update);
        QVERIFY(updateAnswer(finishE2).op == 6 && updateAnswer(finishE2).status == 0);
        const UpdateAnswer dataE2 = updateAnswer(read(0xFF, 2, QByteArray(1, '\xe2')));
        QVERIFY(dataE2.op == 2 && dataE2.status == 0xE2);
        QCOMPARE(updateAnswer(read(0xFF, 6, QByteArray::fromHex("ff00"))).status, 0xFF);
        QCOMPARE(kindOf(read(0xFF, 1, QByteArray())), Kind::Other);
    }
};

QTEST_APPLESS_MAIN(TestAnswer)
#include "tst_answer.moc"
