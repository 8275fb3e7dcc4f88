#pragma once

#include "views/RedrawThrottle.h"
#include "views/ScrollingTimeline.h"

#include <QElapsedTimer>
#include <QVector>
#include <QWidget>
#include <qcustomplot.h>

#include <array>

class QCheckBox;

// The attitude plot: roll (red), pitch (green) and yaw (blue) as scrolling curves.
//
// The owner copies the newest history values in with setEuler() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curves and axes; the plot is
// drawn at most once per display frame, with the newest state.
class imuWidget : public QWidget
{
    Q_OBJECT
public:
    explicit imuWidget(QWidget *parent = nullptr);
    ~imuWidget() override;

    void setEuler(const QVector<double> &roll, const QVector<double> &pitch,
                  const QVector<double> &yaw);
    void setDisplayLength(int length) { m_timeline.setDisplayLength(length); }
    int displayLength() const { return m_timeline.displayLength(); }

    bool isOpen() const { return m_open; }
    void redrawNow();

    QCustomPlot *plot() const { return m_plot; }
    QCheckBox *curveCheckBox(int index) const { return m_boxes.at(size_t(index)); }
    const ScrollingTimeline &timeline() const { return m_timeline; }

signals:
    void closeWidget(bool isOpen);

public slots:
    void realtimePaintSlot();
    void colorChanged();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void redraw(QCustomPlot::RefreshPriority priority);

    // In this order: roll, yaw, pitch.
    QVector<double> m_roll;
    QVector<double> m_yaw;
    QVector<double> m_pitch;

    QCustomPlot *m_plot = nullptr;
    std::array<QCheckBox *, 3> m_boxes{};
    ScrollingTimeline m_timeline;
    QElapsedTimer m_sinceRepaint;
    bool m_open = true;
    bool m_replotDue = false;
    RedrawThrottle m_throttle;
};
