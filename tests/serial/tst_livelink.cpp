// End to end with the built-in simulated unit: "ARV-SIM" opened through the same serial
// port path as any device.
#include "app/MainWindow.h"
#include "common/Language.h"
#include "protocol/CommandFrame.h"
#include "serial/ArvSimHost.h"
#include "serial/Information_Write_Thread.h"
#include "serial/SerialLink.h"
#include "serial/SimulatedUnitHost.h"
#include "tests/support/FakeView.h"

#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString lastMessage(const MainWindow &w)
{
    QTreeWidget *tree = w.ui().messageTree;
    const int n = tree->topLevelItemCount();
    return n > 0 ? tree->topLevelItem(n - 1)->text(0) : QString();
}

} // namespace

class TestLiveLink : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void simulatedUnitIsIdentifiedAndStreams_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<int>("baudIndex");
        QTest::newRow("Chinese, 460800") << true << 1;
        QTest::newRow("English, 921600") << false << 0;
    }

    void simulatedUnitIsIdentifiedAndStreams()
    {
        QFETCH(bool, chinese);
        QFETCH(int, baudIndex);
        MainWindow w;
        if (!chinese)
            w.slot_translate_English();
        w.ui().baudCombo->setCurrentIndex(baudIndex);
        QSignalSpy forbidden(&w, &MainWindow::product_forbidden_message);
        QSignalSpy ready(&w, &MainWindow::messageReady);
        w.openSimulatedUnit();
        QVERIFY2(w.isPortOpen(), qPrintable(lastMessage(w)));
        const int baud = baudIndex == 0 ? 921600 : 460800;
        QCOMPARE(w.serialLink()->baudRate(), baud);
        QCOMPARE(w.serialLink()->readBufferSize(), qint64(baud));
        QCOMPARE(lastMessage(w), chinese ? QStringLiteral("设备成功连接到ARV-SIM")
                                         : QStringLiteral("Connect to ARV-SIM successfully."));

        const MainWindowUi &ui = w.ui();
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().identification().complete, 10000);
        QCOMPARE(ui.serialNumberValue->text(),
                 QStringLiteral("41 52 56 38 30 36 5a 00 12 34 56 78 "));
        QCOMPARE(ui.softwareVersionValue->text(), QStringLiteral("V2.8.7-20240105-ARV806 -A"));
        QCOMPARE(ui.frequencyValue->text(), QStringLiteral("100 Hz"));
        QCOMPARE(ui.algorithmValue->text(), QStringLiteral("AHRS"));
        QCOMPARE(w.productModel(), QStringLiteral("ARV806 "));
        QVERIFY(forbidden.count() >= 1); // once per version answer; a query may go twice
        QTRY_VERIFY(ui.contentsValue->text().contains(chinese ? "温度" : "Temperature"));
        QVERIFY(w.serialLink()->queryThread()->wait(5000));

        // Frames flow, whole: after the start (the open flushes what the unit sent before),
        // no byte is discarded and no frame fails. (TID gaps are the unit's own: a starved
        // simulator skips frames.)
        const LinkStatistics before = w.parser().statistics();
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().statistics().frames >= before.frames + 50, 5000);
        QVERIFY(ready.count() > 0 && w.content(Content::Quaternion) && w.content(Content::Utc));
        const LinkStatistics &st = w.parser().statistics();
        QVERIFY(st.checksumFailures == before.checksumFailures &&
                st.bytesDiscarded == before.bytesDiscarded &&
                st.malformedFrames == before.malformedFrames);

        w.slot_open_uart();
        QVERIFY(!w.isPortOpen());
        QCOMPARE(lastMessage(w), chinese ? QStringLiteral("设备断开连接!")
                                         : QStringLiteral("Device disconnected! "));
        QCOMPARE(ui.portButton->text(),
                 chinese ? QStringLiteral("打开串口") : QStringLiteral("Open Port"));
        for (QLabel *l : {ui.serialNumberValue, ui.softwareVersionValue, ui.frequencyValue,
                          ui.algorithmValue, ui.contentsValue})
            QVERIFY(l->text().isEmpty());
        QVERIFY(w.productModel().isEmpty() && w.history()[Quantity::AccZ].isEmpty());
        QVERIFY(!w.parser().identification().productId);
    }

    // The unit at 2000 Hz and 921600 baud (42-byte frames: about 92 % of the line), and the GUI
    // thread held up for a second, five times what the pseudo-terminal can hold: every frame
    // arrives, in order, and the status bar shows how much the hand-over buffer held.
    void nothingLostWhileTheGuiThreadStalls()
    {
        UnitConfig config;
        config.baudRate = 921600;
        config.contentMask = ContentMask::Temperature | ContentMask::Acceleration |
                             ContentMask::AngularVelocity | ContentMask::FusionState;
        auto host = std::make_unique<ArvSimHost>(config);
        SimulatedUnit &unit = host->unit();
        QVERIFY(unit.setOutputRate(2000));
        MainWindow w;
        w.setSimulatedUnitHost(std::move(host));
        w.slot_translate_English();
        w.ui().baudCombo->setCurrentIndex(0); // 921600
        w.openSimulatedUnit();
        QVERIFY(w.isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().identification().complete, 10000);

        QVector<int> tids;
        connect(&w, &MainWindow::messageReady, this, [&] {
            for (const PassFrame &f : w.parser().frames())
                tids << f.tid;
        });
        QTRY_VERIFY_WITH_TIMEOUT(tids.size() >= 200, 5000);
        const UnitCounters before = unit.counters();
        w.stallNextPassForTesting(1000);
        QTRY_VERIFY_WITH_TIMEOUT(tids.size() >= 200 + 4000, 15000);
        QCOMPARE(unit.counters().framesSkipped, before.framesSkipped); // the line had room
        for (int i = 1; i < tids.size(); ++i)
            if (tids[i] != ((tids[i - 1] + 1) & 0xFFFF))
                QFAIL(
                    qPrintable(QStringLiteral("TID %1 follows %2").arg(tids[i]).arg(tids[i - 1])));
        // A second of this stream waited in the hand-over buffer, and the status bar says so.
        const HandOverStatistics h = w.serialLink()->handOverStatistics();
        QVERIFY2(h.highWater > 60000 && h.overflowBytes == 0,
                 qPrintable(QString::number(h.highWater)));
        QTRY_VERIFY(w.ui().statsLabel->text().contains(
            QStringLiteral("Receive buffer peak %1 KB").arg((h.highWater + 1023) / 1024)));
    }

    void pulledCableIsDetectedWithinThePoll()
    {
        MainWindow w;
        w.show();
        w.bindView(ViewKind::Display3D, ViewBinding::forWindow<FakeView>());
        w.openSimulatedUnit();
        QVERIFY(w.isPortOpen());
        w.showDisplay();
        QVERIFY(w.views()->isOpen(ViewKind::Display3D));
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().statistics().frames > 10, 5000);
        w.serialLink()->simulatedUnitHost()->disconnectUnit();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isPortOpen(), MainWindow::LossPollMs);
        QCOMPARE(lastMessage(w), QStringLiteral("设备未连接"));
        QTRY_VERIFY(!w.views()->isOpen(ViewKind::Display3D));
        // The unit can be opened again afterwards.
        w.slot_open_uart();
        QVERIFY(w.isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().identification().complete, 10000);
    }
};

QTEST_MAIN(TestLiveLink)
#include "tst_livelink.moc"
