#pragma once

#include "views/RedrawThrottle.h"
#include "views/ScrollingTimeline.h"

#include <QElapsedTimer>
#include <QVector>
#include <QWidget>
#include <qcustomplot.h>

#include <array>

class QCheckBox;

// The sensor data window: acceleration, angular velocity and normalised magnetic field as
// three scrolling plots, each with its X (red), Y (green) and Z (blue) curve.
//
// The owner copies the newest history values in with the setters and then calls
// realtimePaintSlot(). Every call updates the curves and axes; the plots are drawn at most
// once per display frame, with the newest state.
class senseDataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit senseDataWidget(QWidget *parent = nullptr);
    ~senseDataWidget() override;

    void setAcceleration(const QVector<double> &x, const QVector<double> &y,
                         const QVector<double> &z);
    void setAngularVelocity(const QVector<double> &x, const QVector<double> &y,
                            const QVector<double> &z);
    void setMagnetic(const QVector<double> &x, const QVector<double> &y, const QVector<double> &z);
    void setDisplayLength(int length);
    int displayLength() const { return m_timeline.displayLength(); }

    bool isOpen() const { return m_open; }

    // Draws what the last realtimePaintSlot() prepared right now, without waiting for the
    // next display frame.
    void redrawNow();

    QCustomPlot *accelerationPlot() const { return m_plots[0]; }
    QCustomPlot *angularVelocityPlot() const { return m_plots[1]; }
    QCustomPlot *magneticPlot() const { return m_plots[2]; }
    // 0 to 2 acceleration X, Y, Z; 3 to 5 angular velocity; 6 to 8 magnetic.
    QCheckBox *curveCheckBox(int index) const { return m_boxes.at(size_t(index)); }
    const ScrollingTimeline &timeline() const { return m_timeline; }
    int pointCount() const { return m_pointCount; }

signals:
    void closeWidget(bool isOpen);

public slots:
    void realtimePaintSlot();
    void colorChanged();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildGroup(int group, const QString &title, const QStringList &names, int nameWidth,
                    const QString &valueLabel);
    void redraw(QCustomPlot::RefreshPriority priority);

    // 0 to 2 acceleration X, Y, Z; 3 to 5 angular velocity; 6 to 8 magnetic.
    std::array<QVector<double>, 9> m_series;
    std::array<QCustomPlot *, 3> m_plots{};
    std::array<QCheckBox *, 9> m_boxes{};

    ScrollingTimeline m_timeline;
    QElapsedTimer m_sinceRepaint;
    int m_pointCount = 0;
    bool m_open = true;
    bool m_replotDue = false;
    RedrawThrottle m_throttle;
};
