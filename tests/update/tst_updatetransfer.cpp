// The update transfer driven by a fake clock: acknowledgements, resends, time-outs, the
// unit's statuses, refusals, port loss and cancel; then against the simulated unit's core.

#include "app/Language.h"
#include "protocol/Answer.h"
#include "protocol/UpdateFrames.h"
#include "sim/FirmwareImage.h"
#include "sim/UnitCore.h"
#include "update/UpdateImage.h"
#include "update/UpdateTransfer.h"

#include <QtTest>

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

// A transfer on a fake clock with everything it says recorded.
struct Rig
{
    FakeTimer *timer = new FakeTimer;
    UpdateTransfer transfer{std::unique_ptr<UpdateTimer>(timer)};
    QVector<Sent> sent;
    QVector<int> percents;
    QVector<UpdateOutcome> outcomes;
    QStringList resendTexts;
    bool autoWrite = true; // report each write as done at once, from inside the handler

    Rig()
    {
        QObject::connect(&transfer, &UpdateTransfer::frameReady,
                         [this](const QByteArray &f, quint64 t) {
                             sent.append({f, t, timer->now});
                             if (autoWrite)
                                 transfer.frameWritten(t);
                         });
        QObject::connect(&transfer, &UpdateTransfer::progressChanged,
                         [this](const UpdateProgress &p) { percents << p.percent; });
        QObject::connect(&transfer, &UpdateTransfer::finished,
                         [this](const UpdateOutcome &o) { outcomes << o; });
        QObject::connect(&transfer, &UpdateTransfer::resending,
                         [this](const QString &t) { resendTexts << t; });
    }
    int op() const { return sent.isEmpty() ? -1 : sent.last().frame.at(3) & 7; }
    // Acknowledges the frame sent last the way the unit does (op of the frame, status 0).
    void ack() { transfer.answerReceived(op(), 0x00); }
    // Acknowledges frames until the finish frame is the one sent last.
    void ackUpToFinish()
    {
        while (transfer.isRunning() && op() != 6)
            ack();
    }
};

const QByteArray Image1028 = QByteArray(1028, 'i');

