#pragma once

#include "views/ScrollingPlotWindow.h"

#include <QVector>

// The velocity plot: velocity field 2 "Ve" (red), field 1 "Vn" (green) and field 3 "Vu"
// (blue) as scrolling curves.
//
// The owner copies the newest history values in with setVelocity() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curves and axes; the plot is
// drawn at most once per display frame, with the newest state.
class LocationQWidget : public ScrollingPlotWindow
{
    Q_OBJECT
public:
    explicit LocationQWidget(QWidget *parent = nullptr);

    // The three velocity fields in the order of the unit's velocity item.
    void setVelocity(const QVector<double> &field1, const QVector<double> &field2,
                     const QVector<double> &field3);

public slots:
    void realtimePaintSlot();

private:
    // In this order: velocity field 2, field 3, field 1.
    QVector<double> m_field2;
    QVector<double> m_field3;
    QVector<double> m_field1;
};
