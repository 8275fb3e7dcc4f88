#pragma once

#include <qcustomplot.h>

// Automatic number ticks with always 5 sub-ticks per step.
class FiveSubTickTicker : public QCPAxisTicker
{
protected:
    int getSubTickCount(double tickStep) override;
};
