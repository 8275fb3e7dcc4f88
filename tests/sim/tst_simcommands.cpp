// The simulated unit on its pseudo-terminal answering a host: queries and settings, a
// firmware update, calibration commands, the fault options and a pulled cable.

#include "SimTestSupport.h"

#include "protocol/CommandFrame.h"
#include "protocol/UpdateFrames.h"
#include "sim/FirmwareImage.h"
#include "sim/SimulatedUnit.h"

#include <QSerialPort>
#include <QtTest>

namespace {

UnitConfig restingUnit()
{
    UnitConfig c;
    c.motion.restSeconds = 1000.0;
    return c;
}

// Sends a command and collects the answers of cls (any class when negative) that come back
// within ms, or until the first of cls.
QVector<DecodedAnswer> exchange(HostLine &host, const QByteArray &command, int cls, int ms = 500)
{
    host.write(command);
    const QByteArray got = host.readFor(
        ms, [cls](const QByteArray &s) { return cls >= 0 && !answersOf(s, cls).isEmpty(); });
    return cls < 0 ? decodeStream(got).answers : answersOf(got, cls);
}

int lastByte(const QVector<DecodedAnswer> &a)
{
    return a.isEmpty() || a.back().data.isEmpty() ? -1
                                                  : static_cast<std::uint8_t>(a.back().data.back());
}

} // namespace

class TestSimCommands : public QObject
{
    Q_OBJECT
private slots:
    void answersEveryQueryAndSetCommandOverTheLine()
    {
        SimulatedUnit unit(restingUnit());
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B460800));
        QCOMPARE(exchange(host, CommandFrame::queryProductId(), 0x00).value(0).data.mid(2),
                 unit.productId());
        QCOMPARE(exchange(host, CommandFrame::queryVersion(), 0x00).value(0).data.mid(2),
                 QByteArray("V2.8.7-20240105-ARV806 -A"));
        const struct
        {
            QByteArray command;
            int cls, status;
        } rows[] = {{CommandFrame::queryFrequency(), 0x03, 8},
                    {CommandFrame::queryAlgorithm(), 0x4D, 1},
                    {CommandFrame::setFrequency(200, "ARV806 ", "A"), 0x03, 0},
                    {CommandFrame::build(0x03, 2, QByteArray(1, char(20))), 0x03, 0xFF},
                    {CommandFrame::setContents(0x0090), 0x04, 0},
                    {CommandFrame::setAlgorithmMode(3), 0x4D, 0},
                    {CommandFrame::queryAlgorithm(), 0x4D, 3}};
        for (const auto &r : rows)
            QCOMPARE(lastByte(exchange(host, r.command, r.cls)), r.status);
        // Protocol and rate range have no answer.
        QVERIFY(exchange(host, CommandFrame::setOutputProtocol(1) + CommandFrame::setRateRange(1),
                         -1, 200)
                    .isEmpty());
        QVERIFY(unit.frequencyCode() == 9 && unit.algorithmMode() == 3);

        // The new rate and contents are in the frames.
        host.drain();
        const QVector<DecodedFrame> frames = framesOf(host.readFor(1000));
        QVERIFY2(std::fabs(frames.size() - 200) <= 6, qPrintable(QString::number(frames.size())));
        for (const DecodedFrame &f : frames)
            QCOMPARE(f.items.keys(), QList<int>({0x10, 0x40}));
        QVERIFY(unit.receivedBytes().contains(CommandFrame::queryVersion()));
    }

    void firmwareUpdateWithAcknowledgements()
    {
        UnitConfig c = restingUnit();
        c.restartSeconds = 0.5;
        SimulatedUnit unit(c);
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B460800));
        const QByteArray image = FirmwareImage::make("V2.9.1-20240401-ARV806 -A", 1200);
        QVector<QByteArray> frames{UpdateFrames::start(image)};
        for (int k = 1; k <= UpdateFrames::packetCount(image); ++k)
            frames.append(UpdateFrames::data(image, k));
        frames.append(UpdateFrames::finish());
        QByteArray duringUpdate;
        for (int i = 0; i < frames.size(); ++i) {
            host.write(frames[i]);
            const QByteArray got = host.readFor(
                1000, [](const QByteArray &s) { return !answersOf(s, 0xFF).isEmpty(); });
            const auto a = answersOf(got, 0xFF);
            QCOMPARE(a.size(), 1);
            QCOMPARE(a[0].data, QByteArray(1, '\0'));
            QCOMPARE(a[0].op, i == 0 ? 1 : i == frames.size() - 1 ? 6 : 2);
            if (i > 0)
                duringUpdate += got;
        }
        // Output stopped while updating (a frame in flight at the start may still end).
        QVERIFY(framesOf(duringUpdate).size() <= 1);
        // The restart is silent, then the unit reports the image's version.
        QCOMPARE(framesOf(host.readFor(300)).size(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(unit.updatePhase() == UpdatePhase::Idle, 2000);
        QCOMPARE(exchange(host, CommandFrame::queryVersion(), 0x00).value(0).data.mid(2),
                 QByteArray("V2.9.1-20240401-ARV806 -A"));
        QVERIFY(framesOf(host.readFor(300)).size() > 10);
    }

    void faultOptionsAreObservable()
    {
        UnitConfig c = restingUnit();
        c.faults.garbageShare = 0.5;
        SimulatedUnit unit(c);
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B460800));
        host.readFor(50);
        const Decoded d = decodeStream(host.readFor(500));
        QVERIFY(d.frames.size() >= 45);
        QVERIFY2(d.skipped > d.frames.size() * 155 / 4, qPrintable(QString::number(d.skipped)));

        UnitFaults f;
        f.bitFlipShare = 0.005;
        unit.setFaults(f);
        host.drain();
        const int frames = framesOf(host.readFor(1000)).size();
        // Many frames hit (their TIDs missing), none garbled through.
        QVERIFY(frames > 20 && frames < 90);

        f = UnitFaults();
        f.dropAnswerShare = 1.0;
        unit.setFaults(f);
        host.drain();
        QVERIFY(exchange(host, CommandFrame::queryVersion(), 0x00, 300).isEmpty());
        QVERIFY(unit.counters().answersDropped >= 1);
    }

    void aPulledCableIsAPortErrorForQSerialPort()
    {
        UnitConfig c = restingUnit();
        c.faults.disconnectAfterSeconds = 1.0;
        SimulatedUnit unit(c);
        QVERIFY(unit.start());
        QSerialPort port;
        port.setPortName(unit.devicePath());
        port.setBaudRate(460800);
        QVERIFY(port.open(QIODevice::ReadWrite));
        QByteArray got;
        QObject::connect(&port, &QSerialPort::readyRead, [&] { got += port.readAll(); });
        QTRY_VERIFY_WITH_TIMEOUT(framesOf(got).size() > 20, 2000);
        QCOMPARE(port.error(), QSerialPort::NoError);
        QTRY_VERIFY_WITH_TIMEOUT(unit.isDisconnected(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(port.error() != QSerialPort::NoError, 3000);
        QVERIFY(!unit.isRunning());
        port.close();
        unit.stop();           // after a disconnect, harmless
        QVERIFY(unit.start()); // and a new line can be made
        QVERIFY(!unit.isDisconnected());
        unit.disconnectNow();
        QTRY_VERIFY_WITH_TIMEOUT(unit.isDisconnected(), 2000);
    }
};

QTEST_GUILESS_MAIN(TestSimCommands)
#include "tst_simcommands.moc"
