#include "views/PlotParts.h"

#include "views/FixedTimeTicker.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>
#include <qcustomplot.h>

namespace PlotParts {

QColor curveColour(int index)
{
    switch (index) {
    case 0:
        return QColor(Qt::red);
    case 1:
        return QColor(Qt::green);
    default:
        return QColor(Qt::blue);
    }
}

QWidget *makeCurveControl(const QString &name, const QColor &colour, int nameWidth, QCheckBox **box)
{
    auto *control = new QWidget;
    auto *row = new QHBoxLayout(control);
    row->setContentsMargins(0, 0, 0, 0);

    auto *check = new QCheckBox(control);
    check->setChecked(true);

    auto *swatch = new QLabel(control);
    swatch->setFixedSize(20, 20);
    swatch->setAutoFillBackground(true);
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, colour);
    swatch->setPalette(palette);

    auto *label = new QLabel(name, control);
    label->setFixedSize(nameWidth, 20);
    label->setFont(QFont(QStringLiteral("Arial"), 10));

    row->addWidget(check);
    row->addWidget(swatch);
    row->addWidget(label);
    if (box)
        *box = check;
    return control;
}

void applyToggle(QCPGraph *graph, const QCheckBox *box, const QColor &colour)
{
    graph->setPen(QPen(box->isChecked() ? colour : QColor(Qt::white)));
}

void addCurves(QCustomPlot *plot)
{
    // A replot only marks the plot for the next screen refresh: an immediate repaint per
    // plot would refresh the whole main window once for every plot (and compose it anew
    // each time when an OpenGL view is open).
    plot->setPlottingHint(QCP::phImmediateRefresh, false);
    for (int i = 0; i < 3; ++i) {
        QCPGraph *graph = plot->addGraph(plot->xAxis, plot->yAxis);
        graph->setPen(QPen(curveColour(i)));
    }
}

void setupAxesBox(QCustomPlot *plot)
{
    plot->axisRect()->setupFullAxesBox(true);
    plot->xAxis2->setTicker(plot->xAxis->ticker());
}

void setupTimeAxis(QCustomPlot *plot, const QString &label)
{
    QSharedPointer<FixedTimeTicker> ticker(new FixedTimeTicker);
    plot->xAxis->setTicker(ticker);
    plot->xAxis->setLabel(label);
}

int labelRoom(const QCPAxis *axis, const QString &widest, int gap)
{
    const int width = axis->axisRect()->width();
    const int label = QFontMetrics(axis->tickLabelFont()).horizontalAdvance(widest) + gap;
    return width > 0 ? std::max(1, width / label) : 0;
}

void fitTickCount(QCPAxis *axis, const QString &widest)
{
    const int room = labelRoom(axis, widest, 40);
    if (room > 0)
        axis->ticker()->setTickCount(std::clamp(room, 2, 5));
}

void setTickPositions(QCustomPlot *plot, const QVector<double> &positions)
{
    auto *ticker = dynamic_cast<FixedTimeTicker *>(plot->xAxis->ticker().data());
    if (!ticker)
        return;
    // Labels placed exactly where given need only a little space between them.
    const int room = labelRoom(plot->xAxis, QStringLiteral("00:00:000"), 6);
    const int stride = room > 0 ? (positions.size() + room - 1) / room : 1;
    ticker->setTickPositions(positions, stride);
}

void fillCurve(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values)
{
    QCPGraphDataContainer *data = graph->data().data();
    const int n = std::min(keys.size(), values.size());
    if (data->size() == n) {
        // Same number of points as before: overwrite them in place.
        auto it = data->begin();
        for (int i = 0; i < n; ++i, ++it) {
            it->key = keys[i];
            it->value = values[i];
        }
        return;
    }
    data->clear(); // keeps its capacity
    for (int i = 0; i < n; ++i)
        data->add(QCPGraphData(keys[i], values[i]));
}

QString applicationIconPath()
{
    return QStringLiteral(":/Lumeno/mainWindow-icon");
}

} // namespace PlotParts
