// The firmware update end to end: the main window on the built-in simulated unit, the update
// dialog driven as a user drives it, with faults injected into the unit and the line.

#include "app/MainWindow.h"
#include "app/MainWindowUi.h"
#include "common/Language.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"
#include "sim/FirmwareImage.h"
#include "tests/support/MainWindowKit.h"
#include "update/QUpdateDialog.h"
#include "update/UpdateTransfer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace MainWindowKit;

namespace {

const QString NewVersion = QStringLiteral("V3.1.0-20260101-ARV806 -A");

QStringList items(const QTreeWidget *tree)
{
    QStringList list;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        list << tree->topLevelItem(i)->text(0);
    return list;
}

QStringList dialogMessages(const QUpdateDialog *d)
{
    return items(d->findChild<QTreeWidget *>(QStringLiteral("messageTree")));
}

// Writes image into dir and returns the path.
QString imageFile(const QTemporaryDir &dir, const QByteArray &image, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size())
        return QString();
    return path;
}

// The main window on the simulated unit at 921600 baud, the update dialog open with an image
// loaded, and every transfer ending recorded.
struct Rig
{
    QTemporaryDir dir;
    MainWindow w;
    SimulatedUnit *unit = nullptr;
    QPointer<QUpdateDialog> dialog;
    QVector<UpdateOutcome> outcomes;

    bool open(const UnitFaults &faults = UnitFaults())
    {
        UnitConfig config;
        config.faults = faults;
        config.restartSeconds = 0.3;
        auto host = std::make_unique<ArvSimHost>(config);
        unit = &host->unit();
        w.setSimulatedUnitHost(std::move(host));
        w.slot_translate_English(); // the program starts in Chinese
        w.show();
        w.ui().baudCombo->setCurrentIndex(0); // 921600
        w.openSimulatedUnit();
        if (!w.isPortOpen() || !w.ui().updateAction->isEnabled())
            return false;
        w.ui().updateAction->trigger();
        dialog = w.updateDialog();
        if (!dialog)
            return false;
        QObject::connect(dialog, &QUpdateDialog::transferFinished,
                         [this](const UpdateOutcome &o) { outcomes << o; });
        return true;
    }
    bool load(const QByteArray &image)
    {
        return dialog->loadFile(imageFile(dir, image, QStringLiteral("image.bin")));
    }
    // Lost answers are made up for by resends after this long, not after 5 s.
    void shortTimeouts() { dialog->transfer()->setTimeouts({400, 800}); }
    void start() { dialog->findChild<QPushButton *>(QStringLiteral("startButton"))->click(); }
    int percent() const { return dialog ? dialog->transfer()->progress().percent : -1; }
    quint64 frames() { return w.parser().statistics().frames; }
};

} // namespace

