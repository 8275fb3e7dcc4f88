#include "views/ScrollingPlotWindow.h"

#include "common/Language.h"
#include "views/FixedTimeTicker.h"
#include "views/PlotParts.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The axes a wheel turn or a drag in the plot area acts on: Ctrl keeps to the horizontal
// axis, Shift to the vertical one. Over an axis only that axis moves (QCustomPlot's own).
Qt::Orientations readingOrientations(Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier)
        return Qt::Horizontal;
    if (modifiers & Qt::ShiftModifier)
        return Qt::Vertical;
    return Qt::Horizontal | Qt::Vertical;
}

FixedTimeTicker *timeTicker(QCustomPlot *plot)
{
    return dynamic_cast<FixedTimeTicker *>(plot->xAxis->ticker().data());
}

// A plot that opens 900 x 150 pixels large, and may be made smaller, down to what still
// shows its axes and a curve, when the user or the Window menu's Tile makes room for others.
class ViewPlot : public QCustomPlot
{
public:
    explicit ViewPlot(QWidget *parent) : QCustomPlot(parent) { setMinimumSize(300, 90); }
    QSize sizeHint() const override { return {900, 150}; }
};

} // namespace

ScrollingPlotWindow::ScrollingPlotWindow(QWidget *parent)
    : ViewWindow(parent), m_throttle([this] { redraw(QCustomPlot::rpRefreshHint); }, this)
{
    buildPauseRow(new QVBoxLayout(this));
    m_sinceRepaint.start();

    // The space bar pauses and resumes the window that has the keyboard (a click into
    // any of its plots gives it the keyboard).
    auto *space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WidgetWithChildrenShortcut);
    connect(space, &QShortcut::activated, this, &ScrollingPlotWindow::togglePause);
    setFocusPolicy(Qt::StrongFocus);
}

void ScrollingPlotWindow::buildPauseRow(QBoxLayout *layout)
{
    m_pauseText = Language::text("暂停", "Pause");
    m_resumeText = Language::text("继续", "Resume");
    m_pauseAction = new QAction(style()->standardIcon(QStyle::SP_MediaPause), m_pauseText, this);
    m_pauseAction->setCheckable(true);
    m_pauseAction->setToolTip(Language::text("暂停或继续（空格键）", "Pause or resume (Space)"));
    connect(m_pauseAction, &QAction::toggled, this, &ScrollingPlotWindow::setPaused);
    auto *button = new QToolButton(this);
    button->setDefaultAction(m_pauseAction);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);

    // Wraps in a narrow window; the details are in its tool tip.
    m_hint = new QLabel(Language::text("已暂停：拖动平移，滚轮缩放，双击显示全部",
                                       "Paused: drag to pan, wheel to zoom, double-click to fit"),
                        this);
    m_hint->setWordWrap(true);
    m_hint->setToolTip(Language::text(
        "在坐标轴上拖动或滚动只移动或缩放该轴；按住 Ctrl 只作用于横轴，按住 Shift 只作用于纵轴",
        "Over an axis, dragging and the wheel move or zoom that axis only; with Ctrl only the "
        "horizontal axis, with Shift only the vertical axis"));
    m_hint->setVisible(false);

    auto *row = new QHBoxLayout;
    row->addWidget(button, 0, Qt::AlignLeft);
    row->addWidget(m_hint, 1);
    layout->addLayout(row);
}

ScrollingPlotWindow::~ScrollingPlotWindow()
{
    m_throttle.cancel();
}

QCustomPlot *ScrollingPlotWindow::addPlot()
{
    auto *plot = new ViewPlot(this);
    PlotParts::addCurves(plot);
    layout()->addWidget(plot);
    m_plots.push_back(plot);
    setUpReading(plot);
    return plot;
}

void ScrollingPlotWindow::setUpReading(QCustomPlot *plot)
{
    // Live, the window sets the ranges; dragging and zooming are on only while paused.
    plot->setInteractions(QCP::Interactions());
    plot->setFocusPolicy(Qt::ClickFocus);
    connect(plot, &QCustomPlot::mouseWheel, this, [plot](QWheelEvent *event) {
        plot->axisRect()->setRangeZoom(readingOrientations(event->modifiers()));
    });
    connect(plot, &QCustomPlot::mousePress, this, [plot](QMouseEvent *event) {
        plot->axisRect()->setRangeDrag(readingOrientations(event->modifiers()));
    });
    connect(plot, &QCustomPlot::mouseDoubleClick, this, [this, plot] {
        if (!m_paused)
            return;
        fitPlot(plot);
        plot->replot();
    });
}

void ScrollingPlotWindow::followTimeRange(QCustomPlot *source, const QCPRange &range)
{
    if (!m_paused)
        return;
    for (QCustomPlot *plot : m_timePlots) {
        if (FixedTimeTicker *ticker = timeTicker(plot))
            ticker->setFollowsRange(true);
        PlotParts::fitTickCount(plot->xAxis, QStringLiteral("00:00:000"));
        if (plot != source) {
            plot->xAxis->setRange(range);
            plot->replot(QCustomPlot::rpQueuedReplot);
        }
    }
}

