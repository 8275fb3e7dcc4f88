#pragma once

#include "views/RedrawThrottle.h"
#include "views/ScrollingTimeline.h"

#include <QElapsedTimer>
#include <QVector>
#include <QWidget>
#include <qcustomplot.h>

// The position plot: latitude over longitude (red curve, points joined in order of
// longitude). Altitude is held but not drawn.
//
// The owner copies the newest history values in with setPosition() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curve and axes; the plot is
// drawn at most once per display frame, with the newest state.
class RealLocationQWidget : public QWidget
{
    Q_OBJECT
public:
    explicit RealLocationQWidget(QWidget *parent = nullptr);
    ~RealLocationQWidget() override;

    void setPosition(const QVector<double> &latitude, const QVector<double> &longitude,
                     const QVector<double> &altitude);
    void setDisplayLength(int length) { m_timeline.setDisplayLength(length); }
    int displayLength() const { return m_timeline.displayLength(); }

    bool isOpen() const { return m_open; }
    void redrawNow();

    QCustomPlot *plot() const { return m_plot; }

signals:
    void closeWidget(bool isOpen);

public slots:
    void realtimePaintSlot();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void redraw(QCustomPlot::RefreshPriority priority);

    // In this order: longitude, altitude, latitude.
    QVector<double> m_longitude;
    QVector<double> m_altitude;
    QVector<double> m_latitude;

    QVector<QCPGraphData> m_points; // reused to sort the fixes by longitude
    QCustomPlot *m_plot = nullptr;
    ScrollingTimeline m_timeline;
    QElapsedTimer m_sinceRepaint;
    bool m_open = true;
    bool m_replotDue = false;
    RedrawThrottle m_throttle;
};
