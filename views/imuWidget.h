#pragma once

#include "views/ScrollingPlotWindow.h"

#include <QVector>

// The attitude plot: roll (red), pitch (green) and yaw (blue) as scrolling curves.
//
// The owner copies the newest history values in with setEuler() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curves and axes; the plot is
// drawn at most once per display frame, with the newest state.
class imuWidget : public ScrollingPlotWindow
{
    Q_OBJECT
public:
    explicit imuWidget(QWidget *parent = nullptr);

    void setEuler(const QVector<double> &roll, const QVector<double> &pitch,
                  const QVector<double> &yaw);

protected:
    void showNewestData() override;

private:
    // In this order: roll, yaw, pitch.
    QVector<double> m_roll;
    QVector<double> m_yaw;
    QVector<double> m_pitch;
};
