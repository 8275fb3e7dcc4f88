#pragma once

#include "views/ScrollingPlotWindow.h"

#include <QVector>

#include <array>

// The sensor data window: acceleration, angular velocity and normalised magnetic field as
// three scrolling plots, each with its X (red), Y (green) and Z (blue) curve.
//
// The owner copies the newest history values in with the setters and then calls
// realtimePaintSlot(). Every call updates the curves and axes; the plots are drawn at most
// once per display frame, with the newest state. Its curve check boxes: 0 to 2 acceleration
// X, Y, Z; 3 to 5 angular velocity; 6 to 8 magnetic.
class senseDataWidget : public ScrollingPlotWindow
{
    Q_OBJECT
public:
    explicit senseDataWidget(QWidget *parent = nullptr);

    void setAcceleration(const QVector<double> &x, const QVector<double> &y,
                         const QVector<double> &z);
    void setAngularVelocity(const QVector<double> &x, const QVector<double> &y,
                            const QVector<double> &z);
    void setMagnetic(const QVector<double> &x, const QVector<double> &y, const QVector<double> &z);

    QCustomPlot *accelerationPlot() const { return plots()[0]; }
    QCustomPlot *angularVelocityPlot() const { return plots()[1]; }
    QCustomPlot *magneticPlot() const { return plots()[2]; }
    int pointCount() const { return m_pointCount; }

protected:
    void showNewestData() override;

private:
    void buildGroup(const QString &title, const QStringList &names, int nameWidth,
                    const QString &valueLabel);

    // 0 to 2 acceleration X, Y, Z; 3 to 5 angular velocity; 6 to 8 magnetic.
    std::array<QVector<double>, 9> m_series;
    int m_pointCount = 0;
};