// Answers from the simulated unit, as the parser reports them.
QVector<AnswerReader::UpdateAnswer> updateAnswers(const QByteArray &stream)
{
    QVector<AnswerReader::UpdateAnswer> out;
    const auto *b = reinterpret_cast<const std::uint8_t *>(stream.constData());
    for (int p = 0; p < stream.size();) {
        Answer a;
        if (Answer::readAt(b + p, stream.size() - p, a) &&
            AnswerReader::kindOf(a) == AnswerReader::Kind::Update) {
            out << AnswerReader::updateAnswer(a);
            p += a.totalLength();
        } else {
            ++p;
        }
    }
    return out;
}

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
        QVERIFY(r.outcomes[0].success());
        QCOMPARE(r.outcomes[0].text, QString("Update successful!"));
        QCOMPARE(r.outcomes[0].framesAcknowledged, 6);
        QVERIFY(!r.transfer.isRunning());
        // Nothing after the end: no second outcome, no frame, no timer.
        r.transfer.answerReceived(6, 0x00);
        r.transfer.answerReceived(2, 0xE1);
        r.transfer.cancel();
        r.timer->advance(60000);
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.sent.size(), 6);
        // It may run again.
        QVERIFY(r.transfer.start(Image1028));
        QCOMPARE(r.sent.size(), 7);
    }

    // Three resends per frame: three lost answers on every frame still succeed; the
    // sendings of one frame are one time-out apart (10 s for the finish frame).
    void resendsArePerFrame()
    {
        Rig r;
        QVERIFY(r.transfer.start(Image1028));
        for (int frame = 0; frame < 6; ++frame) {
            const int interval = frame == 5 ? 10000 : 5000;
            const qint64 first = r.timer->now;
            r.timer->advance(3 * interval);
            QCOMPARE(r.sent.size(), 4 * (frame + 1));
            for (int i = 1; i <= 3; ++i) {
                const Sent &s = r.sent[4 * frame + i];
                QCOMPARE(s.frame, r.sent[4 * frame].frame);
                QCOMPARE(s.atMs, first + i * interval);
            }
            r.timer->advance(interval - 1);
            if (frame < 5)
                r.ack();
        }
        r.transfer.answerReceived(6, 0x00);
        QCOMPARE(r.outcomes.size(), 1);
        QVERIFY(r.outcomes[0].success());
        QCOMPARE(r.outcomes[0].resends, 18);
        QCOMPARE(r.resendTexts.size(), 18);
        QCOMPARE(r.resendTexts[0], QString("No answer to the start frame: resend 1 of 3"));
        QCOMPARE(r.resendTexts[5], QString("No answer to data frame 1 of 4: resend 3 of 3"));
        QCOMPARE(r.outcomes[0].summary(), QString("Update successful! (18 resends)"));
    }

    void timeOutAfterFourSendings_data()
    {
        QTest::addColumn<bool>("atFinish");
        QTest::addColumn<bool>("writeReported");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("start frame") << false << true << false;
        QTest::newRow("start frame, Chinese") << false << true << true;
        QTest::newRow("start frame, write never reported") << false << false << false;
        QTest::newRow("finish frame") << true << true << false;
    }
    void timeOutAfterFourSendings()
    {
        QFETCH(bool, atFinish);
        QFETCH(bool, writeReported);
        QFETCH(bool, chinese);
        Language::setChinese(chinese);
        Rig r;
        r.autoWrite = writeReported;
        QVERIFY(r.transfer.start(Image1028));
        if (atFinish) {
            r.transfer.frameWritten(r.sent.last().ticket);
            r.ackUpToFinish();
        }
        const int before = r.sent.size() - 1;
        const int interval = atFinish ? 10000 : 5000;
        r.timer->advance(4 * interval - 1);
        QCOMPARE(r.sent.size() - before, 4);
        QVERIFY(r.outcomes.isEmpty());
        r.timer->advance(1);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(o.ending, UpdateOutcome::Ending::TimedOut);
        QCOMPARE(o.title, QString(chinese ? "警告" : "warning"));
        QCOMPARE(o.text, QString(chinese ? "下位机响应超时" : "Lower computer response timeout！"));
        QCOMPARE(o.resends, 3);
        r.timer->advance(100000);
        QCOMPARE(r.sent.size() - before, 4);
    }

    // Every error status of the unit ends the transfer with its message; the finish frame's
    // 0xE2 is a success, any other frame's is not.
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
        row("A1 zh", 1, 0xA1, true, true, "提醒", "升级未开始!");
        row("E0", 2, 0xE0, false, true, "information", "parameter error!");
        row("E0 zh", 2, 0xE0, true, true, "提醒", "parameter 错误!");
        row("E1", 2, 0xE1, false, true, "error", "internal error!");
        row("E2 op 2", 2, 0xE2, false, true, "error", "final check error!");
        row("E2 op 2 zh", 2, 0xE2, true, true, "错误", "final check error!");
        row("E3", 1, 0xE3, false, true, "error", "file header check error!");
        row("E3 zh", 1, 0xE3, true, true, "错误", "校验出错!");
        row("E4", 2, 0xE4, false, true, "error", "pack num error!");
        row("FF op 6", 6, 0xFF, false, false, "information", "Upgrade failed!");
        row("FF op 6 zh", 6, 0xFF, true, false, "提醒", "升级失败!");
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
        // Statuses the unit does not send change nothing.
        for (int ignored : {-1, 0x01, 0x7F, 0xE5})
            r.transfer.answerReceived(op, ignored);
        QVERIFY(r.outcomes.isEmpty());
        const int sentBefore = r.sent.size();
        r.transfer.answerReceived(op, status);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(o.success(), op == 6 && (status == 0x00 || status == 0xE2));
        if (!o.success())
            QCOMPARE(o.ending, UpdateOutcome::Ending::UnitError);
        QCOMPARE(o.status, status);
        QCOMPARE(o.box == UpdateOutcome::Box::Warning, warning);
        QCOMPARE(o.title, title);
        QCOMPARE(o.text, text);
        r.timer->advance(100000);
        QCOMPARE(r.sent.size(), sentBefore);
        QCOMPARE(r.outcomes.size(), 1);
    }

    // Answers that must not end the transfer as a success: a finish answer before the
    // finish frame, a plain acknowledgement while the finish frame waits.
    void noSuccessBeforeTheFinishFrame()
    {
        Rig r;
        QVERIFY(r.transfer.start(Image1028));
        r.ack();
        r.transfer.answerReceived(6, 0x00);
        r.transfer.answerReceived(6, 0xE2);
        QVERIFY(r.outcomes.isEmpty());
        QCOMPARE(r.sent.size(), 2);
        r.ackUpToFinish();
        const int sent = r.sent.size();
        r.transfer.answerReceived(2, 0x00); // late answer to a resent data frame
        QVERIFY(r.outcomes.isEmpty() && r.transfer.isRunning());
        QCOMPARE(r.sent.size(), sent);
        r.timer->advance(40000);
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.outcomes[0].ending, UpdateOutcome::Ending::TimedOut);
    }

    // The answer may overtake the report of the write; write reports are matched by ticket.
    void writeReportsByTicket()
    {
        Rig r;
        r.autoWrite = false;
        QVERIFY(r.transfer.start(Image1028));
        const quint64 first = r.sent.last().ticket;
        r.ack(); // before the write report
        QCOMPARE(r.sent.size(), 2);
        r.transfer.frameWritten(first); // stale: frame 1 still waits for its own write
        r.transfer.writeFailed(first);  // stale: ignored
        QVERIFY(r.transfer.isRunning());
        r.timer->advance(5000); // frame 1's write never reported: sent again
        QCOMPARE(r.sent.size(), 3);
        QCOMPARE(r.resendTexts.last(), QString("data frame 1 of 4 was not written in time: "
                                               "resend 1 of 3"));
        r.transfer.writeFailed(r.sent.last().ticket);
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.outcomes[0].ending, UpdateOutcome::Ending::WriteFailed);
        QVERIFY(r.outcomes[0].text.contains("needs a new update"));
    }

    void refusedImagesSendNothing()
    {
        Rig r;
        for (const QByteArray &image :
             {QByteArray(), QByteArray(14, 'x'), QByteArray(UpdateImage::MaxSize + 1, 'x')})
            QVERIFY(!r.transfer.start(image));
        QVERIFY(r.sent.isEmpty() && r.outcomes.isEmpty() && r.percents.isEmpty());
        QVERIFY(!r.transfer.isRunning());
        r.timer->advance(100000);
        QVERIFY(r.sent.isEmpty() && r.outcomes.isEmpty());
    }

    // Port loss and cancel end a transfer at once as failed, once; later answers and time
    // change nothing; without a transfer they do nothing.
    void portLossAndCancel_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("port lost") << false << false;
        QTest::newRow("cancel") << true << false;
        QTest::newRow("cancel zh") << true << true;
    }
    void portLossAndCancel()
    {
        QFETCH(bool, cancel);
        QFETCH(bool, chinese);
        Language::setChinese(chinese);
        Rig r;
        const auto stop = [&] { cancel ? r.transfer.cancel() : r.transfer.portLost(); };
        stop();
        QVERIFY(r.outcomes.isEmpty());
        QVERIFY(r.transfer.start(Image1028));
        r.ack();
        r.ack();
        r.timer->advance(2500);
        stop();
        stop();
        r.ack();
        r.transfer.answerReceived(6, 0xE2);
        r.timer->advance(100000);
        QCOMPARE(r.outcomes.size(), 1);
        const UpdateOutcome &o = r.outcomes[0];
        QCOMPARE(o.ending,
                 cancel ? UpdateOutcome::Ending::Cancelled : UpdateOutcome::Ending::PortLost);
        QVERIFY(!o.success());
        QCOMPARE(o.framesAcknowledged, 2);
        QCOMPARE(o.elapsedMs, qint64(2500));
        QCOMPARE(r.sent.size(), 3);
        if (chinese)
            QCOMPARE(o.text, QString("升级已取消，设备需要重新升级!"));
    }

    // Stopping from inside a handler: nothing more is sent, the outcome comes once.
    void cancelFromHandlers()
    {
        Rig r;
        QObject::connect(&r.transfer, &UpdateTransfer::progressChanged,
                         [&](const UpdateProgress &p) {
                             if (p.framesAcknowledged == 2)
                                 r.transfer.cancel();
                         });
        QVERIFY(r.transfer.start(Image1028));
        r.ack();
        r.ack();
        QCOMPARE(r.sent.size(), 2);
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.outcomes[0].ending, UpdateOutcome::Ending::Cancelled);
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

    // Against the simulated unit's core, without a port: the unit accepts the frames; lost
    // answers are made up by resends; a corrupted image ends with the unit's error.
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

        FakeTimer *timer = new FakeTimer;
        UpdateTransfer transfer{std::unique_ptr<UpdateTimer>(timer)};
        QVector<UpdateOutcome> outcomes;
        int depth = 0, deepest = 0, sent = 0;
        // The whole exchange runs inside the handler: write, answer, next frame.
        connect(&transfer, &UpdateTransfer::frameReady, [&](const QByteArray &f, quint64 t) {
            deepest = std::max(deepest, ++depth);
            ++sent;
            timer->now += 1;
            unit.tick(timer->now / 1000.0); // as the unit's own clock would, between frames
            unit.receive(f, timer->now / 1000.0);
            transfer.frameWritten(t);
            for (const AnswerReader::UpdateAnswer &a : updateAnswers(unit.takeAnswers()))
                transfer.answerReceived(a.op, a.status);
            --depth;
        });
        connect(&transfer, &UpdateTransfer::finished,
                [&](const UpdateOutcome &o) { outcomes << o; });
        QVERIFY(transfer.start(image));
        while (transfer.isRunning())
            timer->advance(5000); // a lost answer: time for the resend
        QCOMPARE(deepest, 1);     // no nesting per frame
        QCOMPARE(outcomes.size(), 1);
        const UpdateOutcome &o = outcomes[0];
        if (corrupt) {
            QVERIFY(!o.success());
            QCOMPARE(o.status, 0xE2);
            QCOMPARE(o.text, QString("final check error!"));
            QVERIFY(unit.version() != version);
            return;
        }
        QVERIFY2(o.success(), qPrintable(o.text));
        QCOMPARE(unit.version(), version);
        QCOMPARE(unit.counters().updatesCompleted, std::uint64_t(1));
        QCOMPARE(sent, o.frames + o.resends);
        QCOMPARE(o.resends > 0, dropShare > 0);
        if (dropShare > 0)
            QCOMPARE(quint64(o.resends), unit.counters().answersDropped);
    }
};

QTEST_GUILESS_MAIN(TestUpdateTransfer)
#include "tst_updatetransfer.moc"
