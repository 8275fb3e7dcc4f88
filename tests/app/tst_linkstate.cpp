// First contact with a unit at a wrong baud rate or with no unit at all, as a user meets it:
// the main window says what it sees within about two seconds, the status bar's light shows
// it, and "Find Baud Rate" finds the unit's rate without sending it a byte.
#include "app/MainWindow.h"
#include "common/Language.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"
#include "sim/SimulatedUnit.h"
#include "tests/support/MainWindowKit.h"
#include "tests/support/Waits.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace MainWindowKit;

namespace {

int countContaining(const MainWindow &w, const QString &part)
{
    return int(messages(w).filter(part).size());
}

QString light(const MainWindow &w)
{
    return w.ui().linkStateLabel->isHidden() ? QString() : w.ui().linkStateLabel->text();
}

// Opens a device path at a baud rate of the baud box, as a user types it.
void openPath(MainWindow &w, const QString &path, int baud)
{
    w.ui().baudCombo->setCurrentIndex(w.ui().baudCombo->findText(QString::number(baud)));
    w.ui().portCombo->setEditText(path);
    w.slot_open_uart();
}

// Answers the next message box, whenever it comes and ready() holds (or, failing that, 8 s
// after it came: readyMissed()), from inside its event loop; seen(box) runs first.
class BoxAnswer : public QObject
{
public:
    BoxAnswer(QMessageBox::StandardButton button, std::function<bool()> ready,
              std::function<void(QMessageBox *)> seen)
        : m_button(button), m_ready(std::move(ready)), m_seen(std::move(seen))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (!m_shown.isValid())
                m_shown.start();
            if (!m_ready()) {
                if (m_shown.elapsed() < 8000)
                    return;
                m_missed = true;
            }
            m_timer.stop();
            m_seen(box);
            box->button(m_button)->click();
        });
        m_timer.start(20);
    }

    bool readyMissed() const { return m_missed; }

private:
    QElapsedTimer m_shown;
    bool m_missed = false;
    QMessageBox::StandardButton m_button;
    std::function<bool()> m_ready;
    std::function<void(QMessageBox *)> m_seen;
    QTimer m_timer;
};

// The unit of arv-unit-sim, on its own pseudo-terminal at the given rate.
std::unique_ptr<SimulatedUnit> unitAt(int baud)
{
    UnitConfig config;
    config.baudRate = baud;
    auto unit = std::make_unique<SimulatedUnit>(config);
    return unit->start() ? std::move(unit) : nullptr;
}

} // namespace

