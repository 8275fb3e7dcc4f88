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

class QCheckBox;

// What the scrolling-plot windows share: their plots stacked in one column, the timeline
// (x positions, keys, tick positions), the curve controls with their colour toggles, the
// once-per-frame redraw and the open flag with closeWidget(false) on closing.
//
// Each window says what differs: its texts and axis labels, which field goes to which
// curve and the value ranges; it builds its plots with addTimePlot() or addPlot() and
// repaints in its own realtimePaintSlot().
class ScrollingPlotWindow : public ViewWindow
{
    Q_OBJECT
public:
    ~ScrollingPlotWindow() override;

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
    // Shows each curve in its colour while its check box is checked, in white while not.
    void colorChanged();

protected:
    explicit ScrollingPlotWindow(QWidget *parent);

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

    std::vector<QCustomPlot *> m_plots;
    std::vector<QCheckBox *> m_boxes;
    ScrollingTimeline m_timeline;
    bool m_replotDue = false;
    RedrawThrottle m_throttle;
};
