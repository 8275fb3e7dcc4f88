#pragma once

#include "views/ScrollingPlotWindow.h"

#include <QVector>

// The position plot: latitude over longitude, a red track that joins the fixes in order of
// arrival, so a route that doubles back is drawn as driven. Altitude is held but not drawn.
// It has no curve controls.
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

    // The track: point i is fix i (key longitude, value latitude), oldest first.
    QCPCurve *track() const { return m_track; }

protected:
    void showNewestData() override;
    // The fixes with their live margin: the same framing as live.
    void fitPlot(QCustomPlot *plot) override;

private:
    // In this order: longitude, altitude, latitude.
    QVector<double> m_longitude;
    QVector<double> m_altitude;
    QVector<double> m_latitude;

    QCPCurve *m_track = nullptr;
    QVector<QCPCurveData> m_points; // reused for each repaint
};
