#include "views/LocationQWidget.h"

#include "common/Language.h"

LocationQWidget::LocationQWidget(QWidget *parent) : ScrollingPlotWindow(parent)
{
    setWindowTitle(Language::text("速度数据", "Velocity Data"));
    addTimePlot({QStringLiteral("Ve"), QStringLiteral("Vn"), QStringLiteral("Vu")}, 35,
                QStringLiteral("Time"), QStringLiteral("m/s"));
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
    if (m_field2.isEmpty())
        return; // the time keeps running from the last repaint
    advanceTime(m_sinceRepaint.elapsed());
    // Ve, Vn, Vu; 10 m/s on each side.
    showCurves({&m_field2, &m_field1, &m_field3}, 10.0);
}
