#pragma once

#include <QRect>
#include <QSize>
#include <QVector>

// Where Tile puts the view windows: side by side in columns that fill the area, each column
// split between its windows in proportion to the heights they prefer, none below its
// minimum. Plain geometry, no widgets.
namespace WindowTiling {

struct Window
{
    QSize minimum;
    QSize preferred;
};

// One rectangle per window, in the order given, inside area where the minimum sizes allow.
// The columns are those that leave the fewest pixels of minimum size outside the area, then
// those that give the windows on average, then the worst-served one, most of the area they
// prefer, then the fewest; windows of like minimum width share columns, and within a column
// they keep their order.
QVector<QRect> tile(const QVector<Window> &windows, const QRect &area);

// Splits total among parts in proportion to preferred, none below its minimum; when the
// minimums exceed total, every part gets its minimum. The parts add up to total otherwise.
QVector<int> share(const QVector<int> &preferred, const QVector<int> &minimum, int total);

} // namespace WindowTiling
