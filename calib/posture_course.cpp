#include "calib/posture_course.h"

#include "common/Language.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

posture_course::posture_course(QWidget *parent) : ViewWindow(parent)
{
    // Its own window even with a parent (the main window, which deletes it last).
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(444, 192);
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    setWindowTitle(Language::text("姿态重置和航向角重置", "Posture and Course Reset"));

    auto *headingLabel =
        new QLabel(Language::text("航向角置零：", "Set heading angle to zero："), this);
    m_trigger = new QPushButton(Language::text("触发", "Trigger"), this);
    auto *attitudeLabel = new QLabel(Language::text("姿态重置：", "Attitude angle reset："), this);
    auto *pitchLabel = new QLabel(Language::text("俯仰", "Pitch"), this);
    m_pitch = new QLineEdit(this);
    auto *rollLabel = new QLabel(Language::text("横滚", "Roll"), this);
    m_roll = new QLineEdit(this);
    m_set = new QPushButton(Language::text("设置", "set"), this);

    auto *heading = new QHBoxLayout;
    heading->addWidget(headingLabel);
    heading->addWidget(m_trigger);
    auto *attitude = new QHBoxLayout;
    attitude->addWidget(attitudeLabel);
    attitude->addWidget(pitchLabel);
    attitude->addWidget(m_pitch);
    attitude->addWidget(rollLabel);
    attitude->addWidget(m_roll);
    attitude->addWidget(m_set);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(attitude);
}

QString posture_course::pitchText() const
{
    return m_pitch->text();
}

QString posture_course::rollText() const
{
    return m_roll->text();
}
