#pragma once

// Opening the view windows of the View menu for a measuring run, placed side by side in a
// grid as a user would place them (windows wider than their cell overlap their neighbours).
#include "app/MainWindow.h"
#include "app/ViewKinds.h"

#include <QAction>
#include <QByteArray>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVector>

struct OpenedView
{
    ViewKind kind;
    QWidget *window;
};

// which: "all" (every view window), "no3d" (all but the 3D view), "3d" (only the 3D view),
// "none". Returns the windows opened, in menu order.
inline QVector<OpenedView> openViewWindows(MainWindow &w, const QByteArray &which)
{
    QVector<OpenedView> opened;
    for (const ViewKindInfo &info : viewKinds()) {
        const bool is3D = info.kind == ViewKind::Display3D;
        if (!info.bind || which == "none" || (which == "no3d" && is3D) || (which == "3d" && !is3D))
            continue;
        (w.ui().*info.action)->trigger();
        if (QWidget *v = w.views()->window(info.kind))
            opened.append({info.kind, v});
    }
    const QList<QMdiSubWindow *> subs = w.ui().mdiArea->subWindowList();
    const QSize area = w.ui().mdiArea->viewport()->size();
    const int columns = 4, rows = 2;
    for (int i = 0; i < subs.size(); ++i)
        subs[i]->setGeometry((i % columns) * area.width() / columns,
                             (i / columns % rows) * area.height() / rows, area.width() / columns,
                             area.height() / rows);
    return opened;
}
