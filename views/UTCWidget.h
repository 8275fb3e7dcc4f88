#pragma once

#include "views/ViewWindow.h"

class QLabel;

// The UTC clock: the local time of the newest UTC item in large digits.
// isAbsent(): true while no UTC window exists (process-wide).
class UTCWidget : public ViewWindow, public InstanceCount<UTCWidget>
{
    Q_OBJECT
public:
    explicit UTCWidget(QWidget *parent = nullptr);

    // The text as ReadoutTexts builds it ("yyyy-MM-dd HH:mm:ss.zzz").
    void setUtcText(const QString &text);
    QString utcText() const;

private:
    QLabel *m_clock = nullptr;
};
