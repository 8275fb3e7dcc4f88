#pragma once

#include "views/ScrollingPlotWindow.h"

#include <QVector>

// The velocity plot: the eastward velocity (field 2) "Ve" (red), the northward velocity
// (field 1) "Vn" (green) and the third field "Vu" (blue) as scrolling curves.
//
// The owner copies the newest history values in with setVelocity() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curves and axes; the plot is
// drawn at most once per display frame, with the newest state.
class LocationQWidget : public ScrollingPlotWindow
{
    Q_OBJECT
public:
    explicit LocationQWidget(QWidget *parent = nullptr);

    // The three velocity fields in the order of the unit's velocity item: northward,
    // eastward, ground.
    void setVelocity(const QVector<double> &north, const QVector<double> &east,
                     const QVector<double> &ground);

protected:
    void showNewestData() override;

private:
    // In this order: velocity field 2, field 3, field 1.
    QVector<double> m_east;
    QVector<double> m_ground;
    QVector<double> m_north;
};
