#include "views/imuWidget.h"

#include "common/Language.h"

imuWidget::imuWidget(QWidget *parent) : ScrollingPlotWindow(parent)
{
    setWindowTitle(Language::text("欧拉角数据", "Euler Data"));
    const QStringList names =
        Language::isChinese()
            ? QStringList{QStringLiteral("横滚"), QStringLiteral("俯仰"), QStringLiteral("航向")}
            : QStringList{QStringLiteral("Roll"), QStringLiteral("Pitch"), QStringLiteral("Yaw")};
    addTimePlot(names, 35, Language::text("时间", "Time"), Language::text("角度", "Degree"));
}

void imuWidget::setEuler(const QVector<double> &roll, const QVector<double> &pitch,
                         const QVector<double> &yaw)
{
    copySeries(m_roll, roll);
    copySeries(m_yaw, yaw);
    copySeries(m_pitch, pitch);
}

void imuWidget::showNewestData()
{
    if (m_roll.isEmpty())
        return; // the time keeps running from the last repaint
    advanceTime(m_sinceRepaint.elapsed());
    showCurves({&m_roll, &m_pitch, &m_yaw}, 10.0); // degrees on each side
}
