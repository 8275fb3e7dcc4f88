#include "app/WindowMenu.h"

#include "app/WindowTiling.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

WindowMenu::WindowMenu(QMenu *menu, QAction *tile, QAction *cascade, QAction *closeAll,
                       QMdiArea *area, QObject *parent)
    : QObject(parent), m_menu(menu), m_tile(tile), m_cascade(cascade), m_closeAll(closeAll),
      m_area(area)
{
    connect(tile, &QAction::triggered, this, &WindowMenu::tile);
    connect(cascade, &QAction::triggered, area, &QMdiArea::cascadeSubWindows);
    connect(closeAll, &QAction::triggered, area, &QMdiArea::closeAllSubWindows);
    connect(menu, &QMenu::aboutToShow, this, &WindowMenu::refresh);
    refresh();
}

void WindowMenu::tile()
{
    QList<QMdiSubWindow *> windows;
    QVector<WindowTiling::Window> sizes;
    for (QMdiSubWindow *sub : m_area->subWindowList()) {
        if (sub->isHidden() || sub->isMinimized())
            continue;
        if (sub->isMaximized())
            sub->showNormal();
        const QSize minimum = sub->minimumSizeHint().expandedTo(sub->minimumSize());
        windows << sub;
        sizes.append({minimum, sub->sizeHint().expandedTo(minimum)});
    }
    const QVector<QRect> rects = WindowTiling::tile(sizes, m_area->viewport()->rect());
    for (int i = 0; i < windows.size(); ++i)
        windows[i]->setGeometry(rects[i]);
}

void WindowMenu::refresh()
{
    const QList<QMdiSubWindow *> windows = m_area->subWindowList();
    for (QAction *a : {m_tile, m_cascade, m_closeAll})
        a->setEnabled(!windows.isEmpty());

    qDeleteAll(m_windowEntries);
    m_windowEntries.clear();
    if (windows.isEmpty())
        return;
    m_windowEntries << m_menu->addSeparator();
    for (QMdiSubWindow *sub : windows) {
        QAction *entry = m_menu->addAction(sub->windowTitle());
        entry->setCheckable(true);
        entry->setChecked(sub == m_area->activeSubWindow());
        connect(entry, &QAction::triggered, m_area, [area = m_area, sub] {
            if (area->subWindowList().contains(sub))
                area->setActiveSubWindow(sub);
        });
        m_windowEntries << entry;
    }
}
