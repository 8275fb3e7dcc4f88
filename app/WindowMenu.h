#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMdiArea;
class QMenu;

// The Window menu: arranges the view windows of the multi-document area (Tile, Cascade,
// Close All) and lists them, the active one checked; choosing one brings it to the front.
// Tile fills the area with the windows side by side, in columns (see WindowTiling), so that
// a window of three plots gets more height than a window of one.
// The arranging entries are enabled while a window is open. The menu, its three actions and
// the area belong to the caller and must outlive this object.
class WindowMenu : public QObject
{
    Q_OBJECT
public:
    WindowMenu(QMenu *menu, QAction *tile, QAction *cascade, QAction *closeAll, QMdiArea *area,
               QObject *parent = nullptr);

public slots:
    void tile();

private:
    void refresh();

    QMenu *m_menu;
    QAction *m_tile;
    QAction *m_cascade;
    QAction *m_closeAll;
    QMdiArea *m_area;
    QList<QAction *> m_windowEntries;
};
