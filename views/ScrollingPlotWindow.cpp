#include "views/ScrollingPlotWindow.h"

#include "views/PlotParts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

ScrollingPlotWindow::ScrollingPlotWindow(QWidget *parent)
    : ViewWindow(parent), m_throttle([this] { redraw(QCustomPlot::rpRefreshHint); }, this)
{
    new QVBoxLayout(this);
    m_sinceRepaint.start();
}

ScrollingPlotWindow::~ScrollingPlotWindow()
{
    m_throttle.cancel();
}

QCustomPlot *ScrollingPlotWindow::addPlot()
{
    auto *plot = new QCustomPlot(this);
    plot->setMinimumSize(900, 150);
    PlotParts::addCurves(plot);
    layout()->addWidget(plot);
    m_plots.push_back(plot);
    return plot;
}

QCustomPlot *ScrollingPlotWindow::addTimePlot(const QStringList &names, int nameWidth,
                                              const QString &timeLabel, const QString &valueLabel,
                                              int valueTicks)
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    auto *controls = new QHBoxLayout;
    controls->addStretch();
    for (int i = 0; i < 3; ++i) {
        QCheckBox *box = nullptr;
        controls->addWidget(
            PlotParts::makeCurveControl(names.at(i), PlotParts::curveColour(i), nameWidth, &box));
        m_boxes.push_back(box);
        connect(box, &QCheckBox::clicked, this, &ScrollingPlotWindow::colorChanged);
    }
    controls->addStretch();
    layout->addLayout(controls);

    QCustomPlot *plot = addPlot();
    PlotParts::setupTimeAxis(plot, timeLabel);
    PlotParts::setTickPositions(plot, m_timeline.tickPositions());
    if (valueTicks > 0)
        plot->yAxis->ticker()->setTickCount(valueTicks);
    if (!valueLabel.isEmpty())
        plot->yAxis->setLabel(valueLabel);
    PlotParts::setupAxesBox(plot);
    return plot;
}

void ScrollingPlotWindow::advanceTime(qint64 elapsed)
{
    m_timeline.advance(elapsed);
    for (QCustomPlot *plot : m_plots)
        PlotParts::setTickPositions(plot, m_timeline.tickPositions());
}

void ScrollingPlotWindow::showCurves(const std::array<const QVector<double> *, 3> &values,
                                     double margin)
{
    QCustomPlot *plot = m_plots.front();
    const SeriesBounds bounds = seriesBounds({values[0], values[1], values[2]});
    const QVector<double> &keys = m_timeline.keys();
    for (int i = 0; i < 3; ++i)
        PlotParts::fillCurve(plot->graph(i), keys, *values[size_t(i)]);
    for (int i = 0; i < 3; ++i)
        plot->graph(i)->rescaleValueAxis(true);

    m_sinceRepaint.restart();
    if (keys.isEmpty())
        return;
    plot->xAxis->setRange(keys.first(), keys.last());
    plot->yAxis->setRange(bounds.lower - margin, bounds.upper + margin);
    requestRedraw();
}

void ScrollingPlotWindow::colorChanged()
{
    for (size_t i = 0; i < m_boxes.size(); ++i)
        PlotParts::applyToggle(m_plots[i / 3]->graph(int(i % 3)), m_boxes[i],
                               PlotParts::curveColour(int(i % 3)));
    requestRedraw();
}

void ScrollingPlotWindow::requestRedraw()
{
    m_replotDue = true;
    m_throttle.request();
}

void ScrollingPlotWindow::redrawNow()
{
    m_throttle.cancel();
    m_replotDue = true;
    redraw(QCustomPlot::rpImmediateRefresh);
}

void ScrollingPlotWindow::redraw(QCustomPlot::RefreshPriority priority)
{
    if (!m_replotDue)
        return;
    m_replotDue = false;
    for (QCustomPlot *plot : m_plots)
        plot->replot(priority);
}

void ScrollingPlotWindow::closeEvent(QCloseEvent *event)
{
    m_throttle.cancel();
    ViewWindow::closeEvent(event);
}
