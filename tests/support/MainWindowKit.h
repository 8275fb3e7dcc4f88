#pragma once

// Set-up and readings shared by the main window's end-to-end tests: the message list, opening
// the built-in simulated unit or a pseudo-terminal, waiting for frames, answering a message box.
#include "app/MainWindow.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"
#include "tests/support/Pty.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace MainWindowKit {

inline QStringList messages(const MainWindow &w)
{
    QStringList list;
    QTreeWidget *tree = w.ui().messageTree;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        list << tree->topLevelItem(i)->text(0);
    return list;
}

inline QString lastMessage(const MainWindow &w)
{
    const QStringList list = messages(w);
    return list.isEmpty() ? QString() : list.last();
}

// The built-in simulated unit with this configuration at hz, opened at 921600 baud; null when
// the rate is refused or the port does not open.
inline SimulatedUnit *openSimulatedUnit(MainWindow &w, const UnitConfig &config, int hz)
{
    auto host = std::make_unique<ArvSimHost>(config);
    SimulatedUnit *unit = &host->unit();
    if (!unit->setOutputRate(hz))
        return nullptr;
    w.setSimulatedUnitHost(std::move(host));
    w.ui().baudCombo->setCurrentIndex(0);
    w.openSimulatedUnit();
    return w.isPortOpen() ? unit : nullptr;
}

// Opens the pseudo-terminal's device as the port, as a user types its path.
inline bool openOn(MainWindow &w, const PtyPair &pty)
{
    w.ui().portCombo->setEditText(pty.slavePath());
    w.slot_open_uart();
    return w.isPortOpen();
}

// Waits, bounded, until the main window has decoded n more frames.
inline bool receiveFrames(MainWindow &w, quint64 n, int timeoutMs = 10000)
{
    const quint64 target = w.parser().statistics().frames + n;
    QElapsedTimer t;
    t.start();
    while (w.parser().statistics().frames < target && t.elapsed() < timeoutMs)
        QTest::qWait(5);
    return w.parser().statistics().frames >= target;
}

// Answers the next message box, whenever it shows, with `button`; its text and informative
// text ("text|informative") land in *seen when given.
inline void answerNextBox(QMessageBox::StandardButton button, QString *seen = nullptr)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, button, seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (seen)
            *seen = box->text() + QLatin1Char('|') + box->informativeText();
        timer->deleteLater();
        box->button(button)->click();
    });
    timer->start(20);
}

} // namespace MainWindowKit