class TestLinkState : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { Language::setChinese(true); }

    void aLinkWithoutFramesIsSaid_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<bool>("wrongBaud"); // the unit at 115200; else nothing on the line
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("lightText");
        QTest::newRow("silent terminal, Chinese")
            << true << false << "秒内没有收到任何数据：请检查线缆、电源和串口"
            << "● 无数据";
        QTest::newRow("silent terminal, English") << false << false << "No data in 2."
                                                  << "● No data";
        QTest::newRow("wrong baud rate, Chinese")
            << true << true << "但没有一个有效帧：波特率可能不匹配"
            << "● 无有效帧";
        QTest::newRow("wrong baud rate, English")
            << false << true << "none of them a valid frame: the baud rate probably does not match"
            << "● No valid frames";
    }

    void aLinkWithoutFramesIsSaid()
    {
        QFETCH(bool, chinese);
        QFETCH(bool, wrongBaud);
        QFETCH(QString, notice);
        QFETCH(QString, lightText);
        MainWindow w;
        if (!chinese)
            w.slot_translate_English();
        PtyPair pty;
        std::unique_ptr<SimulatedUnit> unit;
        QString path;
        if (wrongBaud) {
            unit = unitAt(115200);
            QVERIFY(unit);
            path = unit->devicePath();
        } else {
            QVERIFY(pty.isValid());
            path = pty.slavePath();
        }
        QVERIFY(light(w).isEmpty()); // closed: no light
        QElapsedTimer clock;
        clock.start();
        openPath(w, path, 460800);
        QVERIFY(w.isPortOpen());
        // The design's connect message stays as it is.
        QVERIFY(messages(w).last().contains(path));
        QCOMPARE(light(w), Language::text("● 等待数据", "● Waiting for data"));

        QTRY_VERIFY_WITH_TIMEOUT(countContaining(w, notice) == 1, 6000);
        const qint64 after = clock.elapsed();
        QVERIFY2(after >= 1800 && after < 3500, qPrintable(QString::number(after)));
        QCOMPARE(light(w), lightText);
        QVERIFY(!w.ui().linkStateLabel->styleSheet().isEmpty()); // coloured
        if (wrongBaud) // the bytes were there, all of them garbled
            QVERIFY(w.parser().statistics().bytes > 0 && w.parser().statistics().frames == 0);
        QVERIFY(w.ui().findBaudAction->isEnabled());

        // The light follows the language, and goes with the port.
        w.slot_translate_Chinese();
        QVERIFY(light(w).startsWith(QStringLiteral("● 无")));
        w.slot_open_uart();
        QVERIFY(!w.isPortOpen());
        QVERIFY(light(w).isEmpty());
        QVERIFY(!w.ui().findBaudAction->isEnabled());
        QCOMPARE(countContaining(w, notice), 1);
    }

    void aUnitAtTheRightRateGetsNoNotice()
    {
        MainWindow w;
        auto unit = unitAt(460800);
        QVERIFY(unit);
        openPath(w, unit->devicePath(), 460800);
        QTRY_COMPARE_WITH_TIMEOUT(light(w), QStringLiteral("● 数据正常"), 3000);
        // Past the two seconds in which a notice would come: none came.
        QVERIFY(!TestWaits::happensWithin(2500, [&w] {
            return light(w) != QStringLiteral("● 数据正常") ||
                   countContaining(w, QStringLiteral("秒内")) > 0;
        }));
    }

    // The unit at 115200, the program at 460800: the finder listens at the other rates,
    // offers 115200, and the unit received nothing from the start of the search to the
    // offer. Yes switches to it; No goes back to 460800.
    void findsTheBaudRateWithoutSendingAnything_data()
    {
        QTest::addColumn<bool>("adopt");
        QTest::newRow("switch") << true;
        QTest::newRow("stay") << false;
    }

    void findsTheBaudRateWithoutSendingAnything()
    {
        QFETCH(bool, adopt);
        MainWindow w;
        auto unit = unitAt(115200);
        QVERIFY(unit);
        openPath(w, unit->devicePath(), 460800);
        QVERIFY(w.isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(countContaining(w, QStringLiteral("波特率可能不匹配")) == 1, 6000);
        // The identification queries of the open reached the unit, garbled: the unit does
        // count what the host sends.
        const quint64 receivedBefore = unit->counters().bytesReceived;
        QVERIFY(receivedBefore > 0);

        quint64 receivedAtOffer = 0;
        QString offer;
        int portBaudAtOffer = 0;
        int writesAtOffer = -1;
        // Every write of the link ends with writeFinished, whatever became of it.
        QSignalSpy writes(w.serialLink(), &SerialLink::writeFinished);
        // While the user decides, the frames flow at the found rate, and the light says so.
        const auto flowing = [&] { return light(w) == QStringLiteral("● 数据正常"); };
        BoxAnswer answer(adopt ? QMessageBox::Yes : QMessageBox::No, flowing,
                         [&](QMessageBox *box) {
                             writesAtOffer = writes.count();
                             receivedAtOffer = unit->counters().bytesReceived;
                             offer = box->text() + QLatin1Char('|') + box->informativeText();
                             portBaudAtOffer = w.serialLink()->baudRate();
                         });
        w.ui().findBaudAction->trigger();
        // While it listens: no second search, no recording, the light says so.
        QVERIFY(!w.ui().findBaudAction->isEnabled());
        QVERIFY(!w.ui().recordAction->isEnabled());
        QVERIFY(light(w).startsWith(QStringLiteral("● 正在查找波特率")));
        // A query handed to the port just before the search still ends (written, or discarded
        // by the search's first reopen): count from the first rate tried on.
        QTRY_VERIFY(w.serialLink()->baudRate() != 460800);
        const int writesAtStart = writes.count();
        const quint64 receivedAtStart = unit->counters().bytesReceived;

        QTRY_VERIFY2_WITH_TIMEOUT(!offer.isEmpty(), qPrintable(messages(w).join('\n')), 20000);
        QVERIFY(!answer.readyMissed());
        QCOMPARE(offer, QStringLiteral("在 115200 波特率下收到有效帧。|是否改用 115200 波特率"
                                       "（当前为 460800）？"));
        // Nothing sent while searching: the program wrote nothing, the unit heard nothing.
        QCOMPARE(writesAtOffer, writesAtStart);
        QCOMPARE(receivedAtOffer, receivedAtStart);
        QCOMPARE(portBaudAtOffer, 115200); // the frames flow while the user decides
        QVERIFY(messages(w).contains(QStringLiteral("在 115200 波特率下收到有效帧")));
        QTRY_VERIFY(w.ui().findBaudAction->isEnabled());
        QVERIFY(w.ui().recordAction->isEnabled());

        if (adopt) {
            QVERIFY(messages(w).contains(QStringLiteral("已改用 115200 波特率")));
            QCOMPARE(w.serialLink()->baudRate(), 115200);
            QCOMPARE(w.ui().baudCombo->currentText(), QStringLiteral("115200"));
            QTRY_COMPARE_WITH_TIMEOUT(light(w), QStringLiteral("● 数据正常"), 3000);
            // The queries go out again at the new rate and are answered.
            QTRY_VERIFY_WITH_TIMEOUT(!w.ui().serialNumberValue->text().isEmpty(), 5000);
            QVERIFY(unit->counters().bytesReceived > receivedAtOffer);
        } else {
            QVERIFY(messages(w).contains(QStringLiteral("仍为 460800 波特率")));
            QCOMPARE(w.serialLink()->baudRate(), 460800);
            QCOMPARE(w.ui().baudCombo->currentText(), QStringLiteral("460800"));
            QTRY_COMPARE_WITH_TIMEOUT(light(w), QStringLiteral("● 无有效帧"), 4000);
            // Said once already: no second notice for the same rate.
            QCOMPARE(countContaining(w, QStringLiteral("波特率可能不匹配")), 1);
        }
        QVERIFY(w.isPortOpen());
    }

    void noSearchWhileRecordingNorWhileClosed()
    {
        MainWindow w;
        QTemporaryDir dir;
        w.recorder().setRecordDir(dir.path());
        QVERIFY(!w.ui().findBaudAction->isEnabled()); // no port
        w.slotFindBaudRate();
        QCOMPARE(countContaining(w, QStringLiteral("正在查找波特率")), 0);

        w.setSimulatedUnitHost(std::make_unique<ArvSimHost>());
        w.openSimulatedUnit();
        QVERIFY(w.isPortOpen());
        QVERIFY(w.ui().findBaudAction->isEnabled());
        w.ui().recordAction->trigger();
        QVERIFY(w.recordingStarted());
        QVERIFY(!w.ui().findBaudAction->isEnabled());
        w.slotFindBaudRate(); // a stray call does nothing either
        QCOMPARE(countContaining(w, QStringLiteral("正在查找波特率")), 0);
        QCOMPARE(w.serialLink()->baudRate(), 460800);
        w.ui().stopRecordAction->trigger();
        QVERIFY(!w.recordingStarted());
        QVERIFY(w.ui().findBaudAction->isEnabled());

        // Closing the port in the middle of a search ends it; the next open is judged afresh.
        w.ui().findBaudAction->trigger();
        QVERIFY(light(w).startsWith(QStringLiteral("● 正在查找波特率")));
        w.slot_open_uart();
        QVERIFY(!w.isPortOpen());
        QVERIFY(light(w).isEmpty());
        w.slot_open_uart();
        QVERIFY(w.isPortOpen());
        QTRY_COMPARE_WITH_TIMEOUT(light(w), QStringLiteral("● 数据正常"), 3000);
        QCOMPARE(w.serialLink()->baudRate(), 460800);
    }
};

QTEST_MAIN(TestLinkState)
#include "tst_linkstate.moc"
