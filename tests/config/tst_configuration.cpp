// The configuration end to end: the main window on the simulated unit (the built-in
// "ARV-SIM", or the unit on a pseudo-terminal), the user going through the dialogs; the unit's
// own state is the proof that the commands arrived.
#include "app/MainWindow.h"
#include "app/ViewBinding.h"
#include "common/Language.h"
#include "config/ConfigTexts.h"
#include "config/PortRestart.h"
#include "config/QModelDialog.h"
#include "config/QModelSwitchDialog.h"
#include "config/QtArvCommandSystem.h"
#include "config/Serial_Write_Widget.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"
#include "protocol/ItemLayout.h"
#include "serial/ArvSimHost.h"
#include "serial/Information_Write_Thread.h"
#include "serial/SerialLink.h"
#include "tests/support/FakeView.h"
#include "tests/support/FrameBytes.h"
#include "tests/support/ModalScript.h"
#include "tests/support/Pty.h"
#include "tests/support/Waits.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace M = ContentMask;

namespace {

QStringList messages(const MainWindow &w)
{
    QStringList list;
    QTreeWidget *tree = w.ui().messageTree;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        list << tree->topLevelItem(i)->text(0);
    return list;
}

int count(const MainWindow &w, const QString &text)
{
    return int(messages(w).count(text));
}

const QString Disconnected = QStringLiteral("设备断开连接!");
const QString Connected = QStringLiteral("设备成功连接到ARV-SIM");

// The built-in simulated unit with these settings, opened at 921600 baud; null on failure.
SimulatedUnit *openSimulatedUnit(MainWindow &w, std::uint16_t mask, int hz,
                                 const UnitFaults &faults = UnitFaults())
{
    UnitConfig config;
    config.contentMask = mask;
    auto host = std::make_unique<ArvSimHost>(config);
    SimulatedUnit *unit = &host->unit();
    if (!unit->setOutputRate(hz))
        return nullptr;
    unit->setFaults(faults);
    w.setSimulatedUnitHost(std::move(host));
    w.ui().baudCombo->setCurrentIndex(0);
    w.openSimulatedUnit();
    return w.isPortOpen() ? unit : nullptr;
}

// The frames per second that arrive over about a second and a half.
double frameRate(MainWindow &w)
{
    const quint64 before = w.parser().statistics().frames;
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(1500);
    return double(w.parser().statistics().frames - before) * 1000.0 / double(clock.elapsed());
}

// The longest time the event loop was away while a port restart ran, seen by a 5 ms timer;
// and how often it came round. A gap that began during the restart counts, so that its last
// step, the open, which ends the restart, is measured too.
struct LoopProbe
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longestMs = 0;
    int ticksDuringRestart = 0;

    explicit LoopProbe(PortRestart *restart)
    {
        timer.setInterval(5);
        timer.setTimerType(Qt::PreciseTimer);
        clock.start();
        QObject::connect(&timer, &QTimer::timeout, [this, restart] {
            const qint64 now = clock.elapsed();
            if (last >= 0)
                longestMs = std::max(longestMs, now - last);
            if (restart->isRunning()) {
                ++ticksDuringRestart;
                last = now;
            } else {
                last = -1;
            }
        });
        timer.start();
    }
};

QPushButton *buttonNamed(QWidget *w, const char *name)
{
    return w->findChild<QPushButton *>(QLatin1String(name));
}

// Whether this process still has the file open.
bool isOpenHere(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System))
        if (!target.isEmpty() && fd.symLinkTarget() == target)
            return true;
    return false;
}

} // namespace

