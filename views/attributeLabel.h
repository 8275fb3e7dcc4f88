#pragma once

#include <QLabel>

// The angle read-out under the 3D view: roll, pitch and yaw in yellow, one per line.
class attributeLabel : public QLabel
{
    Q_OBJECT
public:
    explicit attributeLabel(QWidget *parent = nullptr);

    // Stores the angles and schedules one repaint.
    void setAngles(float pitch, float roll, float yaw);

    float pitch() const { return m_pitch; }
    float roll() const { return m_roll; }
    float yaw() const { return m_yaw; }

    // The three lines as drawn, roll first ("Roll : -12.35").
    QStringList lines() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_pitch = 0.0f;
    float m_roll = 0.0f;
    float m_yaw = 0.0f;
    QString m_rollName;
    QString m_pitchName;
    QString m_yawName;
};
