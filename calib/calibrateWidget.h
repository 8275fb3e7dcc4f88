#pragma once

#include "views/ViewWindow.h"

#include <QtDataVisualization/QScatterDataArray>

namespace QtDataVisualization {
class Q3DScatter;
class QScatter3DSeries;
} // namespace QtDataVisualization

// The point cloud of a 3D magnetometer calibration: the calibrated field of every sample as a
// point of a 3D scatter graph (the origin first), which a good calibration puts on the unit
// sphere. A sub-window of the main window's multi-document area; closing it ends the
// calibration (closeWidget(false), which the main window connects to isCalibrateWidgetOpen).
//
// The graph draws with OpenGL: it needs a real GL context (not the offscreen platform).
// GUI thread only.
class calibrateWidget : public ViewWindow
{
    Q_OBJECT
public:
    explicit calibrateWidget(QWidget *parent = nullptr);
    ~calibrateWidget() override;

    QtDataVisualization::Q3DScatter *graph() const { return m_graph; }
    QtDataVisualization::QScatter3DSeries *series() const { return m_series; }
    QWidget *container() const { return m_container; }
    // The points the graph holds.
    int pointCount() const;

    // Hands the worker's finished array to the series, replacing what it held. The array's
    // storage is shared, not copied. Nothing happens once the window was closed.
    void setPoints(const QtDataVisualization::QScatterDataArray &points);

private:
    QtDataVisualization::Q3DScatter *m_graph = nullptr;
    QWidget *m_container = nullptr;
    QtDataVisualization::QScatter3DSeries *m_series = nullptr;
};
