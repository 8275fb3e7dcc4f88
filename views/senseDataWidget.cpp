#include "views/senseDataWidget.h"

#include "app/Language.h"
#include "views/PlotParts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <qcustomplot.h>

namespace {
enum Group
{
    Acceleration = 0,
    AngularVelocity = 1,
    Magnetic = 2
};
}

senseDataWidget::senseDataWidget(QWidget *parent)
    : QWidget(parent), m_throttle([this] { redraw(QCustomPlot::rpRefreshHint); }, this)
{
    setObjectName(QStringLiteral("senseDataWidget"));
    resize(400, 300);
    setWindowTitle(Language::text("传感器原始数据", "Data Visualization"));

    auto *layout = new QVBoxLayout(this);
    Q_UNUSED(layout);
    buildGroup(Acceleration, QStringLiteral("Acceleration"),
               Language::isChinese()
                   ? QStringList{QStringLiteral("X轴加速度"), QStringLiteral("Y轴加速度"),
                                 QStringLiteral("Z轴加速度")}
                   : QStringList{QStringLiteral("Acc X"), QStringLiteral("Acc Y"),
                                 QStringLiteral("Acc Z")},
               80, QStringLiteral("m/s^2"));
    buildGroup(AngularVelocity, QStringLiteral("Angular velocity"),
               Language::isChinese()
                   ? QStringList{QStringLiteral("X轴角速度"), QStringLiteral("Y轴角速度"),
                                 QStringLiteral("Z轴角速度")}
                   : QStringList{QStringLiteral("Ang Vel X"), QStringLiteral("Ang Vel Y"),
                                 QStringLiteral("Ang Vel Z")},
               80, QStringLiteral("deg/s"));
    buildGroup(Magnetic, QStringLiteral("Magnetic field"),
               Language::isChinese() ? QStringList{QStringLiteral("X轴归一化磁力计"),
                                                   QStringLiteral("Y轴归一化磁力计"),
                                                   QStringLiteral("Z轴归一化磁力计")}
                                     : QStringList{QStringLiteral("Mag X"), QStringLiteral("Mag Y"),
                                                   QStringLiteral("Mag Z")},
               130, QString());

    for (QCheckBox *box : m_boxes)
        connect(box, &QCheckBox::clicked, this, &senseDataWidget::colorChanged);
    m_sinceRepaint.start();
}

senseDataWidget::~senseDataWidget()
{
    m_throttle.cancel();
}

void senseDataWidget::buildGroup(int group, const QString &title, const QStringList &names,
                                 int nameWidth, const QString &valueLabel)
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    const QFont labelFont(QStringLiteral("Arial"), 10);

    auto *heading = new QLabel(title, this);
    heading->setFont(labelFont);
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);

    auto *controls = new QHBoxLayout;
    controls->addStretch();
    for (int i = 0; i < 3; ++i) {
        QCheckBox *box = nullptr;
        controls->addWidget(
            PlotParts::makeCurveControl(names.at(i), PlotParts::curveColour(i), nameWidth, &box));
        m_boxes[size_t(group * 3 + i)] = box;
    }
    controls->addStretch();
    layout->addLayout(controls);

    auto *plot = new QCustomPlot(this);
    plot->setMinimumSize(900, 150);
    PlotParts::addCurves(plot);
    PlotParts::setupTimeAxis(plot, Language::text("时间", "Time"));
    PlotParts::setTickPositions(plot, m_timeline.tickPositions());
    plot->yAxis->ticker()->setTickCount(3);
    if (!valueLabel.isEmpty())
        plot->yAxis->setLabel(valueLabel);
    PlotParts::setupAxesBox(plot);
    layout->addWidget(plot);
    m_plots[size_t(group)] = plot;
}

void senseDataWidget::setAcceleration(const QVector<double> &x, const QVector<double> &y,
                                      const QVector<double> &z)
{
    copySeries(m_series[0], x);
    copySeries(m_series[1], y);
    copySeries(m_series[2], z);
}

void senseDataWidget::setAngularVelocity(const QVector<double> &x, const QVector<double> &y,
                                         const QVector<double> &z)
{
    copySeries(m_series[3], x);
    copySeries(m_series[4], y);
    copySeries(m_series[5], z);
}

void senseDataWidget::setMagnetic(const QVector<double> &x, const QVector<double> &y,
                                  const QVector<double> &z)
{
    copySeries(m_series[6], x);
    copySeries(m_series[7], y);
    copySeries(m_series[8], z);
}

void senseDataWidget::setDisplayLength(int length)
{
    m_timeline.setDisplayLength(length);
}

void senseDataWidget::realtimePaintSlot()
{
    m_pointCount = std::max({m_series[0].size(), m_series[3].size(), m_series[6].size()});
    const qint64 elapsed = m_sinceRepaint.restart();

    if (m_pointCount != 0) {
        m_timeline.advance(elapsed);
        for (QCustomPlot *plot : m_plots)
            PlotParts::setTickPositions(plot, m_timeline.tickPositions());
    }

    const QVector<double> &keys = m_timeline.keys();
    for (int i = 0; i < 9; ++i) {
        QCPGraph *graph = m_plots[size_t(i / 3)]->graph(i % 3);
        PlotParts::fillCurve(graph, keys, m_series[size_t(i)]);
        graph->rescaleValueAxis(true); // enlarge only
    }

    // Without acceleration no plot is drawn anew.
    if (m_series[0].isEmpty() || keys.isEmpty())
        return;

    const QCPRange keyRange(keys.first(), keys.last());
    for (QCustomPlot *plot : m_plots)
        plot->xAxis->setRange(keyRange);

    const SeriesBounds acc = seriesBounds({&m_series[0], &m_series[1], &m_series[2]});
    m_plots[Acceleration]->yAxis->setRange(acc.lower - 0.5, acc.upper + 0.5);
    const SeriesBounds gyro = seriesBounds({&m_series[3], &m_series[4], &m_series[5]});
    m_plots[AngularVelocity]->yAxis->setRange(gyro.lower - 1.0, gyro.upper + 1.0);
    // The magnetic plot keeps the range its curves enlarged above: it never shrinks.

    m_replotDue = true;
    m_throttle.request();
}

void senseDataWidget::colorChanged()
{
    for (int i = 0; i < 9; ++i)
        PlotParts::applyToggle(m_plots[size_t(i / 3)]->graph(i % 3), m_boxes[size_t(i)],
                               PlotParts::curveColour(i % 3));
    m_replotDue = true;
    m_throttle.request();
}

void senseDataWidget::redrawNow()
{
    m_throttle.cancel();
    m_replotDue = true;
    redraw(QCustomPlot::rpImmediateRefresh);
}

void senseDataWidget::redraw(QCustomPlot::RefreshPriority priority)
{
    if (!m_replotDue)
        return;
    m_replotDue = false;
    for (QCustomPlot *plot : m_plots)
        plot->replot(priority);
}

void senseDataWidget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    m_throttle.cancel();
    emit closeWidget(false);
    QWidget::closeEvent(event);
}