QCustomPlot *ScrollingPlotWindow::addTimePlot(const QStringList &names, int nameWidth,
                                              const QString &timeLabel, const QString &valueLabel,
                                              int valueTicks)
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    auto *controls = new QHBoxLayout;
    controls->addStretch();
    for (int i = 0; i < 3; ++i) {
        QCheckBox *box = nullptr;
        controls->addWidget(
            PlotParts::makeCurveControl(names.at(i), PlotParts::curveColour(i), nameWidth, &box));
        m_boxes.push_back(box);
        connect(box, &QCheckBox::clicked, this, &ScrollingPlotWindow::colorChanged);
    }
    controls->addStretch();
    layout->addLayout(controls);

    QCustomPlot *plot = addPlot();
    PlotParts::setupTimeAxis(plot, timeLabel);
    PlotParts::setTickPositions(plot, m_timeline.tickPositions());
    if (valueTicks > 0)
        plot->yAxis->ticker()->setTickCount(valueTicks);
    if (!valueLabel.isEmpty())
        plot->yAxis->setLabel(valueLabel);
    PlotParts::setupAxesBox(plot);
    m_timePlots.push_back(plot);
    connect(plot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            [this, plot](const QCPRange &range) { followTimeRange(plot, range); });
    return plot;
}

void ScrollingPlotWindow::advanceTime(qint64 elapsed)
{
    m_timeline.advance(elapsed);
    for (QCustomPlot *plot : m_plots)
        PlotParts::setTickPositions(plot, m_timeline.tickPositions());
}

void ScrollingPlotWindow::showCurves(const std::array<const QVector<double> *, 3> &values,
                                     double margin)
{
    QCustomPlot *plot = m_plots.front();
    const SeriesBounds bounds = seriesBounds({values[0], values[1], values[2]});
    const QVector<double> &keys = m_timeline.keys();
    for (int i = 0; i < 3; ++i)
        PlotParts::fillCurve(plot->graph(i), keys, *values[size_t(i)]);
    for (int i = 0; i < 3; ++i)
        plot->graph(i)->rescaleValueAxis(true);

    m_sinceRepaint.restart();
    if (keys.isEmpty())
        return;
    plot->xAxis->setRange(keys.first(), keys.last());
    plot->yAxis->setRange(bounds.lower - margin, bounds.upper + margin);
    requestRedraw();
}

void ScrollingPlotWindow::realtimePaintSlot()
{
    if (m_paused)
        return; // the data stays in the window's series until the resume shows it
    showNewestData();
}

void ScrollingPlotWindow::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    {
        const QSignalBlocker block(m_pauseAction);
        m_pauseAction->setChecked(paused);
    }
    m_pauseAction->setText(paused ? m_resumeText : m_pauseText);
    m_pauseAction->setIcon(
        style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    m_hint->setVisible(paused);

    if (paused) {
        m_liveRanges.clear();
        for (QCustomPlot *plot : m_plots) {
            m_liveRanges.emplace_back(plot->xAxis->range(), plot->yAxis->range());
            plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
        }
    } else {
        // Back to the live ranges, which the newest data then moves on as usual (a value
        // axis that only grows goes on from where it was).
        for (size_t i = 0; i < m_plots.size(); ++i) {
            QCustomPlot *plot = m_plots[i];
            plot->setInteractions(QCP::Interactions());
            if (i < m_liveRanges.size()) {
                plot->xAxis->setRange(m_liveRanges[i].first);
                plot->yAxis->setRange(m_liveRanges[i].second);
            }
        }
        for (QCustomPlot *plot : m_timePlots)
            if (FixedTimeTicker *ticker = timeTicker(plot))
                ticker->setFollowsRange(false);
        showNewestData();
        requestRedraw();
    }
    emit pausedChanged(paused);
}

void ScrollingPlotWindow::fitToData()
{
    for (QCustomPlot *plot : m_plots)
        fitPlot(plot);
    for (QCustomPlot *plot : m_plots)
        plot->replot();
}

void ScrollingPlotWindow::fitPlot(QCustomPlot *plot)
{
    plot->rescaleAxes(); // hidden curves too, as the live ranges include them
    const QCPRange y = plot->yAxis->range();
    const double pad = y.size() > 0 ? y.size() / 20 : 1.0;
    plot->yAxis->setRange(y.lower - pad, y.upper + pad);
}

void ScrollingPlotWindow::colorChanged()
{
    for (size_t i = 0; i < m_boxes.size(); ++i)
        PlotParts::applyToggle(m_plots[i / 3]->graph(int(i % 3)), m_boxes[i],
                               PlotParts::curveColour(int(i % 3)));
    requestRedraw();
}

void ScrollingPlotWindow::requestRedraw()
{
    m_replotDue = true;
    m_throttle.request();
}

void ScrollingPlotWindow::redrawNow()
{
    m_throttle.cancel();
    m_replotDue = true;
    redraw(QCustomPlot::rpImmediateRefresh);
}

void ScrollingPlotWindow::redraw(QCustomPlot::RefreshPriority priority)
{
    if (!m_replotDue)
        return;
    m_replotDue = false;
    for (QCustomPlot *plot : m_plots)
        plot->replot(priority);
}

void ScrollingPlotWindow::closeEvent(QCloseEvent *event)
{
    m_throttle.cancel();
    ViewWindow::closeEvent(event);
}
