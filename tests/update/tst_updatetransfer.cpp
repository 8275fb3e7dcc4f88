// The update transfer on a fake clock: acknowledgements, resends, time-outs, the unit's
// statuses, abrupt endings; then against the simulated unit's core, without a port.

#include "common/Language.h"
#include "protocol/Answer.h"
#include "sim/FirmwareImage.h"
#include "sim/UnitCore.h"
#include "update/UpdateImage.h"
#include "update/UpdateTransfer.h"

#include <QtTest>

#include <functional>

namespace {

// A clock that moves only when told to, firing the armed timer on the way.
class FakeTimer : public UpdateTimer
{
public:
    qint64 nowMs() const override { return now; }
    void start(int ms) override { due = now + ms; }
    void stop() override { due = -1; }
    void advance(qint64 ms)
    {
        const qint64 until = now + ms;
        while (due >= 0 && due <= until) {
            now = due;
            due = -1;
            fire();
        }
        now = std::max(now, until); // handlers may have moved it on
    }
    qint64 now = 0;
    qint64 due = -1;
};

struct Sent
{
    QByteArray frame;
    quint64 ticket;
    qint64 atMs;
};

// A transfer on a fake clock with everything it says recorded. By default each write is
// reported done at once, from inside the handler.
struct Rig
{
    FakeTimer *timer = new FakeTimer;
    UpdateTransfer transfer{std::unique_ptr<UpdateTimer>(timer)};
    QVector<Sent> sent;
    QVector<int> percents;
    QVector<UpdateOutcome> outcomes;
    QStringList resendTexts;
    std::function<void(const QByteArray &, quint64)> onFrame =
        [this](const QByteArray &, quint64 t) { transfer.frameWritten(t); };

    Rig()
    {
        QObject::connect(&transfer, &UpdateTransfer::frameReady,
                         [this](const QByteArray &f, quint64 t) {
                             sent.append({f, t, timer->now});
                             if (onFrame)
                                 onFrame(f, t);
                         });
        QObject::connect(&transfer, &UpdateTransfer::progressChanged,
                         [this](const UpdateProgress &p) { percents << p.percent; });
        QObject::connect(&transfer, &UpdateTransfer::finished,
                         [this](const UpdateOutcome &o) { outcomes << o; });
        QObject::connect(&transfer, &UpdateTransfer::resending,
                         [this](const QString &t) { resendTexts << t; });
    }
    int op() const { return sent.last().frame.at(3) & 7; }
    // Acknowledges the frame sent last as the unit does: its operation code, status 0.
    void ack() { transfer.answerReceived(op(), 0x00); }
    void ackUpToFinish()
    {
        while (transfer.isRunning() && op() != 6)
            ack();
    }
};

const QByteArray Image1028 = QByteArray(1028, 'i');

} // namespace

class TestUpdateTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("arv.update.info=false"); }
    void init() { Language::setChinese(false); }

    void acknowledgedTransferSucceeds()
    {
        Rig r;
        for (const QByteArray &refused :
             {QByteArray(), QByteArray(14, 'x'), QByteArray(UpdateImage::MaxSize + 1, 'x')})
            QVERIFY(!r.transfer.start(refused));
        QVERIFY(r.sent.isEmpty() && r.percents.isEmpty());
        QVERIFY(r.transfer.start(Image1028));
        QVERIFY(!r.transfer.start(Image1028)); // a second start while it runs does nothing
        for (int i = 0; i < 5; ++i) {
            r.timer->advance(50);
            r.ack();
        }
        QCOMPARE(r.transfer.progress().bytesSent, qint64(1028));
        QCOMPARE(r.transfer.progress().bytesPerSecond, 1028 * 1000.0 / 250);
        r.transfer.answerReceived(6, 0xE2); // how units accept the finish frame
        QVector<QByteArray> frames;
        for (const Sent &s : r.sent)
            frames << s.frame;
        QCOMPARE(frames, UpdateImage::frames(Image1028));
        QCOMPARE(r.percents, QVector<int>({0, 0, 20, 40, 60, 80, 100}));
        QCOMPARE(r.outcomes.size(), 1);
        QVERIFY(r.outcomes[0].success() && r.outcomes[0].framesAcknowledged == 6);
        // Nothing after the end: no second outcome, no frame, no timer.
        r.transfer.answerReceived(2, 0xE1);
        r.transfer.cancel();
        r.timer->advance(60000);
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.sent.size(), 6);
        QVERIFY(r.transfer.start(Image1028)); // it may run again
    }

    // Three lost answers on every frame still succeed; the sendings of a frame are one
    // time-out apart (10 s for the finish frame).
    void resendsArePerFrame()
    {
        Rig r;
        QVERIFY(r.transfer.start(Image1028));
        for (int frame = 0; frame < 6; ++frame) {
            const int interval = frame == 5 ? 10000 : 5000;
            const qint64 first = r.timer->now;
            r.timer->advance(4 * interval - 1);
            QCOMPARE(r.sent.size(), 4 * (frame + 1));
            for (int i = 1; i <= 3; ++i) {
                QCOMPARE(r.sent[4 * frame + i].frame, r.sent[4 * frame].frame);
                QCOMPARE(r.sent[4 * frame + i].atMs, first + i * interval);
            }
            r.ack();
        }
        QCOMPARE(r.outcomes.size(), 1);
        QVERIFY(r.outcomes[0].success());
        QCOMPARE(r.resendTexts.size(), 18);
        QCOMPARE(r.resendTexts[5], QString("No answer to data frame 1 of 4: resend 3 of 3"));
        QCOMPARE(r.outcomes[0].summary(), QString("Update successful! (18 resends)"));
    }

    void timeOutAfterFourSendings_data()
    {
        QTest::addColumn<bool>("atFinish");
        QTest::addColumn<bool>("writeReported");
        QTest::newRow("start frame") << false << true;
        QTest::newRow("start frame, write never reported") << false << false;
        QTest::newRow("finish frame") << true << true;
    }
    void timeOutAfterFourSendings()
    {
        QFETCH(bool, atFinish);
        QFETCH(bool, writeReported);
        Rig r;
        if (!writeReported)
            r.onFrame = nullptr;
        QVERIFY(r.transfer.start(Image1028));
        if (atFinish)
            r.ackUpToFinish();
        const int before = r.sent.size() - 1;
        const int interval = atFinish ? 10000 : 5000;
        r.timer->advance(4 * interval - 1);
        QCOMPARE(r.sent.size() - before, 4);
        QVERIFY(r.outcomes.isEmpty());
        r.timer->advance(1);
        r.timer->advance(100000);
        QCOMPARE(r.sent.size() - before, 4);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(o.ending, UpdateOutcome::Ending::TimedOut);
        QCOMPARE(o.title, QString("warning"));
        if (writeReported)
            QCOMPARE(r.resendTexts.last(),
                     QString("No answer to %1: resend 3 of 3")
                         .arg(atFinish ? "the finish frame" : "the start frame"));
    }

    // Every error status of the unit ends the transfer with its message box; the finish
    // frame's 0xE2 is a success, another frame's is not. Statuses the unit does not send
    // change nothing.
    void unitStatuses_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<bool>("warning");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, int op, int status, bool zh, bool warning,
                            const char *title, const char *text) {
            QTest::newRow(name) << op << status << zh << warning << QString::fromUtf8(title)
                                << QString::fromUtf8(text);
        };
        row("A0", 2, 0xA0, false, false, "information", "same ver!");
        row("A0 zh", 2, 0xA0, true, true, "提醒", "same ver!");
        row("A1", 1, 0xA1, false, false, "information", "update not start!");
        row("E0", 2, 0xE0, false, true, "information", "parameter error!");
        row("E1", 2, 0xE1, false, true, "error", "internal error!");
        row("E2 op 2", 2, 0xE2, false, true, "error", "final check error!");
        row("E3", 1, 0xE3, false, true, "error", "file header check error!");
        row("E4", 2, 0xE4, true, true, "错误", "pack num error!");
        row("FF op 6", 6, 0xFF, false, false, "information", "Upgrade failed!");
        row("FF op 2", 2, 0xFF, false, false, "information", "Ack failed!");
        row("FF op 2 zh", 2, 0xFF, true, true, "提醒", "Ack 错误!");
        row("E2 op 6", 6, 0xE2, false, false, "information", "Update successful!");
        row("00 op 6", 6, 0x00, true, false, "提醒", "升级成功!");
    }
    void unitStatuses()
    {
        QFETCH(int, op);
        QFETCH(int, status);
        QFETCH(bool, chinese);
        QFETCH(bool, warning);
        QFETCH(QString, title);
        QFETCH(QString, text);
        Language::setChinese(chinese);
        Rig r;
        QVERIFY(r.transfer.start(Image1028));
        if (op == 6)
            r.ackUpToFinish();
        else if (op == 2)
            r.ack();
        for (int ignored : {-1, 0x01, 0x7F, 0xE5})
            r.transfer.answerReceived(op, ignored);
        QVERIFY(r.outcomes.isEmpty());
        const int sentBefore = r.sent.size();
        r.transfer.answerReceived(op, status);
        r.timer->advance(100000);
        QCOMPARE(r.sent.size(), sentBefore);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(o.ending, op == 6 && status != 0xFF ? UpdateOutcome::Ending::Success
                                                     : UpdateOutcome::Ending::UnitError);
        QCOMPARE(o.status, status);
        QCOMPARE(o.box == UpdateOutcome::Box::Warning, warning);
        QCOMPARE(o.title, title);
        QCOMPARE(o.text, text);
    }

    // No success before the finish frame was sent; a plain acknowledgement while the finish
    // frame waits (a late answer to a resent frame) is no success either.
    void noSuccessBeforeTheFinishFrame()
    {
        Rig r;
        QVERIFY(r.transfer.start(Image1028));
        r.ack();
        r.transfer.answerReceived(6, 0x00);
        r.transfer.answerReceived(6, 0xE2);
        QCOMPARE(r.sent.size(), 2);
        r.ackUpToFinish();
        r.transfer.answerReceived(2, 0x00);
        QCOMPARE(r.sent.size(), 6);
        QVERIFY(r.outcomes.isEmpty());
        r.timer->advance(40000);
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.outcomes[0].ending, UpdateOutcome::Ending::TimedOut);
    }

    // The answer may overtake the report of the write; write reports go by ticket.
    void answerOvertakesTheWriteReport()
    {
        Rig r;
        r.onFrame = nullptr;
        QVERIFY(r.transfer.start(Image1028));
        const quint64 first = r.sent.last().ticket;
        r.ack();
        QCOMPARE(r.sent.size(), 2);
        r.transfer.frameWritten(first); // stale: frame 1 still waits for its own write
        r.timer->advance(5000);
        QCOMPARE(r.sent.size(), 3);
        QCOMPARE(r.resendTexts,
                 QStringList("data frame 1 of 4 was not written in time: resend 1 of 3"));
    }

    // Port loss, cancel and a failed write end a transfer at once, as failed, once; later
    // answers and time change nothing; without a transfer they do nothing.
    void abruptEndings_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QString>("text");
        QTest::newRow("port lost") << int(UpdateOutcome::Ending::PortLost)
                                   << "The serial port was lost: the update did not complete "
                                      "and the unit needs a new update!";
        QTest::newRow("cancel") << int(UpdateOutcome::Ending::Cancelled)
                                << "The update was cancelled: the unit needs a new update!";
        QTest::newRow("write failed") << int(UpdateOutcome::Ending::WriteFailed)
                                      << "Writing to the serial port failed: the update did "
                                         "not complete and the unit needs a new update!";
    }
    void abruptEndings()
    {
        QFETCH(int, ending);
        QFETCH(QString, text);
        Rig r;
        const auto stop = [&] {
            if (ending == int(UpdateOutcome::Ending::PortLost))
                r.transfer.portLost();
            else if (ending == int(UpdateOutcome::Ending::Cancelled))
                r.transfer.cancel();
            else
                r.transfer.writeFailed(r.sent.isEmpty() ? 1 : r.sent.last().ticket);
        };
        stop();
        QVERIFY(r.transfer.start(Image1028));
        r.ack();
        r.ack();
        r.transfer.writeFailed(r.sent.first().ticket); // stale
        QVERIFY(r.outcomes.isEmpty());
        r.timer->advance(2500);
        stop();
        stop();
        r.ack();
        r.transfer.answerReceived(6, 0xE2);
        r.timer->advance(100000);
        QCOMPARE(r.sent.size(), 3);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(int(o.ending), ending);
        QCOMPARE(o.text, text);
        QVERIFY(o.framesAcknowledged == 2 && o.elapsedMs == 2500);
    }

    // The real timer: an unanswered start frame is sent four times, then the time-out.
    void qtTimerDrivesTimeOuts()
    {
        UpdateTransfer transfer;
        transfer.setTimeouts({20, 40});
        int sent = 0;
        QVector<UpdateOutcome> outcomes;
        connect(&transfer, &UpdateTransfer::frameReady, [&](const QByteArray &, quint64 t) {
            ++sent;
            transfer.frameWritten(t);
        });
        connect(&transfer, &UpdateTransfer::finished,
                [&](const UpdateOutcome &o) { outcomes << o; });
        QVERIFY(transfer.start(Image1028));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 5000);
        QCOMPARE(sent, 4);
        QCOMPARE(outcomes[0].ending, UpdateOutcome::Ending::TimedOut);
        QVERIFY(outcomes[0].elapsedMs >= 80);
    }

    // The simulated unit accepts the frames; lost answers are made up by resends; a
    // corrupted image ends with the unit's error. The whole exchange runs inside the frame
    // handler (write, answer, next frame) without nesting one call per frame.
    void againstTheSimulatedUnit_data()
    {
        QTest::addColumn<double>("dropShare");
        QTest::addColumn<bool>("corrupt");
        QTest::newRow("1 MiB") << 0.0 << false;
        QTest::newRow("5 % of the answers lost") << 0.05 << false;
        QTest::newRow("checksum inside broken") << 0.0 << true;
    }
    void againstTheSimulatedUnit()
    {
        QFETCH(double, dropShare);
        QFETCH(bool, corrupt);
        UnitConfig config;
        config.faults.dropUpdateAckShare = dropShare;
        UnitCore unit(config);
        const QString version = "V3.0.0-20250101-ARV806 -A";
        QByteArray image = FirmwareImage::make(version, dropShare > 0 ? 64 * 1024 : 1 << 20);
        if (corrupt)
            image[image.size() / 2] = char(image[image.size() / 2] ^ 0x01);
        Rig r;
        int depth = 0, deepest = 0;
        r.onFrame = [&](const QByteArray &f, quint64 t) {
            deepest = std::max(deepest, ++depth);
            const double seconds = double(++r.timer->now) / 1000.0;
            unit.tick(seconds); // the unit's own clock, between frames
            unit.receive(f, seconds);
            r.transfer.frameWritten(t);
            const QByteArray answers = unit.takeAnswers();
            const auto *b = reinterpret_cast<const std::uint8_t *>(answers.constData());
            Answer a;
            for (int p = 0; Answer::readAt(b + p, answers.size() - p, a); p += a.totalLength()) {
                const AnswerReader::UpdateAnswer u = AnswerReader::updateAnswer(a);
                r.transfer.answerReceived(u.op, u.status);
            }
            --depth;
        };
        QVERIFY(r.transfer.start(image));
        while (r.transfer.isRunning())
            r.timer->advance(5000); // a lost answer: time for the resend
        QCOMPARE(deepest, 1);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(o.success(), !corrupt);
        QCOMPARE(unit.version() == version, !corrupt);
        if (corrupt) {
            QCOMPARE(o.text, QString("final check error!"));
            return;
        }
        QCOMPARE(r.sent.size(), o.frames + o.resends);
        QCOMPARE(quint64(o.resends), unit.counters().answersDropped);
        QCOMPARE(o.resends > 0, dropShare > 0);
    }
};

QTEST_GUILESS_MAIN(TestUpdateTransfer)
#include "tst_updatetransfer.moc"
