#pragma once

#include "views/RedrawThrottle.h"

// Paces how often the view windows are handed new data, and so how often the screen is
// refreshed, independently of how often data arrives.
//
// request() may be called after every parse pass; due() is then emitted once, from the
// event loop, no sooner than one interval after the previous due(), and always after the
// newest request, so that the windows end up showing the newest data (RedrawThrottle's
// pacing). The interval follows the measured cost of a screen refresh and of the hand-over
// before it (noteRefreshCost): at least the smoothed cost divided by MaxDrawShare, in whole
// display frames (1/60 s) between MinIntervalMs and MaxIntervalMs, so that drawing takes at
// most a fifth of a processor core, whatever the number of windows and however they are
// rendered (a software-rendered window makes every refresh expensive), and reading and input
// are never starved. The interval shrinks only when the cost has fallen well below it, so
// that the windows are redrawn at a steady rate whatever the rate of the data.
class RefreshPacer : public RedrawThrottle
{
    Q_OBJECT
public:
    static constexpr int MinIntervalMs = 16; // about 60 refreshes a second
    static constexpr int MaxIntervalMs = 250;
    static constexpr double MaxDrawShare = 0.2; // of one core

    explicit RefreshPacer(QObject *parent = nullptr);

    // The time one screen refresh took.
    void noteRefreshCost(double ms);
    double smoothedCostMs() const { return m_costMs; }

signals:
    void due();

private:
    double m_costMs = 0.0;
};
