// End to end with the built-in simulated unit: "ARV-SIM" opened through the same serial
// port path as any device.
#include "app/MainWindow.h"
#include "common/Language.h"
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
        QCOMPARE(w.serialPort()->baudRate(), baud);
        QCOMPARE(w.serialPort()->readBufferSize(), qint64(baud));
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
