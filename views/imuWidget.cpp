#include "views/imuWidget.h"

#include "app/Language.h"
#include "views/PlotParts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

imuWidget::imuWidget(QWidget *parent)
    : QWidget(parent), m_throttle([this] { redraw(QCustomPlot::rpRefreshHint); }, this)
{
    setWindowTitle(Language::text("欧拉角数据", "Euler Data"));
    const QStringList names =
        Language::isChinese()
            ? QStringList{QStringLiteral("横滚"), QStringLiteral("俯仰"), QStringLiteral("航向")}
            : QStringList{QStringLiteral("Roll"), QStringLiteral("Pitch"), QStringLiteral("Yaw")};

    auto *layout = new QVBoxLayout(this);
    auto *controls = new QHBoxLayout;
    controls->addStretch();
    for (int i = 0; i < 3; ++i) {
        QCheckBox *box = nullptr;
        controls->addWidget(
            PlotParts::makeCurveControl(names.at(i), PlotParts::curveColour(i), 35, &box));
        m_boxes[size_t(i)] = box;
        connect(box, &QCheckBox::clicked, this, &imuWidget::colorChanged);
    }
    controls->addStretch();
    layout->addLayout(controls);

    m_plot = new QCustomPlot(this);
    m_plot->setMinimumSize(900, 150);
    PlotParts::addCurves(m_plot);
    PlotParts::setupTimeAxis(m_plot, Language::text("时间", "Time"));
    PlotParts::setTickPositions(m_plot, m_timeline.tickPositions());
    m_plot->yAxis->setLabel(Language::text("角度", "Degree"));
    PlotParts::setupAxesBox(m_plot);
    layout->addWidget(m_plot);

    m_sinceRepaint.start();
}

imuWidget::~imuWidget()
{
    m_throttle.cancel();
}

void imuWidget::setEuler(const QVector<double> &roll, const QVector<double> &pitch,
                         const QVector<double> &yaw)
{
    copySeries(m_roll, roll);
    copySeries(m_yaw, yaw);
    copySeries(m_pitch, pitch);
}

void imuWidget::realtimePaintSlot()
{
    const int pointCount = m_roll.size();
    const qint64 elapsed = m_sinceRepaint.elapsed();
    if (pointCount != 0) {
        m_timeline.advance(elapsed);
        PlotParts::setTickPositions(m_plot, m_timeline.tickPositions());
    }
    if (m_roll.isEmpty())
        return; // the time keeps running from the last repaint

    const SeriesBounds bounds = seriesBounds({&m_roll, &m_yaw, &m_pitch});
    const QVector<double> &keys = m_timeline.keys();
    PlotParts::fillCurve(m_plot->graph(0), keys, m_roll);
    PlotParts::fillCurve(m_plot->graph(1), keys, m_pitch);
    PlotParts::fillCurve(m_plot->graph(2), keys, m_yaw);
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

void imuWidget::colorChanged()
{
    for (int i = 0; i < 3; ++i)
        PlotParts::applyToggle(m_plot->graph(i), m_boxes[size_t(i)], PlotParts::curveColour(i));
    m_replotDue = true;
    m_throttle.request();
}

void imuWidget::redrawNow()
{
    m_throttle.cancel();
    m_replotDue = true;
    redraw(QCustomPlot::rpImmediateRefresh);
}

void imuWidget::redraw(QCustomPlot::RefreshPriority priority)
{
    if (!m_replotDue)
        return;
    m_replotDue = false;
    m_plot->replot(priority);
}

void imuWidget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    m_throttle.cancel();
    emit closeWidget(false);
    QWidget::closeEvent(event);
}
