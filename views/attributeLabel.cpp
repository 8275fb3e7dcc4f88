#include "views/attributeLabel.h"

#include "common/Language.h"
#include "views/AttitudeMath.h"

#include <QPainter>

attributeLabel::attributeLabel(QWidget *parent)
    : QLabel(parent), m_rollName(Language::text("横滚", "Roll")),
      m_pitchName(Language::text("俯仰", "Pitch")), m_yawName(Language::text("航向", "Yaw"))
{
    setFixedHeight(100);
    setAutoFillBackground(true);
}

void attributeLabel::setAngles(float pitch, float roll, float yaw)
{
    m_pitch = pitch;
    m_roll = roll;
    m_yaw = yaw;
    update();
}

QStringList attributeLabel::lines() const
{
    return {AttitudeMath::readoutLine(m_rollName, double(m_roll)),
            AttitudeMath::readoutLine(m_pitchName, double(m_pitch)),
            AttitudeMath::readoutLine(m_yawName, double(m_yaw))};
}

void attributeLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(255, 255, 0));
    painter.setFont(QFont(QStringLiteral("Segoe"), 14));
    const QStringList text = lines();
    const int x = int(width() * 0.2);
    const double rows[3] = {0.25, 0.5, 0.75};
    for (int i = 0; i < 3; ++i)
        painter.drawText(x, int(height() * rows[i]), text.at(i));
}
