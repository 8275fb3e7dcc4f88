#include "common/Language.h"
#include "protocol/FrameParser.h"
#include "tests/support/FrameBytes.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace FrameBytes;

namespace {

QByteArray tempFrame(int tid, int raw)
{
    return frame(tid, item(0x01, le16(raw)));
}

// The 42-byte frame of a unit sending temperature, acceleration, angular velocity and the
// fusion state.
QByteArray liveFrame(int tid)
{
    return frame(tid, item(0x01, le16(2500)) + item3(0x10, tid, 0, 9806650) + item3(0x20, 1, 2, 3) +
                          item(0x80, QByteArray(1, char(0x44))));
}

// The frame with its length byte damaged on the line.
QByteArray withLength(QByteArray f, int length)
{
    f[4] = char(length);
    return f;
}

// Milliseconds the line needs for n bytes (10 bits each).
qint64 lineMs(int n, int baud)
{
    return (qint64(n) * 10000 + baud - 1) / baud;
}

QByteArray garbage(QRandomGenerator &rng, int n)
{
    QByteArray g(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        g[i] = char(rng.bounded(256));
    return g;
}

} // namespace

class TestFrameParser : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void decodesTheWorkedExampleFrame()
    {
        FrameParser p;
        p.feed(QByteArray::fromHex("515601000401 02C409D5B6"));
        QCOMPARE(p.sampleVector(), (QVector<double>{25.0}));
        QCOMPARE(p.frameValues(), (QVector<double>{1.0, 25.0}));
        QVERIFY(p.passHasTemperature() && p.passTemperature() == 25.0);
        QVERIFY(p.content(Content::Temperature) && !p.content(Content::Acceleration));
    }

    void twoFramesInOneChunkAndAnEmptyFrame()
    {
        FrameParser p;
        p.feed(frame(7, item3(0x10, 1, -1, 1000000) + item(0x01, le16(-200))) + frame(8, {}));
        QCOMPARE(p.frameValues(), (QVector<double>{7, 0.000001, -0.000001, 1.0, -2.0, 8}));
        QCOMPARE(p.valueCount(), 1); // the last frame carried no item
        QCOMPARE(p.passSeries().tids, (QVector<int>{7, 8}));
        QCOMPARE(p.history()[Quantity::AccZ].toVector(), (QVector<double>{1.0}));
    }

    // A frame or an answer split at any point is handled once, when complete. The answer's
    // 51 56 00 F0 00 also reads as a frame of length 0 whose checksum fails: it must wait.
    void splitAtEveryPointIsHandledOnceWhenComplete()
    {
        for (const QByteArray &whole :
             {frame(3, fullPayload(3)), versionAnswer("ARV-2.0.1-ARV611 -N-extra-long")}) {
            for (int cut = 1; cut < whole.size(); ++cut) {
                FrameParser p;
                p.feed(whole.left(cut));
                QVERIFY(p.sampleVector().isEmpty() && p.answers().empty());
                p.feed(whole.mid(cut));
                QCOMPARE(p.passSeries().tids.size() + int(p.answers().size()), 1);
                QCOMPARE(p.sampleVector().size(), p.answers().empty() ? 33 : 0);
                QCOMPARE(p.bufferedBytes(), 0);
            }
        }
    }

