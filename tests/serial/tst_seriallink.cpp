// The serial link through the main window, with the test playing the unit on the master
// side of a pseudo-terminal.
#include "app/MainWindow.h"
#include "common/Language.h"
#include "config/QModelDialog.h"
#include "protocol/CommandFrame.h"
#include "serial/Information_Write_Thread.h"
#include "serial/SerialLink.h"
#include "tests/support/FakeView.h"
#include "tests/support/FrameBytes.h"
#include "tests/support/Pty.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace FrameBytes;

namespace {

QString lastMessage(const MainWindow &w)
{
    QTreeWidget *tree = w.ui().messageTree;
    return tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0);
}

void openOn(MainWindow &w, const PtyPair &pty)
{
    w.ui().portCombo->setEditText(pty.slavePath());
    w.slot_open_uart();
}

// Waits until the program has written these bytes (collecting what it writes meanwhile).
bool waitForWritten(PtyPair &pty, const QByteArray &needle)
{
    QByteArray seen;
    return QTest::qWaitFor([&] { return (seen += pty.readAll()).contains(needle); }, 5000);
}

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void silentUnitGetsEachQueryTenTimes()
    {
        PtyPair pty;
        MainWindow w;
        openOn(w, pty);
        QVERIFY(w.isPortOpen());
        QCOMPARE(lastMessage(w), QStringLiteral("设备成功连接到") + pty.slavePath());
        QCOMPARE(w.ui().portButton->text(), QStringLiteral("关闭串口"));
        QByteArray written;
        QTRY_VERIFY_WITH_TIMEOUT(
            (written += pty.readAll(), w.serialLink()->queryThread()->isFinished()), 20000);
        // Ten of each, in order: all product-ID queries first, the algorithm queries last (the
        // last ones may still be on their way through the terminal).
        const QByteArray expected = CommandFrame::queryProductId().repeated(10) +
                                    CommandFrame::queryVersion().repeated(10) +
                                    CommandFrame::queryFrequency().repeated(10) +
                                    CommandFrame::queryAlgorithm().repeated(10);
        QTRY_COMPARE((written += pty.readAll(), written), expected);
    }

    void answersFillTheDocksAndStopTheQueries_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("Chinese") << true;
        QTest::newRow("English") << false;
    }

    void answersFillTheDocksAndStopTheQueries()
    {
        QFETCH(bool, chinese);
        PtyPair pty;
        MainWindow w;
        if (!chinese)
            w.slot_translate_English();
        openOn(w, pty);
        QCOMPARE(lastMessage(w), chinese ? QStringLiteral("设备成功连接到") + pty.slavePath()
                                         : "Connect to " + pty.slavePath() + " successfully.");
        QSignalSpy forbidden(&w, &MainWindow::product_forbidden_message);
        QVERIFY(waitForWritten(pty, CommandFrame::queryProductId()));
        pty.write(productIdAnswer(QByteArray::fromHex("1234abcd")));
        QVERIFY(waitForWritten(pty, CommandFrame::queryVersion()));
        pty.write(versionAnswer("ARV-2.8-ARV806 -UH") + frequencyAnswer(10));
        pty.write(algorithmAnswer(1) + frame(1, item(0x01, le16(2500)) + item3(0x10, 0, 0, 0)));
        QTRY_VERIFY(w.serialLink()->queryThread()->isFinished());
        const MainWindowUi &ui = w.ui();
        QTRY_COMPARE(ui.contentsValue->text(), chinese
                                                   ? QStringLiteral("温度 , 加速度")
                                                   : QStringLiteral("Temperature , Acceleration"));
        QCOMPARE(ui.serialNumberValue->text(), QStringLiteral("12 34 ab cd "));
        QCOMPARE(ui.softwareVersionValue->text(), QStringLiteral("ARV-2.8-ARV806 -UH"));
        QCOMPARE(ui.frequencyValue->text(), QStringLiteral("400 Hz"));
        QCOMPARE(ui.algorithmValue->text(), QStringLiteral("AHRS"));
        QCOMPARE(w.versionSuffix(), QStringLiteral("UH"));
        QCOMPARE(forbidden.count(), 1);
        QCOMPARE(w.latestTemperature(), 25.0);

        // A successful frequency configuration asks the unit again.
        QSignalSpy freq(w.outputDialog(), &QModelDialog::freqSignal);
        pty.readAll();
        pty.write(frequencyAnswer(0));
        QTRY_COMPARE(freq.count(), 1);
        QVERIFY(freq.first().first().toBool());
        QVERIFY(waitForWritten(pty, CommandFrame::queryFrequency()));
        pty.write(frequencyAnswer(8));
        QTRY_COMPARE(ui.frequencyValue->text(), QStringLiteral("100 Hz"));
    }

    void framesFlowAndCloseEmptiesEverything()
    {
        PtyPair pty;
        MainWindow w;
        w.show();
        w.bindView(ViewKind::SenseData, ViewBinding::forWindow<FakeView>());
        openOn(w, pty);
        w.dataVisualization();
        QTemporaryDir records;
        w.recorder().setRecordDir(records.path());
        w.ui().recordAction->trigger();
        QVERIFY(w.recordingActive());
        w.calibrationCollector().setCollecting(true);
        w.gyroBiasCollector().start(1);
        for (int tid = 0; tid < 200; ++tid)
            pty.write(frame(tid, fullPayload(tid)));
        QTRY_COMPARE(w.parser().statistics().frames, quint64(200));
        QCOMPARE(w.history()[Quantity::AccX].size(), 200);
        QTRY_VERIFY(w.ui().statsLabel->text().contains(QStringLiteral("TID")));
        // The recorder got every frame once: TID and the 33 values of each.
        w.ui().stopRecordAction->trigger();
        QFile file(w.recorder().recordFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 200 + 1); // header, rows, the end after the last line feed
        for (int tid = 0; tid < 200; ++tid) {
            const QList<QByteArray> fields = lines[1 + tid].split(',');
            QVERIFY(fields.size() == 35 && fields[0].trimmed().toInt() == tid);
        }
        // The collectors of calibration and gyro bias get one entry per item.
        const CalibrationSeries &cal = w.calibrationCollector().series();
        QVERIFY(cal.magX.size() == 200 && cal.roll.size() == 200 && cal.gyroZ.size() == 200);
        QVERIFY(cal.tid.first() == 0.0 && cal.tid.last() == 199.0 && cal.magY.first() == -50.0);
        const QVector<double> &gyro = w.gyroBiasCollector().samples();
        QVERIFY(gyro.size() >= 3 && gyro.size() % 3 == 0);
        QCOMPARE(gyro.at(2), -0.000003);

        w.slot_open_uart(); // close
        QVERIFY(!w.isPortOpen() && !w.serialLink()->isOpen());
        QCOMPARE(lastMessage(w), QStringLiteral("设备断开连接!"));
        QVERIFY(w.history()[Quantity::AccX].isEmpty() && w.sampleVector().isEmpty());
        QVERIFY(w.ui().contentsValue->text().isEmpty());
        QVERIFY(w.latestTemperature() == 0.0 && !w.content(Content::AnyFrame));
        QTRY_VERIFY(!w.views()->isOpen(ViewKind::SenseData));
        QVERIFY(w.serialLink()->queryThread()->isFinished());

        // And it opens again.
        openOn(w, pty);
        QVERIFY(w.isPortOpen());
    }

    void vanishedUnitIsDetected()
    {
        PtyPair pty;
        MainWindow w;
        w.show();
        w.bindView(ViewKind::Temperature, ViewBinding::forWindow<FakeView>());
        openOn(w, pty);
        w.showTemp();
        QVERIFY(w.views()->isOpen(ViewKind::Temperature));
        pty.write(frame(1, item(0x01, le16(100))));
        QTRY_COMPARE(w.parser().statistics().frames, quint64(1));
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isPortOpen(), MainWindow::LossPollMs);
        QCOMPARE(lastMessage(w), QStringLiteral("设备未连接"));
        QCOMPARE(w.ui().portButton->text(), QStringLiteral("打开串口"));
        QTRY_VERIFY(!w.views()->isOpen(ViewKind::Temperature));
        QVERIFY(w.ui().mdiArea->subWindowList().isEmpty() && !w.serialLink()->isOpen());
        QVERIFY(w.ui().serialNumberValue->text().isEmpty() &&
                w.history()[Quantity::AccX].isEmpty());
    }
};

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
