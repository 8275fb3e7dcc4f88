#include "views/combineWidget.h"

#include "common/Language.h"
#include "views/attributeLabel.h"
#include "views/openGLwidget.h"

#include <QVBoxLayout>

combineWidget::combineWidget(QWidget *parent) : ViewWindow(parent)
{
    setWindowTitle(Language::text("三维定向视图", "3D Display"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 0));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    m_scene = new openGLwidget(this);
    m_readout = new attributeLabel(this);
    layout->addWidget(m_scene);
    m_readout->setAlignment(Qt::AlignLeft);
    layout->addWidget(m_readout);
}

void combineWidget::setQuaternion(double q0, double q1, double q2, double q3)
{
    m_scene->setQuaternion(q0, q1, q2, q3);
}

void combineWidget::setAngles(float pitch, float roll, float yaw)
{
    m_readout->setAngles(pitch, roll, yaw);
}
