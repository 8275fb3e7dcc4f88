#include "views/senseDataWidget.h"

#include "common/Language.h"
#include "views/PlotParts.h"

#include <QLabel>
#include <algorithm>

senseDataWidget::senseDataWidget(QWidget *parent) : ScrollingPlotWindow(parent)
{
    setObjectName(QStringLiteral("senseDataWidget"));
    resize(400, 300);
    setWindowTitle(Language::text("传感器原始数据", "Data Visualization"));

    buildGroup(QStringLiteral("Acceleration"),
               Language::isChinese()
                   ? QStringList{QStringLiteral("X轴加速度"), QStringLiteral("Y轴加速度"),
                                 QStringLiteral("Z轴加速度")}
                   : QStringList{QStringLiteral("Acc X"), QStringLiteral("Acc Y"),
                                 QStringLiteral("Acc Z")},
               80, QStringLiteral("m/s^2"));
    buildGroup(QStringLiteral("Angular velocity"),
               Language::isChinese()
                   ? QStringList{QStringLiteral("X轴角速度"), QStringLiteral("Y轴角速度"),
                                 QStringLiteral("Z轴角速度")}
                   : QStringList{QStringLiteral("Ang Vel X"), QStringLiteral("Ang Vel Y"),
                                 QStringLiteral("Ang Vel Z")},
               80, QStringLiteral("deg/s"));
    buildGroup(QStringLiteral("Magnetic field"),
               Language::isChinese() ? QStringList{QStringLiteral("X轴归一化磁力计"),
                                                   QStringLiteral("Y轴归一化磁力计"),
                                                   QStringLiteral("Z轴归一化磁力计")}
                                     : QStringList{QStringLiteral("Mag X"), QStringLiteral("Mag Y"),
                                                   QStringLiteral("Mag Z")},
               130, QString());
}

void senseDataWidget::buildGroup(const QString &title, const QStringList &names, int nameWidth,
                                 const QString &valueLabel)
{
    auto *heading = new QLabel(title, this);
    heading->setFont(QFont(QStringLiteral("Arial"), 10));
    heading->setAlignment(Qt::AlignCenter);
    layout()->addWidget(heading);
    addTimePlot(names, nameWidth, Language::text("时间", "Time"), valueLabel, 3);
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

void senseDataWidget::showNewestData()
{
    m_pointCount = std::max({m_series[0].size(), m_series[3].size(), m_series[6].size()});
    const qint64 elapsed = m_sinceRepaint.restart();

    if (m_pointCount != 0)
        advanceTime(elapsed);

    const QVector<double> &keys = timeline().keys();
    for (int i = 0; i < 9; ++i) {
        QCPGraph *graph = plots()[size_t(i / 3)]->graph(i % 3);
        PlotParts::fillCurve(graph, keys, m_series[size_t(i)]);
        graph->rescaleValueAxis(true); // enlarge only
    }

    // Without acceleration no plot is drawn anew.
    if (m_series[0].isEmpty() || keys.isEmpty())
        return;

    const QCPRange keyRange(keys.first(), keys.last());
    for (QCustomPlot *plot : plots())
        plot->xAxis->setRange(keyRange);

    const SeriesBounds acc = seriesBounds({&m_series[0], &m_series[1], &m_series[2]});
    accelerationPlot()->yAxis->setRange(acc.lower - 0.5, acc.upper + 0.5);
    const SeriesBounds gyro = seriesBounds({&m_series[3], &m_series[4], &m_series[5]});
    angularVelocityPlot()->yAxis->setRange(gyro.lower - 1.0, gyro.upper + 1.0);
    // The magnetic plot keeps the range its curves enlarged above: it never shrinks.

    requestRedraw();
}