    void garbageAndBadChecksumAreDropped()
    {
        FrameParser p;
        QByteArray bad = tempFrame(1, 100);
        bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x01);
        p.feed(QByteArray("\x00\x51\x51\x10\x56\x51\x56\x02\x03\x04", 10) + tempFrame(1, 2500));
        QCOMPARE(p.statistics().bytesDiscarded, quint64(10));
        QCOMPARE(p.sampleVector(), (QVector<double>{25.0}));
        const quint64 failures = p.statistics().checksumFailures;
        p.feed(bad + tempFrame(2, 200));
        QCOMPARE(p.passSeries().tids, (QVector<int>{2}));
        QCOMPARE(p.statistics().checksumFailures, failures + 1);
        QCOMPARE(p.bufferedBytes(), 0);
    }

    void malformedFramesPublishNothing_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("known item, wrong length") << item(0x01, QByteArray(3, '\0'));
        QTest::newRow("item overruns the payload") << QByteArray("\x01\x02\x00", 3);
        QTest::newRow("lone ID byte at the end") << QByteArray(1, '\x01');
        QTest::newRow("unknown item overruns") << QByteArray("\x99\x05\x00", 3);
    }

    void malformedFramesPublishNothing()
    {
        QFETCH(QByteArray, tail);
        FrameParser p;
        p.feed(frame(1, item3(0x10, 1, 2, 3) + tail) + tempFrame(2, 100));
        QCOMPARE(p.sampleVector(), (QVector<double>{1.0}));
        QCOMPARE(p.passSeries().tids, (QVector<int>{2}));
        QVERIFY(p.history()[Quantity::AccX].isEmpty());
        QCOMPARE(p.statistics().malformedFrames, quint64(1));
    }

    void unknownItemAndLargeAccelerationAreReported()
    {
        FrameParser p;
        QTest::ignoreMessage(QtDebugMsg, "出现了错误的帧数 153");
        p.feed(frame(1, item(0x01, le16(100)) + item(0x99, "abc") + item(0x01, le16(200))));
        QCOMPARE(p.sampleVector(), (QVector<double>{1.0, 2.0}));
        QCOMPARE(p.columnNames(), (QStringList{"温度(°C)", "温度(°C)"}));
        QTest::ignoreMessage(QtDebugMsg, "加速度出现问题");
        p.feed(frame(2, item3(0x10, 1000500000, 0, 0)));
        QCOMPARE(p.sampleVector().value(0), 1000.5);
    }

    void everyItemKindGoesToItsSeriesAndReadOuts()
    {
        FrameParser p;
        p.setRecording(true);
        p.feed(frame(9, fullPayload(9)));
        const SampleHistory &h = p.history();
        QCOMPARE(p.valueCount(), 34);
        QCOMPARE(h[Quantity::Roll].last(), -2.0);
        QCOMPARE(h[Quantity::Yaw].last(), 3.000009);
        QCOMPARE(h[Quantity::Q0].last(), 1.0);
        QCOMPARE(h[Quantity::Latitude].toVector(), (QVector<double>{31.1234567, 31.1234567891}));
        QCOMPARE(h[Quantity::Altitude].at(1), -1.0);
        QCOMPARE(h[Quantity::VelocityEast].last(), -2.0);
        QCOMPARE(p.passSeries()[Quantity::MagStrengthY], (QVector<double>{-50.0}));
        QCOMPARE(p.passSeries()[Quantity::GyroX], (QVector<double>{0.000009}));
        QCOMPARE(p.utcDigits(), (QStringList{QStringLiteral("20240105123045123")}));
        QVERIFY(p.passHasFusion() && p.passFusion().byte == 0x44);
        QVERIFY(p.passHasUtc() && p.passUtc().year == 2024 && p.passUtc().millisecond == 123);
        for (Content c : {Content::SamplingTimestamp, Content::SyncTimestamp, Content::Magnetic,
                          Content::Quaternion, Content::Utc, Content::Location, Content::Velocity})
            QVERIFY(p.content(c));
        QCOMPARE(p.lastLayout()->groupNames(true).size(), 14);
        // The quaternion and per-pass series start empty in every pass; an unnamed fusion
        // state is no fusion state.
        p.feed(tempFrame(10, 0) + frame(11, item(0x80, QByteArray(1, '\x33'))));
        QVERIFY(h[Quantity::Q0].isEmpty() && p.passSeries()[Quantity::GyroX].isEmpty() &&
                p.utcDigits().isEmpty());
        QCOMPARE(h[Quantity::AccX].size(), 1);
        QVERIFY(!p.passHasFusion());
    }

    // Frames of different item sets in one pass keep their own layout, values and UTC digits;
    // frames of one item set share a layout, in later passes too.
    void eachFrameOfAPassKeepsItsOwnLayout()
    {
        const QByteArray utc =
            item(0x50, le32(5) + le16(2024) + QByteArray("\x01\x05\x09\x03\x07", 5));
        FrameParser p;
        p.setRecording(true);
        p.feed(tempFrame(1, 100) + frame(2, item3(0x10, 1, 2, 3) + utc) + tempFrame(3, 300));
        const std::vector<PassFrame> &f = p.frames();
        QCOMPARE(f.size(), std::size_t(3));
        QVERIFY(f[0].layout == f[2].layout && f[1].layout != f[0].layout);
        QCOMPARE(f[1].layout->columnNames(false),
                 (QStringList{"X Acceleration", "Y Acceleration", "Z Acceleration", "UTC"}));
        QCOMPARE(f[1].valueCount, 4);
        QCOMPARE(p.values(f[1])[2], 0.000003);
        QCOMPARE(p.utcDigits(f[1]).toString(), QStringLiteral("20240105090307005"));
        QVERIFY(p.utcDigits(f[0]).isEmpty());
        QCOMPARE(f[2].tid, 3);
        QCOMPARE(p.frameValues().at(f[2].valuesAt - 1), 3.0); // the TID stands before
        QCOMPARE(p.values(f[2])[0], 3.0);
        QCOMPARE(p.lastLayout(), f[2].layout);

        const ItemLayout *temperature = f[0].layout;
        p.setRecording(false);
        p.feed(frame(4, utc) + tempFrame(5, 0));
        QCOMPARE(p.frames()[1].layout, temperature);
        QVERIFY(p.utcDigits(p.frames()[0]).isEmpty()); // not recording
        QVERIFY(p.frames()[0].layout->itemCount() == 1 &&
                p.frames()[0].layout->itemIds()[0] == 0x50);
    }

    // A line that keeps producing new item sets: old layouts are dropped, the last frame's
    // stays (its names are still in use).
    void layoutsStayBoundedAndTheLastOneKept()
    {
        FrameParser p;
        for (int i = 0; i < FrameParser::MaxLayouts + 50; ++i) {
            QByteArray payload;
            for (int bit = 0; bit < 9; ++bit)
                payload += (i >> bit) & 1 ? item(0x51, le32(bit)) : item(0x01, le16(bit));
            p.feed(frame(i, payload));
        }
        const ItemLayout *last = p.lastLayout();
        const QStringList names = p.columnNames();
        p.feed(QByteArray());                     // a pass that drops layouts
        p.feed(frame(1000, item(0x01, le16(1)))); // a new one
        QCOMPARE(last->columnNames(true), names);
        QCOMPARE(p.columnNames(), QStringList{"温度(°C)"});
    }

    void namesFollowTheLanguage()
    {
        const QByteArray payload =
            item(0x01, le16(1)) + item3(0x10, 0, 0, 0) + item3(0x20, 0, 0, 0);
        FrameParser p;
        Language::setChinese(false);
        p.feed(frame(1, payload));
        QCOMPARE(p.columnNames().first(), QStringLiteral("Temperature(°C)"));
        QVERIFY(p.namesChanged());
        p.feed(frame(2, payload));
        QVERIFY(!p.namesChanged());
        Language::setChinese(true);
        p.feed(frame(3, payload));
        QVERIFY(p.namesChanged());
        QCOMPARE(p.columnNames().first(), QStringLiteral("温度(°C)"));
    }

    void identificationAnswers()
    {
        FrameParser p;
        p.feed(productIdAnswer(QByteArray::fromHex("0a0b0c")));
        QCOMPARE(p.answers()[0].text, QStringLiteral("0a 0b 0c "));
        QVERIFY(p.identification().productId && !p.identification().complete);
        p.feed(versionAnswer("ARV-2.1-ARV223 -UH") + tempFrame(5, 100));
        QCOMPARE(p.productModel(), QStringLiteral("ARV223 "));
        QCOMPARE(p.versionSuffix(), QStringLiteral("UH"));
        QVERIFY(p.answers()[0].forbidden);
        QCOMPARE(p.passSeries().tids, (QVector<int>{5}));
        p.feed(frequencyAnswer(10) + algorithmAnswer(2));
        QCOMPARE(p.answers().size(), std::size_t(2));
        QCOMPARE(p.answers()[0].text, QStringLiteral("400 Hz"));
        QCOMPARE(p.answers()[1].text, QStringLiteral("VRU"));
        QVERIFY(p.identification().complete);
        p.feed(QByteArray()); // nothing is found twice
        QVERIFY(p.answers().empty());
        p.feed(versionAnswer("ARV-1.0-ARV805-X7"));
        QCOMPARE(p.versionSuffix(), QStringLiteral("X"));
        QVERIFY(p.answers()[0].forbidden);
    }

    void configurationAndUpdateAnswers()
    {
        FrameParser p;
        p.feed(frequencyAnswer(0) + frequencyAnswer(255) + algorithmAnswer(0) +
               answer(0x04, 0, QByteArray(1, '\xFF')) + answer(0x04, 0, QByteArray(1, '\x00')) +
               answer(0x04, 0, QByteArray(2, '\x00')) + frequencyAnswer(20));
        using T = AnswerEvent::Type;
        const auto &a = p.answers();
        QCOMPARE(a.size(), std::size_t(6));
        QVERIFY(a[0].type == T::FrequencySet && a[0].success);
        QVERIFY(a[1].type == T::FrequencySet && !a[1].success);
        QVERIFY(a[2].type == T::AlgorithmSet && a[2].success);
        QVERIFY(a[3].type == T::Contents && !a[3].success);
        QVERIFY(a[4].type == T::Contents && a[4].success);
        QVERIFY(a[5].type == T::Frequency && a[5].rate == 0);
        // Update answers count only in update mode.
        const QByteArray ok = answer(0xFF, 6, QByteArray(1, char(226)));
        p.feed(ok);
        QVERIFY(p.answers().empty());
        p.setUpdateMode(true);
        p.feed(ok);
        QVERIFY(p.answers().size() == 1 && p.answers()[0].op == 6 && p.answers()[0].status == 0);
        QCOMPARE(p.bufferedBytes(), 0);
    }

    // While a transfer runs only update answers count: frames around them (one whose TID's low
    // byte reads as class 0xFF among them) and identification answers are skipped, nothing
    // reaches the series; a change of mode drops what the other mode left; frames decode
    // again afterwards, and a new session starts outside update mode.
    void updateModeScansOnlyForUpdateAnswers()
    {
        FrameParser p;
        p.feed(liveFrame(1));
        QCOMPARE(p.framesInPass(), 1);
        const QByteArray ack = answer(0xFF, 2, QByteArray(1, '\0'));
        const QByteArray refused = answer(0xFF, 2, QByteArray(1, char(0xE4)));
        p.setUpdateMode(true);
        const LinkStatistics before = p.statistics();
        p.feed(liveFrame(0x2FF) + ack + versionAnswer("ARV-2.1-ARV223 -UH") + liveFrame(3) +
               refused + liveFrame(4).left(20));
        QCOMPARE(p.framesInPass(), 0);
        QVERIFY(p.sampleVector().isEmpty() && p.frameValues().isEmpty());
        QCOMPARE(p.history()[Quantity::AccX].size(), 1);
        QCOMPARE(p.statistics().frames, before.frames);
        QCOMPARE(p.statistics().checksumFailures, before.checksumFailures);
        QCOMPARE(p.answers().size(), std::size_t(2));
        QVERIFY(p.answers()[0].op == 2 && p.answers()[0].status == 0);
        QVERIFY(p.answers()[1].op == 2 && p.answers()[1].status == 0xE4);
        QVERIFY(p.productModel().isEmpty() && !p.identification().version);

        p.feed(ack.left(4));
        p.setUpdateMode(false); // the answer's start goes with the mode
        QCOMPARE(p.bufferedBytes(), 0);
        p.feed(ack.mid(4) + liveFrame(5));
        QVERIFY(p.answers().empty());
        QCOMPARE(p.passSeries().tids, (QVector<int>{5}));

        p.feed(liveFrame(6).left(10));
        p.setUpdateMode(true);
        QCOMPARE(p.bufferedBytes(), 0);
        p.reset();
        QVERIFY(!p.updateMode());
        p.feed(liveFrame(7));
        QCOMPARE(p.framesInPass(), 1);
    }

    // Only a successful frequency or algorithm setting makes the queries read the value back.
    void successfulSettingsRestartTheQueries_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("frequency set") << frequencyAnswer(0) << true;
        QTest::newRow("frequency refused") << frequencyAnswer(255) << false;
        QTest::newRow("frequency value") << frequencyAnswer(8) << false;
        QTest::newRow("algorithm set") << algorithmAnswer(0) << true;
        QTest::newRow("algorithm value") << algorithmAnswer(2) << false;
        QTest::newRow("contents set") << answer(0x04, 0, QByteArray(1, '\x00')) << false;
        QTest::newRow("version") << versionAnswer("ARV-2.1-ARV223 -UH") << false;
    }

    void successfulSettingsRestartTheQueries()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, restarts);
        FrameParser p;
        p.feed(answer);
        QCOMPARE(p.answers().size(), std::size_t(1));
        QCOMPARE(p.answers()[0].restartsQueries(), restarts);
    }

    void tidGapsAndHistoryTrim()
    {
        FrameParser p;
        p.feed(tempFrame(65534, 0) + tempFrame(65535, 0) + tempFrame(0, 0) + tempFrame(5, 0));
        QCOMPARE(p.statistics().tidGaps, quint64(1));
        QCOMPARE(p.statistics().framesLost, quint64(4));
        p.reset();
        QVERIFY(p.statistics().frames == 0 && !p.content(Content::AnyFrame));
        // Trimmed once, a series keeps the bound by itself; a new trim sets a new one.
        HistorySeries s;
        s.append(-1);
        s.trim(1000);
        for (int i = 0; i < 5000; ++i)
            s.append(i);
        QCOMPARE(s.size(), 1000);
        QCOMPARE(s.at(0), 4000.0);
        QCOMPARE(s.toVector().last(), 4999.0);
        s.trim(10);
        s.append(5000);
        QCOMPARE(s.toVector(),
                 (QVector<double>{4991, 4992, 4993, 4994, 4995, 4996, 4997, 4998, 4999, 5000}));
        SampleHistory h;
        for (int i = 0; i < 1500; ++i)
            h[Quantity::Roll].append(i);
        h.trim(1000);
        for (int i = 0; i < 1500; ++i)
            h[Quantity::Yaw].append(i);
        QVERIFY(h[Quantity::Roll].size() == 1000 && h[Quantity::Yaw].size() == 1000);
        QCOMPARE(h[Quantity::Yaw].at(0), 500.0);
    }

    // Frames and answers interleaved with random garbage, cut into random chunks: every
    // frame and every answer is handled exactly once, in order.
    // Damaged length bytes among them, and a clock that runs as the line carries the bytes
    // (jitter below the margin), with pauses of the line between whole frames.
    void randomStreamPropertyTest_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("damaged");
        for (quint32 seed : {1u, 2u, 3u, 42u, 4711u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed << false;
        for (quint32 seed : {5u, 6u, 99u})
            QTest::newRow(qPrintable(QStringLiteral("%1, damaged lengths").arg(seed)))
                << seed << true;
    }

    void randomStreamPropertyTest()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, damaged);
        QLoggingCategory::setFilterRules(QStringLiteral("arv.parser.items.debug=false"));
        QRandomGenerator rng(seed);
        QByteArray stream;
        QSet<int> boundaries; // where the line may pause: between whole frames and answers
        QVector<int> wantTids, tids;
        QVector<double> wantSamples, samples;
        QStringList wantIds, ids;
        for (int i = 0; i < 600; ++i) {
            boundaries.insert(stream.size());
            if (rng.bounded(4) == 0)
                stream += garbage(rng, int(rng.bounded(40)));
            if (damaged && rng.bounded(6) == 0) {
                // Not published: its length byte claims more than it has.
                const QByteArray f = liveFrame(i);
                stream += withLength(f, f[4] + 1 + int(rng.bounded(200)));
            } else if (rng.bounded(5) == 0) {
                const QByteArray id = QByteArray::number(i);
                stream += productIdAnswer(id);
                wantIds << QString::fromLatin1(id.toHex(' ')) + QLatin1Char(' ');
            } else if (rng.bounded(2) == 0) {
                FrameParser one;
                one.feed(frame(i, fullPayload(i)));
                stream += frame(i, fullPayload(i));
                wantTids << i;
                wantSamples += one.sampleVector();
            } else {
                stream += tempFrame(i, i);
                wantTids << i;
                wantSamples << i * 0.01;
            }
        }
        // Padding that cannot begin anything decides a garbage header waiting for a long answer.
        boundaries.insert(stream.size());
        stream += QByteArray(9000, '\0');
        qint64 line = 0; // when the line has carried the bytes so far
        qint64 now = 0;  // when the parser sees them: a little later, by a varying delay
        const int baud = 115200;
        FrameParser p;
        p.setClock([&] { return now; });
        p.setLineBaudRate(baud);
        for (int pos = 0, n = 0; pos < stream.size(); pos += n) {
            n = 1 + int(rng.bounded(300));
            if (damaged && boundaries.contains(pos) && rng.bounded(3) == 0)
                line += rng.bounded(2000); // the line pauses between two frames
            line += lineMs(n, baud);
            now = std::max(now, line + rng.bounded(FrameParser::StallMarginMs / 2));
            p.feed(stream.mid(pos, n));
            tids += p.passSeries().tids;
            samples += p.sampleVector();
            for (const AnswerEvent &e : p.answers())
                ids << e.text;
            QVERIFY(p.bufferedBytes() < FrameParser::BufferLimit);
        }
        QCOMPARE(tids, wantTids);
        QVERIFY(samples == wantSamples);
        QCOMPARE(ids, wantIds);
        QCOMPARE(p.bufferedBytes(), 0);
        QLoggingCategory::setFilterRules(QString());
    }

    // A slow stream whose one frame has a damaged length byte (0x23 -> 0xF4): the frames behind
    // it are held back only as long as the line would need for the length it announces, plus
    // the margin, and then each comes in the pass that brings it.
    void damagedLengthByteDoesNotHoldTheStreamBack_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("periodMs");
        QTest::newRow("921600 baud, 1 Hz") << 921600 << 1000;
        QTest::newRow("9600 baud, 1 Hz") << 9600 << 1000;
        QTest::newRow("115200 baud, 10 Hz") << 115200 << 100;
    }

    void damagedLengthByteDoesNotHoldTheStreamBack()
    {
        QFETCH(int, baud);
        QFETCH(int, periodMs);
        qint64 now = 0;
        FrameParser p;
        p.setClock([&] { return now; });
        p.setLineBaudRate(baud);
        const qint64 timeout = p.stallTimeoutMs(0xF4 + 7);
        QCOMPARE(timeout, 2 * lineMs(0xF4 + 7, baud) + 100);
        QVector<int> published;
        qint64 heldSince = -1;
        for (int tid = 0; tid < 12; ++tid) {
            now = tid * periodMs;
            p.feed(tid == 3 ? withLength(liveFrame(tid), 0xF4) : liveFrame(tid));
            published += p.passSeries().tids;
            if (tid == 3)
                heldSince = now;
            // Every intact frame arrives in the pass of its own arrival once the wait is up.
            if (tid > 3 && now - heldSince > timeout)
                QCOMPARE(published.last(), tid);
        }
        QCOMPARE(published, (QVector<int>{0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11}));
        QCOMPARE(p.statistics().stalledCandidates, quint64(1));
        QCOMPARE(p.statistics().tidGaps, quint64(1));
    }

    // Without new bytes nothing is given up: a frame whose end is late keeps waiting while the
    // line is silent, and is taken whole when the rest arrives.
    void aSilentLineDropsNothing()
    {
        qint64 now = 0;
        FrameParser p;
        p.setClock([&] { return now; });
        p.setLineBaudRate(921600);
        const QByteArray f = liveFrame(1);
        p.feed(f.left(20));
        now = 60000;
        p.feed(QByteArray());
        p.feed(f.mid(20));
        QCOMPARE(p.passSeries().tids, (QVector<int>{1}));
        QCOMPARE(p.statistics().stalledCandidates, quint64(0));
    }

    void bufferStaysBoundedOnEndlessGarbage()
    {
        QRandomGenerator rng(7);
        FrameParser p;
        int largest = 0;
        for (int i = 0; i < 2200; ++i) {
            // Random bytes, then headers announcing the longest answer waited for, and longer.
            p.feed(i < 2000
                       ? garbage(rng, 512)
                       : QByteArray("\x51\x56\x03\xF8\x07\x51\x56\xFF\xFF\xFF", 10).repeated(50));
            largest = std::max(largest, p.bufferedBytes());
        }
        QVERIFY2(largest < FrameParser::MaxAnswerData + 7 + 512,
                 qPrintable(QString::number(largest)));
        p.feed(QByteArray(300, '\0') + tempFrame(1, 100));
        QCOMPARE(p.passSeries().tids, (QVector<int>{1}));
    }
};

QTEST_GUILESS_MAIN(TestFrameParser)
#include "tst_frameparser.moc"
