#include "app/ViewManager.h"

#include "views/RedrawThrottle.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

ViewManager::ViewManager(QMdiArea *area, QObject *parent) : QObject(parent), m_area(area) {}

void ViewManager::bind(ViewKind kind, ViewBinding binding)
{
    slot(kind).binding = std::move(binding);
}

bool ViewManager::isBound(ViewKind kind) const
{
    return bool(slot(kind).binding.create);
}

QWidget *ViewManager::open(ViewKind kind, const Connect &connect)
{
    Slot &s = slot(kind);
    if (!s.binding.create)
        return nullptr;
    // A window that was closed (flag cleared) or deleted is forgotten.
    if (s.window && !s.open)
        s.window.clear();
    if (s.window)
        return s.window;

    s.open = true;
    s.pending = false;
    QWidget *w = s.binding.create(s.binding.topLevel ? m_area->window() : nullptr);
    if (!w) {
        s.open = false;
        return nullptr;
    }
    s.window = w;
    if (connect)
        connect(w, s.binding);
    if (s.binding.topLevel) {
        // Over the middle of the main window, where the user looks.
        const QRect main = m_area->window()->geometry();
        w->move(main.center() - QPoint(w->width() / 2, w->height() / 2));
        w->show();
        w->raise();
        w->activateWindow();
        return w;
    }
    // The sub-window opens at the size the window gave itself, but never less than its
    // content prefers.
    const QSize wanted =
        w->testAttribute(Qt::WA_Resized) ? w->size().expandedTo(w->sizeHint()) : w->sizeHint();
    QMdiSubWindow *sub = m_area->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    sub->resize(sub->size() - w->size() + wanted.expandedTo(w->minimumSizeHint()));
    // The area places a new window where it overlaps least, judged by its size before the
    // resize: the whole window is brought into view.
    const QRect inside = placedInside(sub->geometry(), m_area->viewport()->rect(),
                                      sub->minimumSizeHint().expandedTo(sub->minimumSize()));
    if (inside != sub->geometry())
        sub->setGeometry(inside);
    w->show();
    w->update();
    return w;
}

bool ViewManager::isOpen(ViewKind kind) const
{
    const Slot &s = slot(kind);
    return s.open && s.window;
}

QWidget *ViewManager::window(ViewKind kind) const
{
    return isOpen(kind) ? slot(kind).window.data() : nullptr;
}

void ViewManager::setOpenFlag(ViewKind kind, bool open)
{
    slot(kind).open = open;
}

void ViewManager::feed(ViewKind kind) const
{
    const Slot &s = slot(kind);
    if (s.open && s.window && s.binding.feed)
        s.binding.feed(s.window);
}

bool ViewManager::notePass(ViewKind kind)
{
    Slot &s = slot(kind);
    if (!s.open || !s.window)
        return false;
    if (s.binding.collect)
        s.binding.collect();
    s.pending = true;
    return true;
}

bool ViewManager::takePending(ViewKind kind)
{
    Slot &s = slot(kind);
    const bool due = s.pending && s.open && s.window;
    s.pending = false;
    return due;
}

void ViewManager::flushRedraws() const
{
    for (const Slot &s : m_slots)
        if (s.open && s.window)
            for (RedrawThrottle *t :
                 s.window->findChildren<RedrawThrottle *>(QString(), Qt::FindDirectChildrenOnly))
                t->flush();
}

QRect ViewManager::placedInside(const QRect &window, const QRect &area, const QSize &minimum)
{
    QRect r = window;
    r.setWidth(std::max(std::min(r.width(), area.width()), minimum.width()));
    r.setHeight(std::max(std::min(r.height(), area.height()), minimum.height()));
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() - r.width() + 1)));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() - r.height() + 1)));
    return r;
}
