// The Window menu, where new views appear, the port list's double-click and the language
// check mark.
#include "app/MainWindow.h"
#include "app/ViewManager.h"
#include "common/Language.h"
#include "serial/SerialLink.h"
#include "tests/support/FakeView.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

namespace {

QList<QRect> geometries(const QMdiArea *area)
{
    QList<QRect> out;
    for (QMdiSubWindow *sub : area->subWindowList())
        out << sub->geometry();
    return out;
}

// The checkable entries that list the open windows.
QList<QAction *> windowEntries(QMenu *menu)
{
    QList<QAction *> out;
    for (QAction *a : menu->actions())
        if (a->isCheckable())
            out << a;
    return out;
}

} // namespace

class TestWindowMenu : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void windowMenuArrangesAndClosesTheViews()
    {
        MainWindow w;
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const MainWindowUi &ui = w.ui();
        emit ui.windowMenu->aboutToShow();
        QVERIFY(!ui.tileAction->isEnabled() && !ui.closeAllAction->isEnabled());

        const QList<ViewKind> kinds{ViewKind::Utc, ViewKind::Temperature, ViewKind::CombinedState};
        for (ViewKind kind : kinds) {
            w.bindView(kind, ViewBinding::forWindow<FakeView>());
            (ui.*viewKindInfo(kind).action)->trigger();
        }
        QMdiArea *area = ui.mdiArea;
        QCOMPARE(area->subWindowList().size(), 3);

        // Tile: side by side, all in view (the arrangement itself: tst_windowtiling).
        ui.tileAction->trigger();
        const QList<QRect> tiled = geometries(area);
        for (const QRect &r : tiled)
            QVERIFY(area->viewport()->rect().contains(r));
        QVERIFY(!tiled[0].intersects(tiled[1]) && !tiled[1].intersects(tiled[2]));
        // Cascade: each one further down and to the right.
        ui.cascadeAction->trigger();
        const QList<QRect> cascaded = geometries(area);
        QVERIFY(cascaded[0].topLeft().x() < cascaded[1].x() && cascaded[1].y() < cascaded[2].y());

        // The menu lists the windows, the active one checked; an entry brings its window up.
        emit ui.windowMenu->aboutToShow();
        QVERIFY(ui.tileAction->isEnabled());
        const QList<QAction *> entries = windowEntries(ui.windowMenu);
        QCOMPARE(entries.size(), 3);
        QVERIFY(!entries.first()->isChecked() && entries.last()->isChecked());
        entries.first()->trigger();
        QCOMPARE(area->activeSubWindow(), area->subWindowList().first());

        ui.closeAllAction->trigger();
        QTRY_VERIFY(area->subWindowList().isEmpty());
        for (ViewKind kind : kinds)
            QVERIFY(!w.views()->isOpen(kind));
        emit ui.windowMenu->aboutToShow();
        QVERIFY(windowEntries(ui.windowMenu).isEmpty());
    }

    // Every view of the View menu opens fully inside the visible area, however many are open.
    void newViewsOpenInsideTheVisibleArea()
    {
        MainWindow w;
        w.resize(1400, 900);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QMdiArea *area = w.ui().mdiArea;
        for (const ViewKindInfo &info : viewKinds()) {
            if (!info.bind)
                continue;
            (w.ui().*info.action)->trigger();
            QMdiSubWindow *sub = area->subWindowList().last();
            const QRect visible = area->viewport()->rect();
            const QSize least = sub->minimumSizeHint().expandedTo(sub->minimumSize());
            if (least.width() <= visible.width() && least.height() <= visible.height())
                QVERIFY2(visible.contains(sub->geometry()), info.name);
            else
                QVERIFY2(sub->geometry().topLeft() == visible.topLeft() ||
                             visible.contains(sub->geometry().topLeft()),
                         info.name);
        }
    }

    void doubleClickInThePortListChoosesThePort()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTreeWidget *tree = w.ui().portTree;
        QTreeWidgetItem *simulated = tree->topLevelItem(tree->topLevelItemCount() - 1);
        QCOMPARE(simulated->text(0), QStringLiteral("ARV-SIM"));
        w.ui().portCombo->setEditText(QStringLiteral("/dev/typed"));
        for (QTreeWidgetItem *item : {simulated, tree->topLevelItem(0)}) {
            // As the window system delivers it: a click, then the double-click.
            const QPoint at = tree->visualItemRect(item).center();
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QCOMPARE(w.ui().portCombo->currentText(), item->text(0));
            QCOMPARE(w.selectedPortName(), item->text(0));
        }
    }

    void languageMenuChecksTheActiveLanguage()
    {
        MainWindow w;
        QAction *chinese = w.ui().chineseAction, *english = w.ui().englishAction;
        QVERIFY(chinese->isChecked() && !english->isChecked());
        english->trigger();
        QVERIFY(!chinese->isChecked() && english->isChecked());
        english->trigger(); // the active language stays checked
        QVERIFY(english->isChecked() && !Language::isChinese());
        w.slot_translate_Chinese();
        QVERIFY(chinese->isChecked() && !english->isChecked());
    }
};

QTEST_MAIN(TestWindowMenu)
#include "tst_windowmenu.moc"
