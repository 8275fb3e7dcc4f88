#pragma once

#include "app/ViewBinding.h"
#include "app/ViewKinds.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>
#include <functional>

class QMdiArea;

// Open-once management: one pointer and one open flag per kind. A window reports its
// closing through its closeWidget(bool) signal, which the owner connects to its open-flag
// slot when the window is built; a window that is deleted without that report counts as
// closed as well. Windows go into the multi-document area, except those whose binding says
// topLevel: they are shown as windows of their own, with the area's window as parent.
class ViewManager : public QObject
{
    Q_OBJECT
public:
    // Called with every new window and its binding, before the window is shown: the owner
    // connects it (closeWidget, the repaint signal).
    using Connect = std::function<void(QWidget *window, const ViewBinding &binding)>;

    explicit ViewManager(QMdiArea *area, QObject *parent = nullptr);

    void bind(ViewKind kind, ViewBinding binding);
    bool isBound(ViewKind kind) const;

    // Opens the window of this kind unless it is open; a new window goes through connect.
    // Returns the window (new or already open), or nullptr when the kind has no binding.
    QWidget *open(ViewKind kind, const Connect &connect);

    bool isOpen(ViewKind kind) const;
    QWidget *window(ViewKind kind) const;
    void setOpenFlag(ViewKind kind, bool open);
    // Hands the open window its data through the binding's feed.
    void feed(ViewKind kind) const;
    // The last pass brought data for this kind: when its window is open, the binding's
    // collect runs and the window is marked for the next feed. False when it is not open.
    bool notePass(ViewKind kind);
    // True (and the mark cleared) when the open window of this kind awaits a feed.
    bool takePending(ViewKind kind);
    // Runs the pending throttled redraws of every open window at once.
    void flushRedraws() const;

    // Where a window at `window` goes so that it lies inside `area`: moved in from the right
    // and bottom edges, and, when larger than the area, made as small as the area and its
    // minimum size allow, at the area's top or left edge.
    static QRect placedInside(const QRect &window, const QRect &area, const QSize &minimum);

private:
    struct Slot
    {
        ViewBinding binding;
        QPointer<QWidget> window;
        bool open = false;
        bool pending = false;
    };
    Slot &slot(ViewKind kind) { return m_slots[std::size_t(kind)]; }
    const Slot &slot(ViewKind kind) const { return m_slots[std::size_t(kind)]; }

    QMdiArea *m_area;
    std::array<Slot, ViewKindCount> m_slots;
};
