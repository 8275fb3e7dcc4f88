// What the program remembers between runs. Every store here is a file in a temporary
// folder; the user's own settings are never read or written.
#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "common/Language.h"
#include "tests/support/Pty.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Closes the window, answering its confirmation with OK.
bool closeConfirmed(MainWindow &w)
{
    QTimer::singleShot(50, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    return w.close();
}

QStringList items(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    // Anything that reaches for the default store by mistake lands in Qt's test folder.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // A first start is Chinese; language, port, baud rate, typed path, geometry and docks
    // come back when the window is built again on the same store.
    void mainWindowComesBackAsItWasLeft()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ARV Manager.conf"));
        PtyPair pty;
        QVERIFY(pty.isValid());
        const QRect geometry(60, 40, 1100, 760);
        {
            AppSettings settings(file);
            Language::setChinese(false);
            MainWindow w;
            w.useSettings(&settings);
            QVERIFY(Language::isChinese());
            QVERIFY(w.ui().chineseAction->isChecked());
            w.setGeometry(geometry);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.ui().englishAction->trigger();
            w.ui().baudCombo->setCurrentText(QStringLiteral("115200"));
            w.ui().portCombo->setEditText(pty.slavePath());
            w.slot_open_uart();
            QVERIFY(w.isPortOpen());
            w.addDockWidget(Qt::RightDockWidgetArea, w.ui().portsDock);
            w.ui().messageDock->hide();
            QTRY_COMPARE(w.geometry(), geometry);
            QVERIFY(closeConfirmed(w));
        }
        {
            AppSettings settings(file);
            Language::setChinese(true);
            MainWindow w;
            w.useSettings(&settings);
            QVERIFY(!Language::isChinese());
            QVERIFY(w.ui().englishAction->isChecked());
            QCOMPARE(w.ui().portButton->text(), QStringLiteral("Open Port"));
            QCOMPARE(w.selectedPortName(), pty.slavePath());
            QCOMPARE(w.selectedBaudRate(), 115200);
            // The typed path is offered, ahead of the simulated unit.
            const QStringList offered = items(w.ui().portCombo);
            QCOMPARE(offered.last(), QStringLiteral("ARV-SIM"));
            QCOMPARE(offered.at(offered.size() - 2), pty.slavePath());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(w.geometry(), geometry);
            QCOMPARE(w.dockWidgetArea(w.ui().portsDock), Qt::RightDockWidgetArea);
            QVERIFY(w.ui().messageDock->isHidden());
            Language::setChinese(true);
        }
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
