#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/CommandSender.h"
#include "serial/SerialLink.h"
#include "tests/support/Pty.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestCommandSender : public QObject
{
    Q_OBJECT

private slots:
    void sendsOnlyWhatCanBeWritten()
    {
        IdentificationFlags flags;
        SerialLink link(&flags);
        CommandSender sender(&link);
        QSignalSpy finished(&sender, &CommandSender::commandFinished);
        int calls = 0;
        const auto count = [&calls](const SerialWriteResult &) { ++calls; };

        // No port: nothing is sent and nothing is reported.
        QVERIFY(!sender.canSend());
        QVERIFY(!sender.send(CommandFrame::zeroHeading(), this, count));

        PtyPair pty;
        QVERIFY(pty.isValid());
        QString message;
        QVERIFY2(link.open(pty.slavePath(), 115200, &message), qPrintable(message));
        link.stopQueries(); // only our own bytes on the line
        pty.readAll();
        QVERIFY(sender.canSend());

        // A builder that refused its values gives an empty frame: refused here too.
        QVERIFY(!sender.send(CommandFrame::setAttitude(qQNaN(), 0), this, count));

        // A command leaves whole and its result comes back once.
        SerialWriteResult result;
        const QByteArray frame = CommandFrame::setFrequency(100, QString(), QString());
        QVERIFY(sender.send(frame, this, [&](const SerialWriteResult &r) {
            ++calls;
            result = r;
        }));
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 2000);
        QVERIFY(result.ok());
        QCOMPARE(result.bytesWritten, qint64(frame.size()));
        QByteArray line;
        QTRY_VERIFY_WITH_TIMEOUT((line += pty.readAll()) == frame, 2000);

        // A caller that went away before the result is not called; the signal still comes.
        auto gone = std::make_unique<QObject>();
        QVERIFY(sender.send(CommandFrame::zeroHeading(), gone.get(), count));
        gone.reset();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 2000);
        QCOMPARE(calls, 1);

        link.close();
        QVERIFY(!sender.canSend());
    }
};

QTEST_GUILESS_MAIN(TestCommandSender)
#include "tst_commandsender.moc"
