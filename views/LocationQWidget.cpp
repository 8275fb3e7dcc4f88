#include "views/LocationQWidget.h"

#include "common/Language.h"

LocationQWidget::LocationQWidget(QWidget *parent) : ScrollingPlotWindow(parent)
{
    setWindowTitle(Language::text("速度数据", "Velocity Data"));
    addTimePlot({QStringLiteral("Ve"), QStringLiteral("Vn"), QStringLiteral("Vu")}, 35,
                QStringLiteral("Time"), QStringLiteral("m/s"));
}

void LocationQWidget::setVelocity(const QVector<double> &north, const QVector<double> &east,
                                  const QVector<double> &ground)
{
    copySeries(m_east, east);
    copySeries(m_ground, ground);
    copySeries(m_north, north);
}

void LocationQWidget::showNewestData()
{
    if (m_east.isEmpty())
        return; // the time keeps running from the last repaint
    advanceTime(m_sinceRepaint.elapsed());
    // Ve, Vn, Vu; 10 m/s on each side.
    showCurves({&m_east, &m_north, &m_ground}, 10.0);
}
