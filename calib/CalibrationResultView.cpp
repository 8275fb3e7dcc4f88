#include "calib/CalibrationResultView.h"

#include "calib/CalibrationQuality.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char *verdictColour(CalibrationQuality::Verdict v)
{
    switch (v) {
    case CalibrationQuality::Verdict::Good:
        return "#1b7a1b";
    case CalibrationQuality::Verdict::Usable:
        return "#b36b00";
    case CalibrationQuality::Verdict::DoNotWrite:
        break;
    }
    return "#c00000";
}

// The smallest and largest finite value of both series (NaN, NaN when there is none).
void finiteRange(const QVector<double> &a, const QVector<double> &b, double &low, double &high)
{
    low = std::numeric_limits<double>::infinity();
    high = -low;
    for (const QVector<double> *v : {&a, &b})
        for (double x : *v)
            if (std::isfinite(x)) {
                low = std::min(low, x);
                high = std::max(high, x);
            }
    if (low > high)
        low = high = std::numeric_limits<double>::quiet_NaN();
}

} // namespace

CalibrationResultView::CalibrationResultView(Kind kind, QWidget *parent)
    : QWidget(parent), m_kind(kind)
{
    m_text = new QTextEdit(this);
    m_text->setReadOnly(true);
    m_quality = new QLabel(this);
    m_quality->setWordWrap(true);
    m_quality->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_write = new QPushButton(QStringLiteral("Write to ARV"), this);
    m_write->setMinimumWidth(150);
    m_write->setEnabled(false);
    connect(m_write, &QPushButton::clicked, this, &CalibrationResultView::writeClicked);

    m_plot = new QCustomPlot(this);
    if (kind == Kind::Magnitudes)
        m_plot->setMinimumSize(600, 250);
    else
        m_plot->setMinimumSize(500, 500);

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_text);
    texts->addWidget(m_quality);
    auto *top = new QHBoxLayout;
    top->addLayout(texts, 1);
    top->addWidget(m_write, 0, Qt::AlignVCenter);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_plot, 1);
}

void CalibrationResultView::showText(const QString &resultText, const CalibrationQuality &quality)
{
    m_text->setAlignment(Qt::AlignCenter);
    QFont font = m_text->font();
    font.setPointSize(10);
    m_text->setFont(font);
    // A zero-width space after each separator lets R's nine numbers wrap between numbers.
    QString shown = resultText;
    shown.replace(QLatin1Char(','), QStringLiteral(",\u200B"))
        .replace(QLatin1Char(';'), QStringLiteral(";\u200B"));
    m_text->setPlainText(shown);
    m_text->selectAll();
    m_text->setAlignment(Qt::AlignCenter);
    m_text->moveCursor(QTextCursor::Start);
    m_text->setReadOnly(true);
    // R's nine numbers wrap rather than widen the window past the point cloud beside it: the
    // box is as high as five lines instead of the three of an unwrapped text.
    m_text->setLineWrapMode(QTextEdit::WidgetWidth);
    m_text->setMinimumWidth(420);
    m_text->setFixedHeight(m_text->fontMetrics().lineSpacing() * 5 + 2 * m_text->frameWidth() + 8);

    QStringList lines = quality.lines();
    const QString verdict = lines.isEmpty() ? QString() : lines.takeLast();
    QString html;
    for (const QString &line : lines)
        html += line.toHtmlEscaped() + QStringLiteral("<br>");
    html += QStringLiteral("<b style=\"color:%1\">%2</b>")
                .arg(QLatin1String(verdictColour(quality.verdict)), verdict.toHtmlEscaped());
    m_quality->setText(html);
}

void CalibrationResultView::showMagnitudes(const QVector<double> &before,
                                           const QVector<double> &after, int pointNum)
{
    // Keys 0, 1, ... for the first pointNum values (a failed fit has no values after).
    auto fill = [pointNum](QCPGraph *graph, const QVector<double> &values) {
        const int n = std::min(pointNum, int(values.size()));
        QVector<double> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = i;
        graph->setData(keys, values.mid(0, n), true);
    };
    m_plot->clearGraphs();
    QCPGraph *calibrated = m_plot->addGraph();
    calibrated->setPen(QPen(Qt::blue));
    calibrated->setBrush(QBrush(QColor(0, 0, 255, 20)));
    fill(calibrated, after);
    QCPGraph *raw = m_plot->addGraph();
    raw->setPen(QPen(Qt::red));
    fill(raw, before);
    m_plot->axisRect()->setupFullAxesBox(true);
    m_plot->rescaleAxes();
    finishPlot(before, after);
}

void CalibrationResultView::showEllipse(const QVector<double> &x, const QVector<double> &y,
                                        const QVector<double> &xR, const QVector<double> &yR)
{
    m_plot->clearGraphs();
    const QCPScatterStyle circle(QCPScatterStyle::ssCircle, 2);
    QCPGraph *points = m_plot->addGraph();
    points->setPen(QPen(Qt::blue));
    points->setLineStyle(QCPGraph::lsNone);
    points->setScatterStyle(circle);
    points->setData(x, y);
    QCPGraph *curve = m_plot->addGraph();
    curve->setPen(QPen(Qt::red));
    curve->setLineStyle(QCPGraph::lsNone);
    curve->setScatterStyle(circle);
    curve->setData(xR, yR);
    m_plot->axisRect()->setupFullAxesBox(true);
    // Each rescale replaces the ranges: the key axis ends up spanning the curve.
    points->rescaleAxes(false);
    curve->rescaleAxes(false);
    finishPlot(y, yR);
}

void CalibrationResultView::finishPlot(const QVector<double> &a, const QVector<double> &b)
{
    double low, high;
    finiteRange(a, b, low, high);
    if (std::isfinite(low))
        m_plot->yAxis->setRange(low - 10.0, high + 10.0);
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
    m_plot->replot();
}

void CalibrationResultView::setWriteEnabled(bool enabled)
{
    m_write->setEnabled(enabled);
}
