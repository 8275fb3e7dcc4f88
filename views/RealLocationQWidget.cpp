#include "views/RealLocationQWidget.h"

#include "common/Language.h"
#include "views/FiveSubTickTicker.h"
#include "views/PlotParts.h"

#include <algorithm>

namespace {
constexpr double margin = 0.00001; // degrees on each side of the fixes
}

RealLocationQWidget::RealLocationQWidget(QWidget *parent) : ScrollingPlotWindow(parent)
{
    setWindowTitle(Language::text("位置数据", "Location Data"));

    QCustomPlot *p = addPlot();
    // A graph keeps its points ordered by key; a parametric curve keeps them in order of
    // arrival, which a track needs.
    p->clearGraphs();
    m_track = new QCPCurve(p->xAxis, p->yAxis);
    m_track->setPen(QPen(PlotParts::curveColour(0)));
    const QFont labelFont(QStringLiteral("Arial"), 10);
    p->xAxis->setLabel(Language::text("经度", "Longtitude"));
    p->yAxis->setLabel(Language::text("纬度", "Latitude"));
    p->xAxis->setLabelFont(labelFont);
    p->yAxis->setLabelFont(labelFont);
    p->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FiveSubTickTicker));
    p->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FiveSubTickTicker));
    // Fixes lie a few millionths of a degree apart: the tick labels need the decimals that
    // tell them apart (six decimals are about 0.1 m).
    for (QCPAxis *axis : {p->xAxis, p->yAxis}) {
        axis->setNumberFormat(QStringLiteral("f"));
        axis->setNumberPrecision(6);
    }
    PlotParts::setupAxesBox(p);
    p->yAxis2->setTicker(p->yAxis->ticker());
}

void RealLocationQWidget::setPosition(const QVector<double> &latitude,
                                      const QVector<double> &longitude,
                                      const QVector<double> &altitude)
{
    copySeries(m_longitude, longitude);
    copySeries(m_altitude, altitude);
    copySeries(m_latitude, latitude);
}

void RealLocationQWidget::showNewestData()
{
    if (m_longitude.isEmpty())
        return;
    advanceTime(m_sinceRepaint.elapsed());

    // Key = longitude, value = latitude, in order of arrival.
    const int n = std::min(m_longitude.size(), m_latitude.size());
    m_points.resize(n);
    for (int i = 0; i < n; ++i)
        m_points[i] = QCPCurveData(i, m_longitude[i], m_latitude[i]);
    m_track->data()->set(m_points, true);
    m_track->rescaleValueAxis(true);
    QCustomPlot *p = plot();

    m_sinceRepaint.restart();
    if (timeline().keys().isEmpty())
        return;
    const SeriesBounds lon = seriesBounds({&m_longitude});
    const SeriesBounds lat = seriesBounds({&m_latitude});
    p->xAxis->setRange(lon.lower - margin, lon.upper + margin);
    p->yAxis->setRange(lat.lower - margin, lat.upper + margin);
    // Longitude labels are long: a narrow plot shows fewer of them.
    PlotParts::fitTickCount(p->xAxis, QStringLiteral("000.000000"));
    requestRedraw();
}

void RealLocationQWidget::fitPlot(QCustomPlot *p)
{
    if (m_track->dataCount() == 0)
        return;
    // The fixes shown, which are those of the last picture while paused.
    bool found = false;
    const QCPRange lon = m_track->getKeyRange(found);
    const QCPRange lat = m_track->getValueRange(found);
    p->xAxis->setRange(lon.lower - margin, lon.upper + margin);
    p->yAxis->setRange(lat.lower - margin, lat.upper + margin);
}