class TestConfiguration : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void everyEntryIsEnabled()
    {
        MainWindow w;
        for (QAction *a : {w.ui().outputFormatAction, w.ui().dataSettingAction,
                           w.ui().functionSettingAction, w.ui().commandWriteAction})
            QVERIFY2(a->isEnabled(), qPrintable(a->text()));
        // Without a port: the data settings say so, the command write window is not opened.
        w.ui().dataSettingAction->trigger();
        QCOMPARE(messages(w).last(), ConfigTexts::notConnected());
        ModalScript script;
        script.answer("请先打开串口", QMessageBox::Ok);
        script.start();
        w.ui().commandWriteAction->trigger();
        QVERIFY(script.done());
        QVERIFY(!w.commandWriteWindow());
    }

    // 200 Hz: the unit answers, the success item appears, the port restarts once, frames come
    // at 200 Hz and the frequency dock says so. Closing the dialog again restarts nothing.
    void frequencyRestartsThePortOnce()
    {
        MainWindow w;
        w.show();
        SimulatedUnit *unit = openSimulatedUnit(w, M::Temperature | M::Acceleration, 100);
        QVERIFY(unit);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui().frequencyValue->text(), QString("100 Hz"), 5000);
        QCOMPARE(w.versionSuffix(), QString("A"));
        QCOMPARE(w.outputDialog()->frequencyList().last(), QString("400"));

        const QString success = ConfigTexts::result(ConfigTexts::Result::Frequency, true);
        ModalScript script;
        script
            .onModal<QModelDialog>([](QModelDialog *d) {
                QCOMPARE(d->findChild<QComboBox *>("frequencyCombo")->currentText(),
                         QString("100"));
                d->findChild<QComboBox *>("frequencyCombo")->setCurrentText("200");
                buttonNamed(d, "frequencyOk")->click();
            })
            .answer("请确认当前输出频率及输出内容是否匹配", QMessageBox::Yes)
            .then([&] { return messages(w).contains(success); },
                  [&] { w.outputDialog()->accept(); })
            .answer(ConfigTexts::restartSoon(), QMessageBox::Yes);
        script.start();
        LoopProbe probe(w.portRestart());
        w.ui().outputFormatAction->trigger();
        QVERIFY(script.done());
        QVERIFY(w.portRestart()->isRunning());
        QTRY_VERIFY(!w.portRestart()->isRunning());
        QVERIFY(w.isPortOpen());
        QCOMPARE(count(w, Disconnected), 1);
        QCOMPARE(count(w, Connected), 2);
        QCOMPARE(count(w, success), 1);
        QVERIFY(!w.outputDialog()->frequencySent());
        qInfo("port restart: the event loop came round %d times, at most %lld ms apart",
              probe.ticksDuringRestart, probe.longestMs);
        QVERIFY(probe.ticksDuringRestart >= 20); // 400 ms of waiting, on timers
        QVERIFY2(probe.longestMs < 190, qPrintable(QString::number(probe.longestMs)));

        QCOMPARE(unit->outputRateHz(), 200.0);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui().frequencyValue->text(), QString("200 Hz"), 5000);
        const double hz = frameRate(w);
        QVERIFY2(hz > 170 && hz < 230, qPrintable(QString::number(hz)));

        ModalScript again;
        again.onModal<QModelDialog>([](QModelDialog *d) { d->reject(); });
        again.start();
        w.ui().outputFormatAction->trigger();
        QVERIFY(again.done());
        QVERIFY(!w.portRestart()->isRunning());
        // Rejected: no restart follows (it would close the port within two delays).
        QVERIFY(!TestWaits::happensWithin(2 * PortRestart::DelayMs + 100,
                                          [&] { return count(w, Disconnected) > 1; }));
        QCOMPARE(count(w, Disconnected), 1);
        QVERIFY(w.settingSender()->isAwaitingAnswer(Setting::Frequency) == false);
    }

    // Accepted while recording: the file is complete and closed, the port restarts, only the
    // ticked items arrive and the contents dock says so, and a new recording can start.
    void dataSettingsEndTheRecordingAndRestart()
    {
        MainWindow w;
        w.show();
        QTemporaryDir dir;
        w.recorder().setRecordDir(dir.path());
        SimulatedUnit *unit = openSimulatedUnit(w, M::All, 100);
        QVERIFY(unit);
        QTRY_VERIFY_WITH_TIMEOUT(!w.ui().algorithmValue->text().isEmpty(), 5000);
        w.ui().recordAction->trigger();
        QVERIFY(w.recordingStarted());
        const QString file = w.recorder().recordFilePath();
        QTRY_VERIFY(QFileInfo(file).size() > 0 || w.parser().statistics().frames > 50);

        ModalScript script;
        script
            .onModal<QtArvCommandSystem>([](QtArvCommandSystem *d) {
                QVERIFY(!d->box(1)->isChecked()); // the combined state, never ticked
                for (int i = 0; i < ContentBoxes::Count; ++i) {
                    const std::uint16_t bit = ContentBoxes::boxes()[std::size_t(i)].bit;
                    d->box(i)->setChecked(bit == M::Temperature || bit == M::Euler);
                }
                d->findChildren<QPushButton *>().last()->click(); // Ok
            })
            .answer("数据内容重新设置后需要重启串口", QMessageBox::Ok);
        script.start();
        w.ui().dataSettingAction->trigger();
        QVERIFY(script.done());
        QVERIFY(w.findChildren<QtArvCommandSystem *>().isEmpty()); // released
        QVERIFY(messages(w).contains(ConfigTexts::dataSettingsDone()));
        QVERIFY(!w.recordingStarted() && !w.recordFileBusy());
        // The unit changed its items at once: the recording went on in a second file, and
        // every file is closed.
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString &name : files)
            QVERIFY2(!isOpenHere(dir.filePath(name)), qPrintable(name));
        QVERIFY(messages(w).filter(dir.filePath(files.last()).section('/', -1)).size() >= 2);
        QTRY_VERIFY(!w.portRestart()->isRunning());
        QCOMPARE(count(w, Disconnected), 1);
        QVERIFY(w.isPortOpen());

        QCOMPARE(int(unit->contentMask()), 0x0410);
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().lastLayout() &&
                                     w.parser().lastLayout()->ids() == std::string("\x01\x40"),
                                 5000);
        const quint64 frames = w.parser().statistics().frames;
        QTRY_VERIFY(w.parser().statistics().frames > frames + 20);
        QCOMPARE(w.parser().lastLayout()->ids(), std::string("\x01\x40"));
        QTRY_COMPARE(w.ui().contentsValue->text(), QStringLiteral("温度 , 欧拉角"));
        QVERIFY(messages(w).contains(ConfigTexts::result(ConfigTexts::Result::Contents, true)));

        QVERIFY(w.ui().recordAction->isEnabled());
        w.ui().recordAction->trigger();
        QVERIFY(w.recordingStarted());
        QVERIFY(w.recorder().recordFilePath() != file);
        w.ui().stopRecordAction->trigger();
    }

    // The mode answer refreshes the algorithm-mode dock through the identification queries.
    void modeSwitchToImu()
    {
        MainWindow w;
        w.slot_translate_English();
        SimulatedUnit *unit = openSimulatedUnit(w, M::Temperature, 50);
        QVERIFY(unit);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui().algorithmValue->text(), QString("AHRS"), 5000);
        const QString answered = ConfigTexts::result(ConfigTexts::Result::Algorithm, true);
        ModalScript script;
        script
            .onModal<QModelSwitchDialog>([](QModelSwitchDialog *d) {
                d->modeButton(ProductRules::Mode::Imu)->setChecked(true);
                d->modeApplyButton()->click();
            })
            .then([&] { return messages(w).contains(answered); },
                  [] {
                      if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                          d->reject();
                  });
        script.start();
        w.ui().functionSettingAction->trigger();
        QVERIFY(script.done());
        QVERIFY(w.findChildren<QModelSwitchDialog *>().isEmpty()); // released
        QCOMPARE(unit->algorithmMode(), 3);
        QVERIFY(messages(w).contains("AHRS/VRU model has been switched successfully！"));
        QTRY_COMPARE_WITH_TIMEOUT(w.ui().algorithmValue->text(), QString("IMU"), 5000);
    }

    // The baud command goes out with its code; the unit changes at once and the host must
    // follow, which the message list says; reopened at the new rate, frames come again.
    void baudRateAndReopen()
    {
        UnitConfig config;
        config.contentMask = M::Temperature | M::Acceleration;
        SimulatedUnit unit(config);
        QVERIFY(unit.setOutputRate(50));
        QString error;
        QVERIFY2(unit.start(&error), qPrintable(error));
        MainWindow w;
        w.ui().baudCombo->setCurrentText("460800");
        w.ui().portCombo->setEditText(unit.devicePath());
        w.slot_open_uart();
        QVERIFY(w.isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().statistics().frames > 20, 5000);

        ModalScript script;
        script
            .onModal<QModelDialog>([](QModelDialog *d) {
                d->findChild<QComboBox *>("baudCombo")->setCurrentText("115200");
                buttonNamed(d, "baudOk")->click();
            })
            .answer("请确认波特率及输出内容是否匹配", QMessageBox::Yes)
            .then([&] { return messages(w).contains(ConfigTexts::baudAdvice(115200)); },
                  [&] { w.outputDialog()->reject(); });
        script.start();
        w.ui().outputFormatAction->trigger();
        QVERIFY(script.done());
        QVERIFY(messages(w).contains(ConfigTexts::result(ConfigTexts::Result::Baudrate, true)));
        QTRY_COMPARE(unit.baudRate(), 115200);
        QVERIFY(unit.receivedBytes().contains(QByteArray::fromHex("5156020A0003")));
        QVERIFY(!w.portRestart()->isRunning()); // a baud command restarts nothing

        w.slot_open_uart(); // close
        w.ui().baudCombo->setCurrentText("115200");
        w.slot_open_uart();
        QVERIFY(w.isPortOpen());
        QCOMPARE(w.serialLink()->baudRate(), 115200);
        const quint64 frames = w.parser().statistics().frames;
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().statistics().frames > frames + 20, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(w.versionSuffix(), QString("A"), 5000);
    }

    // A typed frame goes out exactly as typed and changes the unit's rate; a bad one is
    // refused and nothing reaches the unit. One window, raised again; released when closed.
    void commandWriterChangesTheRate()
    {
        MainWindow w;
        SimulatedUnit *unit = openSimulatedUnit(w, M::Temperature, 200);
        QVERIFY(unit);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui().frequencyValue->text(), QString("200 Hz"), 5000);
        QTRY_VERIFY(w.serialLink()->queryThread()->isFinished());
        w.ui().commandWriteAction->trigger();
        QPointer<Serial_Write_Widget> window = w.commandWriteWindow();
        QVERIFY(window && window->isVisible() && window->isWindow());
        w.ui().commandWriteAction->trigger();
        QCOMPARE(w.commandWriteWindow(), window.data());

        window->input()->setPlainText("51 56 03 0A 00 08 15 32");
        window->sendButton()->click();
        QTRY_COMPARE(window->statusText(),
                     QStringLiteral("已发送 8 字节：51 56 03 0A 00 08 15 32"));
        QTRY_COMPARE(unit->outputRateHz(), 100.0);
        QTRY_VERIFY(
            messages(w).contains(ConfigTexts::result(ConfigTexts::Result::Frequency, true)));
        QTRY_COMPARE_WITH_TIMEOUT(w.ui().frequencyValue->text(), QString("100 Hz"), 5000);
        QTRY_VERIFY(w.serialLink()->queryThread()->isFinished());
        QTest::qWait(200); // the last query's bytes reach the unit

        const std::uint64_t received = unit->counters().bytesReceived;
        window->input()->setPlainText("51 56 03 0A 00 09 16 33 zz");
        ModalScript script;
        script.answer("输入不合法请检查是否有多余的字符", QMessageBox::Ok);
        script.start();
        window->sendButton()->click();
        QVERIFY(script.done());
        QVERIFY(script.boxes().first().contains("“zz”"));
        // Refused: nothing reaches the unit (a write would arrive within a few ms).
        QVERIFY(!TestWaits::happensWithin(
            200, [&] { return unit->counters().bytesReceived != received; }));
        QCOMPARE(unit->outputRateHz(), 100.0);

        window->close();
        QTRY_VERIFY(!window);
        QVERIFY(!w.commandWriteWindow());
    }

    // A unit that answers nothing: one no-answer item per command, nothing breaks, and the
    // dialog works again.
    void unitThatDropsAnswers()
    {
        MainWindow w;
        UnitFaults faults;
        faults.dropAnswerShare = 1.0;
        SimulatedUnit *unit = openSimulatedUnit(w, M::Temperature, 100, faults);
        QVERIFY(unit);
        QTRY_VERIFY_WITH_TIMEOUT(w.parser().statistics().frames > 20, 5000);
        const QString silent = ConfigTexts::noAnswer(Setting::Frequency, 1000);
        for (int round = 1; round <= 2; ++round) {
            const QString rate = round == 1 ? "50" : "20";
            ModalScript script;
            script
                .onModal<QModelDialog>([rate](QModelDialog *d) {
                    d->findChild<QComboBox *>("frequencyCombo")->setCurrentText(rate);
                    buttonNamed(d, "frequencyOk")->click();
                })
                .answer("请确认当前输出频率及输出内容是否匹配", QMessageBox::Yes)
                .then([&] { return count(w, silent) == round; },
                      [&] { w.outputDialog()->accept(); })
                .answer(ConfigTexts::restartSoon(), QMessageBox::Yes);
            script.start();
            w.ui().outputFormatAction->trigger();
            QVERIFY(script.done());
            QTRY_VERIFY(!w.portRestart()->isRunning());
            QVERIFY(w.isPortOpen());
            QCOMPARE(unit->outputRateHz(), rate.toDouble()); // the unit took it all the same
            QCOMPARE(count(w, silent), round);
            QCOMPARE(count(w, Disconnected), round);
        }
        QVERIFY(unit->counters().answersDropped > 0);
    }

    // The unit's model and suffix adapt the frequency list and the menus; the next unit gets
    // its own, what an earlier one lacked comes back.
    void productRulesFollowTheUnit()
    {
        struct Row
        {
            const char *version;
            QStringList extra;
            bool posture;
            bool magnetometer;
        };
        const Row rows[] = {
            {"V2.8.7-20240105-ARV273-U", {"250", "400", "1000", "2000"}, false, false},
            {"V2.8.7-20240105-ARV805-UH", {"200", "400", "800"}, false, false},
            {"V2.8.7-20240105-ARV806 -V", {"400"}, true, false},
            {"V2.8.7-20240105-ARV806 -VH", {}, true, true},
            {"V2.8.7-20240105-ARV806 -A", {"400"}, true, true},
            {"V2.8.7-20240105-ARV806 -N", {}, true, false},
            {"V2.8.7-20240105", {}, true, true}, // no model, no suffix
        };
        MainWindow w;
        w.bindView(ViewKind::PostureCourse, ViewBinding::forWindow<FakeView>());
        QVERIFY(!w.ui().postureResetAction->isEnabled()); // until a port is open
        for (const Row &row : rows) {
            PtyPair pty;
            w.ui().portCombo->setEditText(pty.slavePath());
            w.slot_open_uart();
            QVERIFY(w.isPortOpen());
            QVERIFY(pty.write(FrameBytes::versionAnswer(row.version)));
            QTRY_COMPARE(w.ui().softwareVersionValue->text(), QString(row.version));
            QCOMPARE(w.outputDialog()->frequencyList(),
                     ProductRules::baseFrequencies() + row.extra);
            QCOMPARE(w.ui().postureResetAction->isEnabled(), row.posture);
            QCOMPARE(w.ui().magnetometerMenu->menuAction()->isEnabled(), row.magnetometer);
            w.slot_open_uart(); // close
        }
    }
};

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
