// The identification query thread on its own: it hands frames over and never writes itself.
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/Information_Write_Thread.h"

#include <QtTest>

class TestQueryThread : public QObject
{
    Q_OBJECT
private slots:
    // Nobody writes: the thread waits for its first frame, and a stop cuts the wait short.
    // An acknowledgement for another ticket does not end the wait.
    void waitsForItsWriteAndStopsAtAnyMoment()
    {
        IdentificationFlags flags;
        Information_Write_Thread thread(&flags);
        // The requests come from the worker thread: queued to this thread and noted here, so
        // that the test reads only what its own thread wrote.
        QList<QPair<QByteArray, quint64>> requests;
        QObject receiver; // goes before the list: requests still queued are dropped with it
        connect(
            &thread, &Information_Write_Thread::writeRequested, &receiver,
            [&](const QByteArray &frame, quint64 ticket) {
                requests.append({frame, ticket});
            },
            Qt::QueuedConnection);
        thread.startQueries();
        QTRY_COMPARE(requests.size(), 1);
        QCOMPARE(requests.first().first, CommandFrame::queryProductId());
        const quint64 ticket = requests.first().second;
        thread.frameWritten(ticket + 1);
        QVERIFY(thread.isPending(ticket));
        thread.frameWritten(ticket);
        QVERIFY(!thread.isPending(ticket));
        QTRY_COMPARE(requests.size(), 2);
        thread.stopAndWait();
        QCoreApplication::sendPostedEvents(&receiver,
                                           QEvent::MetaCall); // all it emitted, delivered
        QCOMPARE(requests.size(), 2);
        // Also between the thread's stop check and its next request: it never waits out a write.
        // The short sleeps (0 to 120 µs) vary where in its loop the stop finds the thread; they
        // wait for nothing.
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 300; ++i) {
            thread.startQueries();
            QThread::usleep(unsigned(i % 7) * 20);
            thread.stopAndWait();
            QVERIFY(thread.isFinished());
        }
        QVERIFY2(clock.elapsed() < Information_Write_Thread::WriteWaitMs,
                 qPrintable(QString::number(clock.elapsed())));
    }

    // A frame reported as not written ends the queries at once (the port is failing); a stale
    // report for a ticket no longer waited for changes nothing.
    void failedWriteEndsTheQueries()
    {
        IdentificationFlags flags;
        Information_Write_Thread thread(&flags);
        int requests = 0;
        connect(&thread, &Information_Write_Thread::writeRequested, this,
                [&](const QByteArray &, quint64 ticket) {
                    ++requests;
                    QVERIFY(!thread.frameDone(ticket + 1, true));
                    QVERIFY(thread.frameDone(ticket, requests < 3));
                    QVERIFY(!thread.frameDone(ticket, true));
                });
        thread.startQueries();
        QTRY_VERIFY(thread.isFinished());
        QCOMPARE(requests, 3);
        QVERIFY(thread.endedOnFailedWrite());
        flags.productId = flags.version = flags.frequency = flags.algorithm = true;
        thread.startQueries(); // a new run starts clean
        QTRY_VERIFY(thread.isFinished());
        QVERIFY(!thread.endedOnFailedWrite() && requests == 3);
    }

    void knownFlagsSkipTheirQueries()
    {
        IdentificationFlags flags;
        flags.productId = flags.version = flags.algorithm = true;
        Information_Write_Thread thread(&flags);
        QList<QByteArray> frames;
        // The writer acknowledges every frame at once; the frequency answer comes on the third.
        connect(&thread, &Information_Write_Thread::writeRequested, this,
                [&](const QByteArray &frame, quint64 ticket) {
                    frames << frame;
                    flags.frequency = frames.size() == 3;
                    thread.frameWritten(ticket);
                });
        thread.startQueries();
        QTRY_VERIFY(thread.isFinished());
        QCOMPARE(frames, QList<QByteArray>()
                             << CommandFrame::queryFrequency() << CommandFrame::queryFrequency()
                             << CommandFrame::queryFrequency());
    }
};

QTEST_GUILESS_MAIN(TestQueryThread)
#include "tst_querythread.moc"
