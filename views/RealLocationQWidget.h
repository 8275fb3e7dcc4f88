#pragma once

#include "views/ScrollingPlotWindow.h"

#include <QVector>

// The position plot: latitude over longitude (red curve, points joined in order of
// longitude). Altitude is held but not drawn. It has no curve controls.
//
// The owner copies the newest history values in with setPosition() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curve and axes; the plot is
// drawn at most once per display frame, with the newest state.
class RealLocationQWidget : public ScrollingPlotWindow
{
    Q_OBJECT
public:
    explicit RealLocationQWidget(QWidget *parent = nullptr);

    void setPosition(const QVector<double> &latitude, const QVector<double> &longitude,
                     const QVector<double> &altitude);

public slots:
    void realtimePaintSlot();

private:
    // In this order: longitude, altitude, latitude.
    QVector<double> m_longitude;
    QVector<double> m_altitude;
    QVector<double> m_latitude;

    QVector<QCPGraphData> m_points; // reused to sort the fixes by longitude
};
