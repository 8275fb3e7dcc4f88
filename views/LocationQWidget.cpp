#include "views/LocationQWidget.h"

#include "app/Language.h"
#include "views/PlotParts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

LocationQWidget::LocationQWidget(QWidget *parent)
    : QWidget(parent), m_throttle([this] { redraw(QCustomPlot::rpRefreshHint); }, this)
{
    setWindowTitle(Language::text("速度数据", "Velocity Data"));
    const QStringList names{QStringLiteral("Ve"), QStringLiteral("Vn"), QStringLiteral("Vu")};

    auto *layout = new QVBoxLayout(this);
    auto *controls = new QHBoxLayout;
    controls->addStretch();
    for (int i = 0; i < 3; ++i) {
        QCheckBox *box = nullptr;
        controls->addWidget(
            PlotParts::makeCurveControl(names.at(i), PlotParts::curveColour(i), 35, &box));
        m_boxes[size_t(i)] = box;
        connect(box, &QCheckBox::clicked, this, &LocationQWidget::colorChanged);
    }
    controls->addStretch();
    layout->addLayout(controls);

    m_plot = new QCustomPlot(this);
    m_plot->setMinimumSize(900, 150);
    PlotParts::addCurves(m_plot);
    PlotParts::setupTimeAxis(m_plot, QStringLiteral("Time"));
    PlotParts::setTickPositions(m_plot, m_timeline.tickPositions());
    m_plot->yAxis->setLabel(QStringLiteral("m/s"));
    PlotParts::setupAxesBox(m_plot);
    layout->addWidget(m_plot);

    m_sinceRepaint.start();
}

LocationQWidget::~LocationQWidget()
{
    m_throttle.cancel();
}

void LocationQWidget::setVelocity(const QVector<double> &field1, const QVector<double> &field2,
                                  const QVector<double> &field3)
{
    copySeries(m_field2, field2);
    copySeries(m_field3, field3);
    copySeries(m_field1, field1);
}

void LocationQWidget::realtimePaintSlot()
{
    const int pointCount = m_field2.size();
    const qint64 elapsed = m_sinceRepaint.elapsed();
    if (pointCount != 0) {
        m_timeline.advance(elapsed);
        PlotParts::setTickPositions(m_plot, m_timeline.tickPositions());
    }
    if (m_field2.isEmpty())
        return; // the time keeps running from the last repaint

    const SeriesBounds bounds = seriesBounds({&m_field2, &m_field3, &m_field1});
    const QVector<double> &keys = m_timeline.keys();
    PlotParts::fillCurve(m_plot->graph(0), keys, m_field2); // Ve
    PlotParts::fillCurve(m_plot->graph(1), keys, m_field1); // Vn
    PlotParts::fillCurve(m_plot->graph(2), keys, m_field3); // Vu
    for (int i = 0; i < 3; ++i)
        m_plot->graph(i)->rescaleValueAxis(true);

    m_sinceRepaint.restart();
    if (keys.isEmpty())
        return;
    m_plot->xAxis->setRange(keys.first(), keys.last());
    m_plot->yAxis->setRange(bounds.lower - 10.0, bounds.upper + 10.0);
    m_replotDue = true;
    m_throttle.request();
}

void LocationQWidget::colorChanged()
{
    for (int i = 0; i < 3; ++i)
        PlotParts::applyToggle(m_plot->graph(i), m_boxes[size_t(i)], PlotParts::curveColour(i));
    m_replotDue = true;
    m_throttle.request();
}

void LocationQWidget::redrawNow()
{
    m_throttle.cancel();
    m_replotDue = true;
    redraw(QCustomPlot::rpImmediateRefresh);
}

void LocationQWidget::redraw(QCustomPlot::RefreshPriority priority)
{
    if (!m_replotDue)
        return;
    m_replotDue = false;
    m_plot->replot(priority);
}

void LocationQWidget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    m_throttle.cancel();
    emit closeWidget(false);
    QWidget::closeEvent(event);
}
