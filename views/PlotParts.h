#pragma once

#include <QColor>
#include <QString>
#include <QVector>

class QCPAxis;
class QCheckBox;
class QCPGraph;
class QCustomPlot;
class QWidget;

// What the scrolling-plot windows have in common: curve colours, the curve controls with
// their colour toggles, the time axis set-up and filling a curve from keys and values.
namespace PlotParts {

// Curve i of a plot: 0 red (X), 1 green (Y), 2 blue (Z).
QColor curveColour(int index);

// One curve control: a check box (checked), a 20 x 20 swatch of the curve's colour and
// the curve's name in "Arial" 10 point, nameWidth x 20. The check box is returned in box.
QWidget *makeCurveControl(const QString &name, const QColor &colour, int nameWidth,
                          QCheckBox **box);

// The curve's pen: its colour while its check box is checked, white (the background)
// while not. The curve stays in the plot and in its axis range.
void applyToggle(QCPGraph *graph, const QCheckBox *box, const QColor &colour);

// Adds the three curves, red, green and blue, on the bottom and left axes; a replot with
// the refresh hint then schedules the repaint instead of painting at once.
void addCurves(QCustomPlot *plot);

// Full axes box: the top and right axes follow the bottom and left ranges.
void setupAxesBox(QCustomPlot *plot);

// Bottom axis with clock-time ticks at fixed positions (see FixedTimeTicker).
void setupTimeAxis(QCustomPlot *plot, const QString &label);

// How many labels as wide as widest, gap pixels apart, the horizontal axis has room for; 0
// before the plot is first laid out.
int labelRoom(const QCPAxis *axis, const QString &widest, int gap);
// Asks the axis' own ticker for as many ticks (2 to 5) as labels as wide as widest have room
// for, with space to spare, since a ticker may add one to reach a round step.
void fitTickCount(QCPAxis *axis, const QString &widest);

// Gives the bottom axes of the plot its new tick positions: all of them where their labels
// have room, every second or third one on a plot too narrow for them.
void setTickPositions(QCustomPlot *plot, const QVector<double> &positions);

// Replaces the curve's points by (keys[i], values[i]) for i below the shorter of the two;
// keys must be ascending. Reuses the curve's storage.
void fillCurve(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values);

// The application icon, for the read-out windows.
QString applicationIconPath();

} // namespace PlotParts
