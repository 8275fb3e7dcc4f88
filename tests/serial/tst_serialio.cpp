// The serial link's I/O thread on its own, on a pseudo-terminal: reading while the owner's
// thread does not, the bounded hand-over, and writes that report what really happened.
#include "common/Language.h"
#include "protocol/FrameParser.h"
#include "serial/HandOverBuffer.h"
#include "serial/Information_Write_Thread.h"
#include "serial/SerialLink.h"
#include "tests/support/Pty.h"

#include <QtTest>

#include <thread>

namespace {

QByteArray pattern(int n, int seed = 0)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}

// A write the pseudo-terminal cannot take while nobody reads its other side.
const QByteArray TooMuch = pattern(8 << 20);

// A link on a pseudo-terminal, with the results of its writes by ticket.
struct Rig
{
    PtyPair pty;
    IdentificationFlags flags;
    SerialLink link{&flags};
    QMap<quint64, SerialWriteResult> results;
    Rig()
    {
        QObject::connect(&link, &SerialLink::writeFinished, &link,
                         [this](quint64 t, const SerialWriteResult &r) { results.insert(t, r); });
    }
};

} // namespace

class TestSerialIo : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(false); }

    void handOverIsBoundedCountedAndCoalesced()
    {
        HandOverBuffer buffer(100);
        QVERIFY(buffer.append("0123456789", 10));             // the reader must be told
        QVERIFY(!buffer.append(pattern(90).constData(), 90)); // told already
        QVERIFY(!buffer.append("abcdefghij", 10));            // full: dropped and counted
        HandOverStatistics s = buffer.statistics();
        QVERIFY(s.held == 100 && s.highWater == 100 && s.overflowBytes == 10 &&
                s.overflowEvents == 1 && s.bytesIn == 110);
        QByteArray taken("stale");
        buffer.takeAll(taken);
        QCOMPARE(taken, QByteArray("0123456789") + pattern(90));
        QVERIFY(buffer.append("x", 1)); // a new byte after the take: told again
        buffer.clear();
        buffer.takeAll(taken);
        QVERIFY(taken.isEmpty());
        s = buffer.statistics();
        QVERIFY(s.held == 0 && s.highWater == 100 && s.overflowBytes == 10);
        buffer.reset();
        QVERIFY(buffer.statistics().highWater == 0 && buffer.statistics().overflowBytes == 0);
    }

    // The owner's thread takes nothing for a while: the I/O thread goes on reading, far
    // beyond what the pseudo-terminal holds, and hands over every byte in order.
    void readsWhileTheOwnerDoesNot()
    {
        Rig r;
        QVERIFY(r.link.open(r.pty.slavePath(), 921600, nullptr));
        QCOMPARE(r.link.baudRate(), 921600);
        QCOMPARE(r.link.readBufferSize(), qint64(921600));
        QSignalSpy ready(&r.link, &SerialLink::readyRead);
        const QByteArray sent = pattern(400000, 3);
        QVERIFY(r.pty.write(sent)); // would stall at about 16 KB if nobody read
        QTRY_COMPARE(r.link.handOverStatistics().held, qint64(sent.size()));
        QTRY_COMPARE(ready.count(), 1); // one notice for all of it
        QByteArray got;
        r.link.takeReceived(got);
        QVERIFY(got == sent);
        got.clear();
        const HandOverStatistics s = r.link.handOverStatistics();
        QVERIFY(s.highWater == sent.size() && s.overflowBytes == 0 && s.held == 0);
        r.pty.write("more");
        QTRY_COMPARE(ready.count(), 2);
        QTRY_COMPARE((got += r.link.readAll()), QByteArray("more"));
    }

    void writesReportTheirRealResult()
    {
        Rig r;

        const quint64 early = r.link.write("before open");
        QTRY_VERIFY(r.results.contains(early));
        QCOMPARE(r.results[early].status, SerialWriteResult::Status::NotOpen);

        QVERIFY(r.link.open(r.pty.slavePath(), 115200, nullptr));
        // A command with a handler bound to a context: both report Written, every byte out.
        QObject context;
        QList<SerialWriteResult> handled;
        const QByteArray query("\x51\x56\x03\x00\x00\x03\x09", 7);
        const quint64 command =
            r.link.write(query, &context, [&](const SerialWriteResult &w) { handled << w; });
        QTRY_COMPARE(handled.size(), 1);
        QVERIFY(handled[0].ok() && handled[0].bytesWritten == 7 && handled[0].size == 7);
        QVERIFY(r.results[command].ok());
        QByteArray seen;
        QTRY_COMPARE((seen += r.pty.readAll()), query);

        // Nobody reads the other side: the write cannot finish within its time-out; what
        // did leave is told.
        const quint64 slow = r.link.write(TooMuch, 300);
        QTRY_VERIFY_WITH_TIMEOUT(r.results.contains(slow), 5000);
        const SerialWriteResult timedOut = r.results[slow];
        QCOMPARE(timedOut.status, SerialWriteResult::Status::TimedOut);
        QVERIFY(timedOut.bytesWritten < TooMuch.size());
        QVERIFY(timedOut.text().contains("timed out"));

        // Closing while writes wait: the call returns, each write reports Discarded, a handler
        // whose context is gone is not called.
        const quint64 waiting = r.link.write(TooMuch, 60000);
        bool orphanCalled = false;
        {
            QObject gone;
            r.link.write("x", &gone, [&](const SerialWriteResult &) { orphanCalled = true; });
        }
        r.link.close();
        QVERIFY(!r.link.isOpen());
        QTRY_VERIFY(r.results.contains(waiting));
        QCOMPARE(r.results[waiting].status, SerialWriteResult::Status::Discarded);
        QTRY_COMPARE(r.results.size(), 5);
        QVERIFY(!orphanCalled);
    }

    // Two threads write at once: every write reports once, each thread's bytes leave in its
    // order, nothing is interleaved within a write.
    void writesOfSeveralThreadsKeepTheirOrder()
    {
        Rig r;
        QVERIFY(r.link.open(r.pty.slavePath(), 921600, nullptr));
        auto frame = [](char who, int i) {
            return QByteArray(1, '<') + who + QByteArray::number(i).rightJustified(3, '0') + '>';
        };
        std::thread worker([&] {
            for (int i = 0; i < 200; ++i)
                r.link.write(frame('w', i));
        });
        for (int i = 0; i < 200; ++i)
            r.link.write(frame('g', i));
        worker.join();
        QByteArray seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += r.pty.readAll()).size() >= 400 * 6, 10000);
        QTRY_COMPARE(r.results.size(), 400);
        for (const SerialWriteResult &w : qAsConst(r.results))
            QVERIFY(w.ok());
        QCOMPARE(seen.size(), 400 * 6);
        int next[2] = {0, 0};
        for (int at = 0; at < seen.size(); at += 6) {
            const int who = seen[at + 1] == 'w' ? 0 : 1;
            QCOMPARE(seen.mid(at, 6), frame(who == 0 ? 'w' : 'g', next[who]++));
        }
    }

    // The device goes away while a write waits: it fails, with the reason, and the error is
    // reported once.
    void vanishedDeviceFailsTheWaitingWrite()
    {
        Rig r;
        QSignalSpy errors(&r.link, &SerialLink::portError);
        QVERIFY(r.link.open(r.pty.slavePath(), 115200, nullptr));
        const quint64 ticket = r.link.write(TooMuch, 60000); // cannot leave: nobody reads
        r.pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(r.results.contains(ticket), 5000);
        QCOMPARE(r.results[ticket].status, SerialWriteResult::Status::Failed);
        QTRY_VERIFY(r.link.error() != QSerialPort::NoError);
        QTRY_VERIFY(errors.count() >= 1);
        // A vanished device keeps reporting its errors: each is passed on when it changes,
        // not every time, also after the I/O thread has answered a later write.
        const quint64 later = r.link.write("y");
        QTRY_VERIFY(r.results.contains(later));
        QVERIFY(!r.results[later].ok());
        QVERIFY2(errors.count() <= 2, qPrintable(QString::number(errors.count())));
        for (int i = 1; i < errors.count(); ++i)
            QVERIFY(errors[i].first() != errors[i - 1].first());
        QVERIFY(r.link.isOpen()); // the owner decides about the loss
        r.link.close();
    }

    void clearBuffersDropsBothDirections()
    {
        Rig r;
        QVERIFY(r.link.open(r.pty.slavePath(), 115200, nullptr));
        r.pty.write("old answer");
        QTRY_COMPARE(r.link.handOverStatistics().held, qint64(10));
        const quint64 pending = r.link.write(TooMuch, 60000);
        r.link.clearBuffers();
        const quint64 after = r.link.write("new", 5000);
        QTRY_VERIFY(r.results.contains(pending));
        QCOMPARE(r.results[pending].status, SerialWriteResult::Status::Discarded);
        QCOMPARE(r.link.readAll(), QByteArray());
        // The write handed in after the clear goes out.
        QByteArray seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += r.pty.readAll()).endsWith("new"), 5000);
        QTRY_VERIFY(r.results.contains(after) && r.results[after].ok());
        r.pty.write("fresh");
        QByteArray got;
        QTRY_COMPARE((got += r.link.readAll()), QByteArray("fresh"));
    }

    // Clearing while bytes stream in is no error: the port may find its input flushed away
    // when it comes to read, and that must not look like a failing device (which the owner
    // would close). A device that does go is still reported.
    void clearingWhileBytesStreamIsNoError()
    {
        Rig r;
        QSignalSpy errors(&r.link, &SerialLink::portError);
        QVERIFY(r.link.open(r.pty.slavePath(), 921600, nullptr));
        const QByteArray chunk(64, 'x');
        for (int i = 0; i < 400; ++i) {
            r.pty.write(chunk);
            if (i % 2 == 0)
                r.link.clearBuffers();
            if (i % 8 == 0)
                QTest::qWait(1);
        }
        // A write is ordered after the clears: once it is out, they are done.
        r.link.write("sync");
        QByteArray sent;
        QTRY_VERIFY((sent += r.pty.readAll()).endsWith("sync"));
        r.pty.write("end");
        QByteArray got;
        QTRY_VERIFY((got += r.link.readAll()).endsWith("end"));
        QCOMPARE(r.link.error(), QSerialPort::NoError);
        QCOMPARE(errors.count(), 0);
        r.pty.closeMaster();
        QTRY_VERIFY(r.link.error() != QSerialPort::NoError);
        QTRY_VERIFY(errors.count() >= 1);
    }

    // Bytes that waited in the system before the open (an earlier session's, perhaps at
    // another rate) are not read as the new session's.
    void openStartsEmpty()
    {
        PtyPair pty;
        {
            IdentificationFlags flags;
            SerialLink earlier(&flags);
            QVERIFY(earlier.open(pty.slavePath(), 115200, nullptr));
            earlier.close();
        }
        // The terminal keeps bytes for a device that nobody reads.
        QVERIFY(pty.write("stale"));
        IdentificationFlags flags;
        SerialLink link(&flags);
        QVERIFY(link.open(pty.slavePath(), 460800, nullptr));
        QVERIFY(pty.write("fresh"));
        QByteArray got;
        QTRY_VERIFY((got += link.readAll()).endsWith("fresh"));
        QCOMPARE(got, QByteArray("fresh"));
    }

    void reopensAtAnotherBaudRate()
    {
        Rig r;
        QVERIFY(r.link.open(r.pty.slavePath(), 115200, nullptr));
        QString message;
        QVERIFY(r.link.reopen(921600, &message));
        QVERIFY(r.link.isOpen() && r.link.baudRate() == 921600 &&
                r.link.readBufferSize() == 921600);
        r.pty.write("after");
        QByteArray got;
        QTRY_COMPARE((got += r.link.readAll()), QByteArray("after"));
        r.link.close();
        QVERIFY(!r.link.reopen(115200, &message) && !message.isEmpty());
    }

    // An identification query that cannot be written ends the queries and is told once.
    void failedQueryWriteIsReported()
    {
        Rig r;
        QSignalSpy failed(&r.link, &SerialLink::queryWriteFailed);
        QVERIFY(r.link.open(r.pty.slavePath(), 115200, nullptr));
        r.pty.closeMaster();
        r.link.startQueries();
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY(!failed.first().first().value<SerialWriteResult>().ok());
        QTRY_VERIFY(r.link.queryThread()->isFinished());
        QVERIFY(r.link.queryThread()->endedOnFailedWrite());
        QCOMPARE(failed.count(), 1);
    }
};

QTEST_MAIN(TestSerialIo)
#include "tst_serialio.moc"
