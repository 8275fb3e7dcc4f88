#include "app/MainWindow.h"
#include "app/RefreshPacer.h"
#include "common/Language.h"
#include "protocol/FrameParser.h"
#include "serial/Information_Write_Thread.h"
#include "serial/SerialLink.h"
#include "tests/support/FakeView.h"
#include "tests/support/MainWindowKit.h"
#include "tests/support/Waits.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace MainWindowKit;

namespace {

ViewBinding fakeBinding(int *feeds = nullptr)
{
    ViewBinding b = ViewBinding::forWindow<FakeView>();
    if (feeds)
        b.feed = [feeds](QWidget *) { ++*feeds; };
    return b;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void viewActionsWaitForTheirWindowClass()
    {
        // Every kind is bound from the start (tst_viewwiring); the reset entry also waits for
        // an open port (tst_calibration), the update entry for its dialog.
        MainWindow w;
        const MainWindowUi &ui = w.ui();
        QVERIFY(!ui.postureResetAction->isEnabled() && !ui.updateAction->isEnabled());
        // A window the main window cannot connect is refused, not bound silently.
        ViewBinding unconnected;
        unconnected.create = [](QWidget *parent) { return new QWidget(parent); };
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not bound"));
        w.bindView(ViewKind::PostureCourse, unconnected);
        QVERIFY(!ui.postureResetAction->isEnabled());
    }

    void openViewsAreFedAndRepainted()
    {
        MainWindow w;
        w.show();
        int senseFeeds = 0, imuFeeds = 0, locationFeeds = 0;
        w.bindView(ViewKind::SenseData, fakeBinding(&senseFeeds));
        w.bindView(ViewKind::Imu, fakeBinding(&imuFeeds));
        w.bindView(ViewKind::RealLocation, fakeBinding(&locationFeeds));
        w.dataVisualization();
        w.imuVisualization();
        auto *sense = qobject_cast<FakeView *>(w.views()->window(ViewKind::SenseData));
        auto *imu = qobject_cast<FakeView *>(w.views()->window(ViewKind::Imu));
        QVERIFY(sense && imu);

        w.getSenseData({});
        w.getImuData({}); // an empty pass does not repaint the attitude plot
        QTRY_COMPARE(senseFeeds, 1);
        QCOMPARE(sense->paints, 1);
        QCOMPARE(imuFeeds, 0);
        w.getImuData({1.0});
        QTRY_COMPARE(imuFeeds, 1);
        QCOMPARE(imu->paints, 1);
        // Many passes before the next screen refresh: one feed, with the newest data.
        for (int i = 0; i < 10; ++i)
            w.getSenseData({});
        QTRY_COMPARE(senseFeeds, 2);
        // The burst gave one feed: no second one follows within a few refresh intervals.
        QVERIFY(!TestWaits::happensWithin(3 * RefreshPacer::MinIntervalMs,
                                          [&] { return senseFeeds > 2; }));
        QCOMPARE(sense->paints, 2);
        QCOMPARE(locationFeeds, 0); // not open
    }

    void closeWithoutSubWindowDoesNothing()
    {
        MainWindow w;
        w.show();
        w.ui().closeAction->trigger();
        QVERIFY(w.isVisible());
        w.bindView(ViewKind::Temperature, fakeBinding());
        w.showTemp();
        w.ui().mdiArea->setActiveSubWindow(w.ui().mdiArea->subWindowList().first());
        w.ui().closeAction->trigger();
        QTRY_VERIFY(!w.views()->isOpen(ViewKind::Temperature));
    }

    void closeConfirmationCancelKeepsThePortOpen()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow w;
        w.show();
        QVERIFY(openOn(w, pty));

        QString seen;
        answerNextBox(QMessageBox::Cancel, &seen);
        QVERIFY(!w.close());
        QCOMPARE(seen, QStringLiteral("ARV Manager 即将关闭|是否选择关闭它?"));
        QVERIFY(w.isVisible() && w.isPortOpen() && w.serialLink()->isOpen());

        w.slot_translate_English();
        answerNextBox(QMessageBox::Ok, &seen);
        QVERIFY(w.close());
        QCOMPARE(seen, QStringLiteral("ARV Manager will be closed|Do you want to close it?"));
        QVERIFY(!w.serialLink()->isOpen());
    }