class TestFirmwareUpdate : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(false); }

    // Nothing is sent without a port, without a file, or with a file the frames cannot
    // describe; each says why, in the language of the dialog.
    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("loadMessage");
        QTest::addColumn<QString>("startMessage");
        QTest::newRow("no file") << false << QByteArray() << QString()
                                 << "The update file cannot be loaded!";
        QTest::newRow("14 bytes") << false << QByteArray(14, 'x') << "too small"
                                  << "The update file cannot be loaded!";
        QTest::newRow("empty, Chinese") << true << QByteArray("") << "空"
                                        << "无法加载更新文件";
        QTest::newRow("good image, no port")
            << false << FirmwareImage::make(NewVersion, 100)
            << "The update file imports successful!"
            << "Device is not connected! Please connect the device first!";
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(bool, chinese);
        QFETCH(QByteArray, image);
        QFETCH(QString, loadMessage);
        QFETCH(QString, startMessage);
        MainWindow w;
        if (!chinese)
            w.slot_translate_English();
        QVERIFY(!w.ui().updateAction->isEnabled());
        QUpdateDialog d(w.commandSender());
        QCOMPARE(dialogMessages(&d).value(0),
                 Language::text("设备未连接，请先连接设备！",
                                "Device is not connected! Please connect the device first!"));
        int frames = 0;
        connect(d.transfer(), &UpdateTransfer::frameReady, [&] { ++frames; });
        QTemporaryDir dir;
        if (!image.isNull())
            d.loadFile(imageFile(dir, image, "f.bin"));
        if (!loadMessage.isEmpty())
            QVERIFY2(dialogMessages(&d).last().contains(loadMessage),
                     qPrintable(dialogMessages(&d).join('|')));
        d.slotUpdateCommad();
        QCOMPARE(dialogMessages(&d).last(), startMessage);
        QCOMPARE(frames, 0);
        QVERIFY(!d.isTransferring() && !w.parser().updateMode());
    }

    // A whole transfer against the unit: success only when the unit took the image, never
    // for its error; after every ending the parser decodes frames again.
    void transfer_data()
    {
        QTest::addColumn<double>("dropShare");
        QTest::addColumn<int>("payload");
        QTest::addColumn<bool>("corrupt");
        QTest::newRow("1 MB") << 0.0 << 1000 * 1000 << false;
        QTest::newRow("5 % of the acknowledgements lost") << 0.05 << 96 * 1024 << false;
        QTest::newRow("checksum inside broken") << 0.0 << 200 * 1024 << true;
    }
    void transfer()
    {
        QFETCH(double, dropShare);
        QFETCH(int, payload);
        QFETCH(bool, corrupt);
        UnitFaults faults;
        faults.dropUpdateAckShare = dropShare;
        Rig r;
        QVERIFY(r.open(faults));
        QByteArray image = FirmwareImage::make(NewVersion, payload);
        if (corrupt)
            image[image.size() / 2] = char(image[image.size() / 2] ^ 0x10);
        QVERIFY(r.load(image));
        r.shortTimeouts();
        const QString oldVersion = r.unit->version();
        QTRY_VERIFY_WITH_TIMEOUT(r.frames() > 0, 5000);

        r.start();
        QVERIFY(r.dialog->isTransferring() && r.w.parser().updateMode());
        r.dialog->slotUpdateCommad(); // a second start while one runs does nothing
        QTRY_COMPARE_WITH_TIMEOUT(r.outcomes.size(), 1, 120000);
        const UpdateOutcome o = r.outcomes[0];
        QVERIFY(!r.w.parser().updateMode());
        const QStringList said = dialogMessages(r.dialog) + messages(r.w);
        QCOMPARE(said.filter("Update successful!").isEmpty(), corrupt);
        if (corrupt) {
            QCOMPARE(o.ending, UpdateOutcome::Ending::UnitError);
            QCOMPARE(o.text, QString("final check error!"));
            QCOMPARE(r.unit->version(), oldVersion);
            const quint64 before = r.frames();
            QTRY_VERIFY_WITH_TIMEOUT(r.frames() > before, 5000);
            return;
        }
        QVERIFY2(o.success(), qPrintable(o.summary()));
        QCOMPARE(r.dialog->transfer()->progress().percent, 100);
        QCOMPARE(r.unit->version(), NewVersion);
        QVERIFY(r.unit->counters().answersDropped <= quint64(o.resends));
        QCOMPARE(o.resends > 0, dropShare > 0);
        if (o.resends > 0)
            QVERIFY(said.filter(QString("(%1 resends)").arg(o.resends)).size() >= 1);
        // The unit restarts and is asked again what it is.
        QTRY_COMPARE_WITH_TIMEOUT(r.w.ui().softwareVersionValue->text(), NewVersion, 10000);
        // The box is read: the dialog closes and is released.
        auto *box = r.dialog->findChild<QMessageBox *>(QStringLiteral("outcomeBox"));
        QVERIFY(box && box->text() == o.summary());
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(!r.dialog && !r.w.updateDialog());
    }

    // A pulled cable ends the transfer as failed within 5 s; the program goes on.
    void cableCut_data()
    {
        QTest::addColumn<int>("atPercent");
        QTest::newRow("at the start") << 0;
        QTest::newRow("at 20 %") << 20;
    }
    void cableCut()
    {
        QFETCH(int, atPercent);
        Rig r;
        QVERIFY(r.open());
        QVERIFY(r.load(FirmwareImage::make(NewVersion, 1000 * 1000)));
        r.start();
        QTRY_VERIFY_WITH_TIMEOUT(r.percent() >= atPercent, 60000);
        QElapsedTimer clock;
        clock.start();
        r.unit->disconnectNow();
        QTRY_COMPARE_WITH_TIMEOUT(r.outcomes.size(), 1, 5000);
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(!r.outcomes[0].success());
        QTRY_VERIFY(!r.w.isPortOpen());
        QVERIFY(!r.w.parser().updateMode() && !r.w.ui().updateAction->isEnabled());
        QVERIFY(r.dialog && !r.dialog->isTransferring());
        QVERIFY(dialogMessages(r.dialog).filter("Update successful!").isEmpty());
        QVERIFY(dialogMessages(r.dialog).last().contains("the unit needs a new update"));
        r.dialog->slotOk();
        QTRY_VERIFY(!r.w.updateDialog());
    }

    // Cancel or closing the main window during a transfer asks first: No keeps the transfer
    // (it succeeds), Yes stops it as failed, and the dialog is released.
    void stoppingMidTransfer_data()
    {
        QTest::addColumn<bool>("mainWindow");
        QTest::addColumn<bool>("stop");
        QTest::newRow("Cancel, No") << false << false;
        QTest::newRow("Cancel, Yes") << false << true;
        QTest::newRow("main window, Cancel") << true << false;
        QTest::newRow("main window, Ok") << true << true;
    }
    void stoppingMidTransfer()
    {
        QFETCH(bool, mainWindow);
        QFETCH(bool, stop);
        Rig r;
        QVERIFY(r.open());
        QVERIFY(r.load(FirmwareImage::make(NewVersion, 600 * 1000)));
        r.start();
        QTRY_VERIFY_WITH_TIMEOUT(r.percent() >= 10, 60000);
        if (mainWindow) {
            answerNextBox(stop ? QMessageBox::Ok : QMessageBox::Cancel);
            QCOMPARE(r.w.close(), stop);
        } else {
            r.dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
            QMessageBox *question = r.dialog->stopQuestion();
            QVERIFY(question && question->isVisible());
            QVERIFY(r.dialog->isVisible() && r.dialog->isTransferring());
            question->button(stop ? QMessageBox::Yes : QMessageBox::No)->click();
        }
        if (!stop) {
            QVERIFY(r.dialog && r.dialog->isVisible());
            QTRY_COMPARE_WITH_TIMEOUT(r.outcomes.size(), 1, 60000);
            QVERIFY(r.outcomes[0].success());
            return;
        }
        QCOMPARE(r.outcomes.size(), 1);
        QCOMPARE(r.outcomes[0].ending, UpdateOutcome::Ending::Cancelled);
        QVERIFY(!r.w.parser().updateMode());
        QCOMPARE(r.w.serialLink()->isOpen(), !mainWindow);
        QTRY_VERIFY(!r.dialog && !r.w.updateDialog());
        QVERIFY(messages(r.w).filter("Update successful!").isEmpty());
    }
};

QTEST_MAIN(TestFirmwareUpdate)
#include "tst_firmwareupdate.moc"
