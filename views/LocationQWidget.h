#pragma once

#include "views/RedrawThrottle.h"
#include "views/ScrollingTimeline.h"

#include <QElapsedTimer>
#include <QVector>
#include <QWidget>
#include <qcustomplot.h>

#include <array>

class QCheckBox;

// The velocity plot: velocity field 2 "Ve" (red), field 1 "Vn" (green) and field 3 "Vu"
// (blue) as scrolling curves.
//
// The owner copies the newest history values in with setVelocity() and setDisplayLength()
// and then calls realtimePaintSlot(). Every call updates the curves and axes; the plot is
// drawn at most once per display frame, with the newest state.
class LocationQWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LocationQWidget(QWidget *parent = nullptr);
    ~LocationQWidget() override;

    // The three velocity fields in the order of the unit's velocity item.
    void setVelocity(const QVector<double> &field1, const QVector<double> &field2,
                     const QVector<double> &field3);
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

    // In this order: velocity field 2, field 3, field 1.
    QVector<double> m_field2;
    QVector<double> m_field3;
    QVector<double> m_field1;

    QCustomPlot *m_plot = nullptr;
    std::array<QCheckBox *, 3> m_boxes{};
    ScrollingTimeline m_timeline;
    QElapsedTimer m_sinceRepaint;
    bool m_open = true;
    bool m_replotDue = false;
    RedrawThrottle m_throttle;
};
