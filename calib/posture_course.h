#pragma once

#include "views/ViewWindow.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The attitude and heading reset window: "Trigger" zeroes the unit's heading, "set" sets its
// pitch and roll to the typed angles. It only collects the input; the main window validates
// it and writes the commands (its slots slotresetcourse and slotresetposture). A window of
// its own (not a sub-window), in the interface language of the moment it is built; it is
// deleted when closed, after closeWidget(false). GUI thread only.
class posture_course : public ViewWindow
{
    Q_OBJECT
public:
    explicit posture_course(QWidget *parent = nullptr);

    QString pitchText() const;
    QString rollText() const;

    QPushButton *triggerButton() const { return m_trigger; }
    QPushButton *setButton() const { return m_set; }
    QLineEdit *pitchEdit() const { return m_pitch; }
    QLineEdit *rollEdit() const { return m_roll; }

private:
    QPushButton *m_trigger = nullptr;
    QLineEdit *m_pitch = nullptr;
    QLineEdit *m_roll = nullptr;
    QPushButton *m_set = nullptr;
};
