// The configuration's sending parts on a pseudo-terminal: the setting sender and its
// no-answer watch, the command write thread, and the port restart's timed steps.
#include "config/PortRestart.h"
#include "config/Serial_Write_Thread.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/CommandSender.h"
#include "serial/SerialLink.h"
#include "tests/support/PtyLink.h"
#include "tests/support/Waits.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using OpenLink = PtyLink;

class TestConfigSend : public QObject
{
    Q_OBJECT
private slots:
    void settingsAreWatchedForTheirAnswer()
    {
        OpenLink l;
        SettingSender settings(&l.sender);
        settings.setAnswerTimeoutMs(150);
        QSignalSpy silent(&settings, &SettingSender::noAnswer);
        int results = 0;
        const auto count = [&results](const SerialWriteResult &r) { results += r.ok() ? 1 : 100; };

        // No port: nothing sent, nothing watched.
        QVERIFY(!settings.canSend());
        QVERIFY(!settings.send(Setting::Frequency, CommandFrame::setFrequency(200, {}, {}), this,
                               count));
        QVERIFY(!settings.isAwaitingAnswer(Setting::Frequency));

        QVERIFY(l.open());
        // Answered in time: no word.
        const QByteArray frequency = CommandFrame::setFrequency(200, {}, {});
        QVERIFY(settings.send(Setting::Frequency, frequency, this, count));
        QVERIFY(settings.isAwaitingAnswer(Setting::Frequency));
        QCOMPARE(l.written(frequency.size()), frequency);
        settings.answered(Setting::Frequency);
        QTRY_COMPARE(results, 1);
        // No word within twice the answer time.
        QVERIFY(!TestWaits::happensWithin(300, [&] { return silent.count() > 0; }));

        // Not answered: one noAnswer, even when the command went out twice meanwhile.
        const QByteArray contents = CommandFrame::setContents(0x0410);
        QVERIFY(settings.send(Setting::Contents, contents, this, count));
        QVERIFY(settings.send(Setting::Contents, contents, this, count));
        QTRY_COMPARE(silent.count(), 1);
        QCOMPARE(silent.first().first().value<Setting>(), Setting::Contents);
        QVERIFY(!TestWaits::happensWithin(300, [&] { return silent.count() > 1; }));
        QCOMPARE(results, 3);

        // Settings the unit does not answer are not watched.
        QVERIFY(settings.send(Setting::Baudrate, CommandFrame::setBaudRate(115200), this, count));
        QVERIFY(settings.send(Setting::RateRange, CommandFrame::setRateRange(2), this, count));
        QVERIFY(!settings.isAwaitingAnswer(Setting::Baudrate));
        QVERIFY(!settings.isAwaitingAnswer(Setting::RateRange));
        // A refused frame is not sent.
        QVERIFY(!settings.send(Setting::AlgorithmMode, QByteArray(), this, count));
        QVERIFY(!settings.isAwaitingAnswer(Setting::AlgorithmMode));
        QTRY_COMPARE(results, 5);
    }

    void commandWriteThreadHandsItsBytesToTheGuiThread()
    {
        OpenLink l;
        Serial_Write_Thread thread(&l.sender);
        QSignalSpy finished(&thread, &Serial_Write_Thread::sendFinished);
        const QByteArray frame = QByteArray::fromHex("5156030A00081532");

        // No port: said, not sent.
        QVERIFY(thread.sendBytes(frame));
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.last().at(1).value<SerialWriteResult>().status,
                 SerialWriteResult::Status::NotOpen);

        QVERIFY(l.open());
        QVERIFY(thread.sendBytes(frame));
        // The thread waits for the GUI thread, which has not yet run its event loop: a second
        // send is refused, not dropped silently.
        QVERIFY(thread.isSending());
        QVERIFY(!thread.sendBytes(QByteArray::fromHex("00")));
        QTRY_COMPARE(finished.count(), 2);
        const SerialWriteResult r = finished.last().at(1).value<SerialWriteResult>();
        QVERIFY(r.ok());
        QCOMPARE(r.bytesWritten, qint64(frame.size()));
        QCOMPARE(finished.last().at(0).toByteArray(), frame);
        QCOMPARE(l.written(frame.size()), frame);
        QVERIFY(!thread.isSending());
    }

    void commandWriteThreadWaitsBounded()
    {
        OpenLink l;
        QVERIFY(l.open());
        auto thread = std::make_unique<Serial_Write_Thread>(&l.sender);
        QSignalSpy done(thread.get(), &Serial_Write_Thread::sendFinished);
        // The GUI thread does not come to its event loop: the thread gives up after its bound
        // and says so; the bytes it gave up on are never sent.
        QVERIFY(thread->sendBytes(QByteArray::fromHex("5156")));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(thread->wait(Serial_Write_Thread::ResultWaitMs + 3000));
        QVERIFY(clock.elapsed() >= Serial_Write_Thread::ResultWaitMs - 50);
        QTRY_COMPARE(done.count(), 1);
        const SerialWriteResult r = done.first().at(1).value<SerialWriteResult>();
        QCOMPARE(r.status, SerialWriteResult::Status::TimedOut);
        QCOMPARE(r.bytesWritten, qint64(0));
        QVERIFY(l.written(0, 200).isEmpty());

        // Going away while it waits cuts the wait short.
        QVERIFY(thread->sendBytes(QByteArray::fromHex("5156")));
        clock.restart();
        thread.reset();
        QVERIFY2(clock.elapsed() < Serial_Write_Thread::ResultWaitMs / 2,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(l.written(0, 200).isEmpty());
    }

    // The restart closes and opens on timers: the event loop runs before, between and after.
    void restartStepsOnTimers()
    {
        bool open = true;
        QStringList steps;
        int ticks = 0;
        int ticksAtClose = -1;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        PortRestart restart({[&] { return open; },
                             [&] {
                                 steps << "close";
                                 open = false;
                                 ticksAtClose = ticks;
                             },
                             [&] {
                                 steps << "open";
                                 open = true;
                                 QVERIFY(ticks - ticksAtClose >= 3); // the loop ran between
                             }});
        QSignalSpy finished(&restart, &PortRestart::finished);
        tick.start();
        QVERIFY(restart.start());
        QVERIFY(steps.isEmpty()); // nothing happens at once
        QCOMPARE(restart.state(), PortRestart::State::BeforeClose);
        QVERIFY(!restart.start()); // a second request joins the running restart
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(steps, (QStringList{"close", "open"}));
        QVERIFY(finished.first().first().toBool());
        QVERIFY(!restart.isRunning());
        // The joined request adds no second restart (it would come within a few delays).
        QVERIFY(!TestWaits::happensWithin(3 * PortRestart::DelayMs,
                                          [&] { return finished.count() > 1; }));

        // The port was closed by someone else before the first step: it stays closed.
        steps.clear();
        restart.setDelayMs(20);
        QVERIFY(restart.start());
        open = false;
        QTRY_COMPARE(finished.count(), 2);
        QVERIFY(steps.isEmpty());
        QVERIFY(!finished.last().first().toBool());

        // Opened by someone else between the steps: left open, not opened twice.
        restart.setDelayMs(PortRestart::DelayMs);
        open = true;
        QVERIFY(restart.start());
        QTRY_COMPARE(restart.state(), PortRestart::State::BeforeOpen);
        open = true;
        QTRY_COMPARE(finished.count(), 3);
        QCOMPARE(steps, (QStringList{"close"}));
        QVERIFY(finished.last().first().toBool());
    }
};

QTEST_GUILESS_MAIN(TestConfigSend)
#include "tst_configsend.moc"
