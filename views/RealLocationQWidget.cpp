#include "views/RealLocationQWidget.h"

#include "app/Language.h"
#include "views/FiveSubTickTicker.h"
#include "views/PlotParts.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr double margin = 0.00001; // degrees on each side of the fixes
}

RealLocationQWidget::RealLocationQWidget(QWidget *parent)
    : QWidget(parent), m_throttle([this] { redraw(QCustomPlot::rpRefreshHint); }, this)
{
    setWindowTitle(Language::text("位置数据", "Location Data"));

    auto *layout = new QVBoxLayout(this);
    m_plot = new QCustomPlot(this);
    m_plot->setMinimumSize(900, 150);
    PlotParts::addCurves(m_plot); // only the first (red) curve is used
    const QFont labelFont(QStringLiteral("Arial"), 10);
    m_plot->xAxis->setLabel(Language::text("经度", "Longtitude"));
    m_plot->yAxis->setLabel(Language::text("纬度", "Latitude"));
    m_plot->xAxis->setLabelFont(labelFont);
    m_plot->yAxis->setLabelFont(labelFont);
    m_plot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FiveSubTickTicker));
    m_plot->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FiveSubTickTicker));
    // Fixes lie a few millionths of a degree apart: the tick labels need the decimals that
    // tell them apart (six decimals are about 0.1 m).
    for (QCPAxis *axis : {m_plot->xAxis, m_plot->yAxis}) {
        axis->setNumberFormat(QStringLiteral("f"));
        axis->setNumberPrecision(6);
    }
    PlotParts::setupAxesBox(m_plot);
    m_plot->yAxis2->setTicker(m_plot->yAxis->ticker());
    layout->addWidget(m_plot);

    m_sinceRepaint.start();
}

RealLocationQWidget::~RealLocationQWidget()
{
    m_throttle.cancel();
}

void RealLocationQWidget::setPosition(const QVector<double> &latitude,
                                      const QVector<double> &longitude,
                                      const QVector<double> &altitude)
{
    copySeries(m_longitude, longitude);
    copySeries(m_altitude, altitude);
    copySeries(m_latitude, latitude);
}

void RealLocationQWidget::realtimePaintSlot()
{
    const int pointCount = m_longitude.size();
    if (pointCount != 0)
        m_timeline.advance(m_sinceRepaint.elapsed());
    if (m_longitude.isEmpty())
        return;

    // Key = longitude, value = latitude; the curve keeps its points ordered by key.
    const int n = std::min(m_longitude.size(), m_latitude.size());
    m_points.resize(n);
    for (int i = 0; i < n; ++i)
        m_points[i] = QCPGraphData(m_longitude[i], m_latitude[i]);
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const QCPGraphData &a, const QCPGraphData &b) { return a.key < b.key; });
    QCPGraphDataContainer *curve = m_plot->graph(0)->data().data();
    curve->clear();
    for (const QCPGraphData &point : qAsConst(m_points))
        curve->add(point);
    m_plot->graph(0)->rescaleValueAxis(true);

    m_sinceRepaint.restart();
    if (m_timeline.keys().isEmpty())
        return;
    const SeriesBounds lon = seriesBounds({&m_longitude});
    const SeriesBounds lat = seriesBounds({&m_latitude});
    m_plot->xAxis->setRange(lon.lower - margin, lon.upper + margin);
    m_plot->yAxis->setRange(lat.lower - margin, lat.upper + margin);
    m_replotDue = true;
    m_throttle.request();
}

void RealLocationQWidget::redrawNow()
{
    m_throttle.cancel();
    m_replotDue = true;
    redraw(QCustomPlot::rpImmediateRefresh);
}

void RealLocationQWidget::redraw(QCustomPlot::RefreshPriority priority)
{
    if (!m_replotDue)
        return;
    m_replotDue = false;
    m_plot->replot(priority);
}

void RealLocationQWidget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    m_throttle.cancel();
    emit closeWidget(false);
    QWidget::closeEvent(event);
}
