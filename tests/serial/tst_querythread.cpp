// The identification query thread on its own: it hands frames over and never writes itself.
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/Information_Write_Thread.h"

#include <QtTest>

class TestQueryThread : public QObject
{
    Q_OBJECT
private slots:
    void stopCutsAPendingWaitShort()
    {
        IdentificationFlags flags;
        Information_Write_Thread thread(&flags);
        QSignalSpy requests(&thread, &Information_Write_Thread::writeRequested);
        thread.startQueries(); // nobody writes: the thread waits for its first frame
        QTRY_COMPARE(requests.count(), 1);
        thread.stopAndWait();
        QVERIFY(thread.isFinished());
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.first().at(0).toByteArray(), CommandFrame::queryProductId());
    }

    // A stop can come at any point of a turn, also between the thread's stop check and its
    // next request: it never waits out a write.
    void stopAtAnyMomentReturnsAtOnce()
    {
        IdentificationFlags flags;
        Information_Write_Thread thread(&flags);
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

    void knownFlagsSkipTheirQueries()
    {
        IdentificationFlags flags;
        flags.productId = true;
        flags.version = true;
        flags.algorithm = true;
        Information_Write_Thread thread(&flags);
        QList<QByteArray> frames;
        // The writer side: acknowledge every frame at once, and answer the frequency query
        // on its third write.
        connect(&thread, &Information_Write_Thread::writeRequested, this,
                [&](const QByteArray &frame, quint64 ticket) {
                    frames << frame;
                    if (frames.size() == 3)
                        flags.frequency = true;
                    thread.frameWritten(ticket);
                });
        thread.startQueries();
        QTRY_VERIFY(thread.isFinished());
        QCOMPARE(frames.size(), 3);
        for (const QByteArray &f : frames)
            QCOMPARE(f, CommandFrame::queryFrequency());
    }

    void lateAcknowledgementIsIgnored()
    {
        IdentificationFlags flags;
        Information_Write_Thread thread(&flags);
        quint64 first = 0;
        QSignalSpy requests(&thread, &Information_Write_Thread::writeRequested);
        thread.startQueries();
        QTRY_COMPARE(requests.count(), 1);
        first = requests.first().at(1).toULongLong();
        QVERIFY(thread.isPending(first));
        thread.frameWritten(first + 1); // not the pending ticket
        QVERIFY(thread.isPending(first));
        thread.frameWritten(first);
        QVERIFY(!thread.isPending(first));
        QTRY_COMPARE(requests.count(), 2);
        thread.stopAndWait();
    }
};

QTEST_GUILESS_MAIN(TestQueryThread)
#include "tst_querythread.moc"
