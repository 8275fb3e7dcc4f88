#pragma once

#include "views/ViewWindow.h"

class QLabel;

// The GNSS/INS fusion state read-out: the navigation (INS) state and the GNSS solution.
// isAbsent(): true while no fusion state window exists (process-wide).
class Combined_State_Widget : public ViewWindow, public InstanceCount<Combined_State_Widget>
{
    Q_OBJECT
public:
    explicit Combined_State_Widget(QWidget *parent = nullptr);

    // The state names as ReadoutTexts picks them.
    void setStateTexts(const QString &insState, const QString &gnssState);
    QString insStateText() const;
    QString gnssStateText() const;

private:
    QLabel *m_fusion = nullptr;
    QLabel *m_gnss = nullptr;
};
