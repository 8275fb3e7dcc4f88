#include "protocol/Answer.h"
#include "protocol/CommandFrame.h"

#include <QtTest>

namespace {

const std::uint8_t *bytes(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

// An answer as the unit would send it.
QByteArray answer(std::uint8_t cls, std::uint8_t op, const QByteArray &data)
{
    return CommandFrame::build(cls, op, data);
}

// Reads an answer from a frame kept alive for the rest of the test (Answer points into it).
Answer read(const QByteArray &frame)
{
    static QList<QByteArray> keep;
    keep.append(frame);
    Answer a;
    if (!Answer::readAt(bytes(keep.last()), frame.size(), a))
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
        const QByteArray frame = answer(0x03, 2, QByteArray::fromHex("0a0b08"));
        const QByteArray stream = QByteArray("\x51garbage", 8) + frame + "tail";
        Answer a;
        QVERIFY(!Answer::readAt(bytes(stream), stream.size(), a));
        QVERIFY(Answer::readAt(bytes(stream) + 8, stream.size() - 8, a));
        QCOMPARE(int(a.cls), 0x03);
        QCOMPARE(int(a.op), 2);
        QCOMPARE(a.dataLength, 3);
        QCOMPARE(a.totalLength(), 10);
        QCOMPARE(a.data, bytes(stream) + 13);
        QCOMPARE(a.lastDataByte(), 8);

        // One byte short: the second checksum byte is missing.
        QVERIFY(!Answer::readAt(bytes(frame), frame.size() - 1, a));
        for (int i = 0; i < frame.size(); ++i) {
            QByteArray bad = frame;
            bad[i] = char(bad[i] ^ 0x40);
            QVERIFY2(!Answer::readAt(bytes(bad), bad.size(), a), qPrintable(QString::number(i)));
        }
        // A length word announcing more data than the buffer holds.
        const QByteArray longWord = QByteArray::fromHex("5156 03 f8ff 00");
        QVERIFY(!Answer::readAt(bytes(longWord), longWord.size(), a));
    }

    void identificationAnswers()
    {
        using namespace AnswerReader;
        const Answer id = read(answer(0x00, 0, QByteArray::fromHex("0106a1b20c")));
        QCOMPARE(kindOf(id), Kind::ProductId);
        QCOMPARE(productIdText(id), QStringLiteral("a1 b2 0c "));

        QByteArray versionData = QByteArray::fromHex("0219") + "V2.8.7-20240105-ARV806 -A";
        const QByteArray vframe = answer(0x00, 0, versionData);
        const Answer v = read(vframe);
        QCOMPARE(kindOf(v), Kind::Version);
        QCOMPARE(versionText(v), QStringLiteral("V2.8.7-20240105-ARV806 -A"));
        const ModelSuffix ms = splitVersion(versionText(v));
        QCOMPARE(ms.model, QStringLiteral("ARV806 "));
        QCOMPARE(ms.suffix, QStringLiteral("A"));

        const Answer padded =
            read(answer(0x00, 0, QByteArray::fromHex("0210") + "V1-2-3-4" + QByteArray(4, '\0')));
        QCOMPARE(versionText(padded), QStringLiteral("V1-2-3-4"));

        QCOMPARE(kindOf(read(answer(0x00, 0, QByteArray::fromHex("03")))), Kind::Other);
        QCOMPARE(kindOf(read(answer(0x00, 0, QByteArray()))), Kind::Other);
        QVERIFY(productIdText(read(answer(0x00, 0, QByteArray::fromHex("01")))).isEmpty());
    }

    void splitsVersionTexts_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("four parts") << "V2.8.7-20240105-ARV806 -A"
                                    << "ARV806 "
                                    << "A";
        QTest::newRow("two-letter suffix") << "V1-2-ARV805-UH"
                                           << "ARV805"
                                           << "UH";
        QTest::newRow("more parts") << "V1-2-ARV223 -VH-extra-x"
                                    << "ARV223 "
                                    << "VH";
        QTest::newRow("empty parts dropped") << "V1--2---ARV611 --R-"
                                             << "ARV611 "
                                             << "R";
        QTest::newRow("odd suffix cut") << "V1-2-ARV224 -X7"
                                        << "ARV224 "
                                        << "X";
        QTest::newRow("odd long U suffix cut") << "V1-2-ARV805-UHX"
                                               << "ARV805"
                                               << "U";
        QTest::newRow("three parts") << "V1-2-ARV806 "
                                     << ""
                                     << "";
        QTest::newRow("one part") << "V2.8.7"
                                  << ""
                                  << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }

    void splitsVersionTexts()
    {
        QFETCH(QString, version);
        const AnswerReader::ModelSuffix ms = AnswerReader::splitVersion(version);
        QTEST(ms.model, "model");
        QTEST(ms.suffix, "suffix");
    }

    void statusConventions()
    {
        using namespace AnswerReader;
        auto freq = [](int code) {
            return frequencyStatus(read(answer(0x03, 2, QByteArray::fromHex("aa") + char(code))));
        };
        QCOMPARE(int(freq(0).status), int(Status::Success));
        QCOMPARE(int(freq(255).status), int(Status::Failure));
        QCOMPARE(int(freq(10).status), int(Status::Value));
        QCOMPARE(freq(10).code, 10);
        QCOMPARE(freq(200).code, 200);

        const Answer mode = read(answer(0x4D, 0, QByteArray::fromHex("0205")));
        QCOMPARE(kindOf(mode), Kind::Algorithm);
        QCOMPARE(algorithmStatus(mode).code, 5);
        QCOMPARE(int(algorithmStatus(read(answer(0x4D, 2, QByteArray(1, '\xff')))).status),
                 int(Status::Failure));
        // Without data there is no status byte: no frequency or mode answer.
        QCOMPARE(kindOf(read(answer(0x03, 0, QByteArray()))), Kind::Other);
        QCOMPARE(kindOf(read(answer(0x4D, 0, QByteArray()))), Kind::Other);

        bool ok = false;
        QCOMPARE(kindOf(read(answer(0x04, 2, QByteArray(1, '\0')))), Kind::Contents);
        QVERIFY(contentsStatus(read(answer(0x04, 2, QByteArray(1, '\x07'))), ok) && ok);
        QVERIFY(contentsStatus(read(answer(0x04, 2, QByteArray(1, '\xff'))), ok) && !ok);
        QVERIFY(!contentsStatus(read(answer(0x04, 2, QByteArray(2, '\0'))), ok));
        QVERIFY(!contentsStatus(read(answer(0x04, 2, QByteArray())), ok));
    }

    void updateAnswers()
    {
        using namespace AnswerReader;
        const Answer finishE2 = read(answer(0xFF, 6, QByteArray(1, '\xe2')));
        QCOMPARE(kindOf(finishE2), Kind::Update);
        QCOMPARE(updateAnswer(finishE2).op, 6);
        QCOMPARE(updateAnswer(finishE2).status, 0);
        const UpdateAnswer dataE2 = updateAnswer(read(answer(0xFF, 2, QByteArray(1, '\xe2'))));
        QCOMPARE(dataE2.op, 2);
        QCOMPARE(dataE2.status, 0xE2);
        QCOMPARE(updateAnswer(read(answer(0xFF, 6, QByteArray::fromHex("ff00")))).status, 0xFF);
        QCOMPARE(kindOf(read(answer(0xFF, 1, QByteArray()))), Kind::Other);
    }
};

QTEST_APPLESS_MAIN(TestAnswer)
#include "tst_answer.moc"
