#include "calib/calibrateWidget.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DScatter>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/QScatter3DSeries>
#include <QtDataVisualization/QScatterDataProxy>

using namespace QtDataVisualization;

calibrateWidget::calibrateWidget(QWidget *parent) : ViewWindow(parent)
{
    m_graph = new Q3DScatter();
    m_graph->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
    m_graph->scene()->activeCamera()->setCameraPreset(Q3DCamera::CameraPresetFront);
    // The points do not change once placed: the graph draws them from one buffer instead of
    // one call per point, which keeps 10^5 points interactive.
    m_graph->setOptimizationHints(QAbstract3DGraph::OptimizationStatic);
    m_container = QWidget::createWindowContainer(m_graph, this); // takes the graph
    const QSize screen =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
    m_container->setMinimumSize(int(screen.width() / 2.5 / 1.25), int(screen.height() / 2.5));
    m_container->setMaximumSize(screen);
    m_container->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_container->setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_container);

    m_series = new QScatter3DSeries();
    m_series->setItemSize(0.02f);
    // Points rather than small spheres: a sphere mesh per sample holds the GUI thread for
    // seconds at 10^4 samples where OpenGL is drawn by the CPU; points draw in milliseconds.
    m_series->setMesh(QAbstract3DSeries::MeshPoint);
    m_series->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
    m_graph->addSeries(m_series);
    setWindowTitle(QStringLiteral("ARV Magnetometer Calibration"));
}

calibrateWidget::~calibrateWidget() = default;

int calibrateWidget::pointCount() const
{
    return m_series->dataProxy()->itemCount();
}

void calibrateWidget::setPoints(const QScatterDataArray &points)
{
    if (!isOpen())
        return;
    m_series->dataProxy()->resetArray(new QScatterDataArray(points));
}
