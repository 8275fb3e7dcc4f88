#pragma once

#include "views/ViewWindow.h"

class attributeLabel;
class openGLwidget;

// The 3D attitude window: the turning box above the angle read-out, on black.
class combineWidget : public ViewWindow
{
    Q_OBJECT
public:
    explicit combineWidget(QWidget *parent = nullptr);

    // The newest quaternion (q0 scalar part) for the box.
    void setQuaternion(double q0, double q1, double q2, double q3);
    // The newest Euler angles for the read-out.
    void setAngles(float pitch, float roll, float yaw);
    // The newest temperature; kept with the attitude, not drawn.
    void setTemperature(double celsius) { m_temperature = celsius; }
    double temperature() const { return m_temperature; }

    openGLwidget *scene() const { return m_scene; }
    attributeLabel *readout() const { return m_readout; }

private:
    openGLwidget *m_scene = nullptr;
    attributeLabel *m_readout = nullptr;
    double m_temperature = 0.0;
};
