#pragma once

#include "views/RedrawThrottle.h"
#include "views/ScrollingTimeline.h"
#include "views/ViewWindow.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QVector>
#include <qcustomplot.h>

#include <array>
#include <vector>

class QAction;
class QBoxLayout;
class QCheckBox;
class QLabel;

// What the scrolling-plot windows share: their plots stacked in one column, the timeline
// (x positions, keys, tick positions), the curve controls with their colour toggles, the
// once-per-frame redraw, pausing, and the open flag with closeWidget(false) on closing.
//
// Each window says what differs: its texts and axis labels, which field goes to which
// curve and the value ranges; it builds its plots with addTimePlot() or addPlot() and
// puts the newest data on them in its showNewestData().
//
// Pause (the button above the plots or the space bar) freezes the picture: the owner goes on
// handing in data, which the window keeps, but the plots stay as they are and the user
// may read them: drag to pan, wheel to zoom, both on the axis under the mouse only or,
// in the plot area, on both axes (Ctrl: the horizontal axis only, Shift: the vertical axis
// only); double-click fits the plot to its data. The time axes of a window's plots move
// together. Resume returns to the live ranges and shows everything handed in meanwhile.
class ScrollingPlotWindow : public ViewWindow
{
    Q_OBJECT
public:
    ~ScrollingPlotWindow() override;

    bool isPaused() const { return m_paused; }
    // The pause button's action (checked while paused).
    QAction *pauseAction() const { return m_pauseAction; }

    void setDisplayLength(int length) { m_timeline.setDisplayLength(length); }
    int displayLength() const { return m_timeline.displayLength(); }

    // Draws what the last realtimePaintSlot() prepared right now, without waiting for the
    // next display frame.
    void redrawNow();

    // The first (or only) plot.
    QCustomPlot *plot() const { return m_plots.front(); }
    // Curve controls in the order the plots and their curves were added: three a plot.
    QCheckBox *curveCheckBox(int index) const { return m_boxes.at(size_t(index)); }
    const ScrollingTimeline &timeline() const { return m_timeline; }

public slots:
    // Shows the data handed in since the last call; while paused it is only kept.
    void realtimePaintSlot();
    // Shows each curve in its colour while its check box is checked, in white while not.
    void colorChanged();
    void setPaused(bool paused);
    void togglePause() { setPaused(!m_paused); }
    // Shows all the data of each plot (what double-clicking a plot does).
    void fitToData();

signals:
    void pausedChanged(bool paused);

protected:
    explicit ScrollingPlotWindow(QWidget *parent);

    // Puts the data handed in on the plots, with the live ranges; not called while paused.
    virtual void showNewestData() = 0;
    // Shows all the data of the plot. By default the axes span the data, the value axis
    // with a twentieth of its span on either side.
    virtual void fitPlot(QCustomPlot *plot);

    // Adds below what is there a row of three curve controls (names, nameWidth wide) and
    // a plot of three curves over the time axis; valueTicks > 0 sets the value axis' tick
    // count.
    QCustomPlot *addTimePlot(const QStringList &names, int nameWidth, const QString &timeLabel,
                             const QString &valueLabel, int valueTicks = 0);
    // Adds below what is there a plot of three curves, without controls or axis set-up.
    QCustomPlot *addPlot();

    // Moves the timeline on by elapsed milliseconds and gives every time axis its ticks.
    void advanceTime(qint64 elapsed);

    // For a window of one plot: curve i shows values[i] over the timeline's keys and the
    // value axis may only grow; the repaint clock restarts. With keys, the plot then shows
    // the keys and the values with margin on either side, and is redrawn.
    void showCurves(const std::array<const QVector<double> *, 3> &values, double margin);

    // Asks for the plots to be drawn with the next display frame.
    void requestRedraw();

    void closeEvent(QCloseEvent *event) override;

    const std::vector<QCustomPlot *> &plots() const { return m_plots; }

    QElapsedTimer m_sinceRepaint; // since the last repaint that showed data

private:
    void redraw(QCustomPlot::RefreshPriority priority);
    void buildPauseRow(QBoxLayout *layout);
    void setUpReading(QCustomPlot *plot);
    // A time axis changed while paused: the other time axes follow and pick their ticks
    // for the new range.
    void followTimeRange(QCustomPlot *source, const QCPRange &range);

    std::vector<QCustomPlot *> m_plots;
    std::vector<QCustomPlot *> m_timePlots;
    std::vector<QCheckBox *> m_boxes;
    ScrollingTimeline m_timeline;
    bool m_replotDue = false;
    RedrawThrottle m_throttle;

    bool m_paused = false;
    // The live ranges of each plot when the pause began (x, y), restored on resuming.
    std::vector<std::pair<QCPRange, QCPRange>> m_liveRanges;
    QAction *m_pauseAction = nullptr;
    QLabel *m_hint = nullptr; // how to read a paused plot, shown while paused
    QString m_pauseText, m_resumeText;
};