    // The window goes while everything runs: the port is open, the query thread waits for
    // answers that never come, a view is open with data waiting for the next refresh.
    void destroyedWhileThePortAndTheQueriesRun()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        auto *w = new MainWindow;
        w->show();
        w->bindView(ViewKind::SenseData, fakeBinding());
        QVERIFY(openOn(*w, pty));
        w->dataVisualization();
        QVERIFY(w->views()->isOpen(ViewKind::SenseData));
        QPointer<Information_Write_Thread> queries = w->serialLink()->queryThread();
        QByteArray written;
        QTRY_VERIFY((written += pty.readAll(), !written.isEmpty())); // the first query is out
        QVERIFY(queries->isRunning());
        w->getSenseData({}); // a feed is due at the next refresh
        delete w;
        QVERIFY(!queries);
        // An absence, so a fixed wait: nothing of the window fires any more. A refresh, query or
        // write still due would run within a few refresh intervals and use freed memory, which
        // crashes or fails the sanitizer run.
        QTest::qWait(3 * RefreshPacer::MinIntervalMs);
    }

    // Beyond the menus (tst_language): docks, captions and the port button switch too.
    void languageSwitchCoversTheWindow()
    {
        MainWindow w;
        const MainWindowUi &ui = w.ui();
        QCOMPARE(ui.productDock->windowTitle(), QStringLiteral("产品信息栏"));
        QCOMPARE(ui.portButton->text(), QStringLiteral("打开串口"));
        w.slot_translate_English();
        const QStringList english{ui.portsDock->windowTitle(), ui.serialNumberCaption->text(),
                                  ui.stopRecordAction->text(), ui.portButton->text()};
        QCOMPARE(english, (QStringList{"Currently Available Ports",
                                       "Serial Number:", "Stop Recording", "Open Port"}));
        w.slot_translate_Chinese();
        QCOMPARE(ui.baudLabel->text(), QStringLiteral("波特率："));
    }

    void portListEndsWithTheSimulatedUnit()
    {
        MainWindow w;
        QComboBox *combo = w.ui().portCombo;
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->itemText(combo->count() - 1), QStringLiteral("ARV-SIM"));
        const QStringList system = SerialLink::systemPortNames();
        QCOMPARE(w.selectedPortName(),
                 system.isEmpty() ? QStringLiteral("ARV-SIM") : system.first());
        w.updateAvailablePorts(); // a refresh keeps the simulated unit
        QCOMPARE(combo->itemText(combo->count() - 1), QStringLiteral("ARV-SIM"));
        // A typed device path becomes the selected port.
        combo->setEditText(QStringLiteral("/dev/ttyACM7"));
        QCOMPARE(w.selectedPortName(), QStringLiteral("/dev/ttyACM7"));
    }

    // The line says why before it says which port, and a long path is shortened in the
    // middle. Qt fails such a path in its lock file and calls that a permission error: it
    // gets no group advice.
    void failedOpenShowsTheReasonFirst()
    {
        MainWindow w;
        w.ui().portCombo->setEditText(QStringLiteral("/dev/arv-no-such-port"));
        w.slot_open_uart();
        QVERIFY(!w.isPortOpen());
        QCOMPARE(messages(w), QStringList{QStringLiteral("无法打开串口：No such file or directory"
                                                         "（/dev/arv-no-such-port）")});

        const QString longPath = QStringLiteral("/dev/") + QString(1000, 'a') + QString(1000, 'b') +
                                 QString(1995, 'c') + QStringLiteral("-tail");
        QCOMPARE(longPath.size(), 4005);
        w.slot_translate_English();
        w.ui().portCombo->setEditText(longPath);
        w.slot_open_uart();
        const QString line = messages(w).last();
        QVERIFY2(line.startsWith(QStringLiteral("Cannot open port: Permission error")) &&
                     line.endsWith(QStringLiteral("ccccc-tail)")) && line.size() < 130,
                 qPrintable(line));
        QVERIFY(line.contains(QStringLiteral("(/dev/aaaa")) && line.contains(QChar(0x2026)));
        QVERIFY(!line.contains(QStringLiteral("usermod")) && !line.contains("group"));
        QCOMPARE(w.ui().messageTree->topLevelItem(1)->toolTip(0), line);
    }

    // A user who may not open the device is told the group that owns it, in both
    // languages. The device here is a file of group "tty" (the caller's own group when not
    // root) that only its group may open, and the open runs as another user.
    void permissionHintNamesTheOwningGroup()
    {
        QTemporaryFile device(QDir::tempPath() + QStringLiteral("/arv-device-XXXXXX"));
        QVERIFY(device.open());
        const QByteArray path = QFile::encodeName(device.fileName());
        const bool root = ::geteuid() == 0;
        if (root) {
            const group *tty = ::getgrnam("tty");
            QVERIFY(tty && ::chown(path.constData(), 0, tty->gr_gid) == 0);
        }
        QVERIFY(::chmod(path.constData(), 0060) == 0);
        const QString group = QFileInfo(device.fileName()).group();
        if (group == QLatin1String("dialout") || group == QLatin1String("root"))
            QSKIP("the file's group must be another one for this test");

        // In a child process that is neither the owner nor in the group.
        int out[2];
        QVERIFY(::pipe(out) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(out[0]);
            if (root &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            QByteArray texts;
            for (bool chinese : {true, false}) {
                Language::setChinese(chinese);
                IdentificationFlags flags;
                SerialLink link(&flags);
                QString message;
                if (link.open(device.fileName(), 115200, &message))
                    ::_exit(3);
                texts += message.toUtf8() + '\n';
            }
            const bool written =
                ::write(out[1], texts.constData(), size_t(texts.size())) == ssize_t(texts.size());
            ::_exit(written ? 0 : 4);
        }
        ::close(out[1]);
        QByteArray texts;
        char buffer[4096];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
            texts.append(buffer, int(n));
        ::close(out[0]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

        const QStringList lines = QString::fromUtf8(texts).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QString shown = device.fileName();
        QCOMPARE(lines[0], QStringLiteral("无法打开串口：没有访问权限（%1）。请把当前用户加入拥有"
                                          "该设备的用户组“%2”（sudo usermod -aG %2 $USER），"
                                          "然后重新登录。")
                               .arg(shown, group));
        QCOMPARE(lines[1], QStringLiteral("Cannot open port: Permission denied (%1). Add your "
                                          "user to the group that owns the device, \"%2\" "
                                          "(sudo usermod -aG %2 $USER), then log in again.")
                               .arg(shown, group));
        QCOMPARE(lines[1].count(QStringLiteral("permission denied"), Qt::CaseInsensitive), 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
