#pragma once

#include "calib/CabFile.h"
#include "calib/Calib3DComputation.h"

#include <QPointer>
#include <QString>
#include <QThread>
#include <QVector>
#include <QtDataVisualization/QScatterDataArray>

#include <atomic>

class calibrateWidget;

// The worker of a 3D magnetometer calibration. Made on the GUI thread with its own copy of the
// collected series; its constructor makes the point-cloud window (widget()), which the caller
// shows and which deletes itself when closed.
//
// run(), on the worker thread: Calib3DComputation::compute(); the result is kept (result()),
// then sendCalibMessage(magnitudes before, after, N) goes out; then the point cloud is turned
// into the scatter graph's array and handed to the window on the GUI thread; last, "cab.txt"
// is written (cabFileFailed when it cannot be). A computation that ran out of memory reports
// computationFailed instead of a result.
//
// Stopping: requestStop() (any thread) ends the computation within milliseconds (see
// Calib3DComputation), and the point array is not built once the window is closed. The
// destructor stops and waits for run() to return: delete the object only from the GUI thread.
class threadCalibrate : public QThread
{
    Q_OBJECT
public:
    // cabPath: where "cab.txt" goes (the working directory's by default).
    explicit threadCalibrate(const Calib3DInput &input,
                             const QString &cabPath = QString::fromLatin1(CabFile::kFileName),
                             QObject *parent = nullptr);
    ~threadCalibrate() override;

    // The point-cloud window; nullptr once it was deleted.
    calibrateWidget *widget() const { return m_widget; }

    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

    // True once the result is complete (before sendCalibMessage is emitted); from then on
    // result() does not change. GUI thread.
    bool hasResult() const { return m_hasResult.load(std::memory_order_acquire); }
    const Calib3DResult &result() const { return m_result; }

signals:
    void sendCalibMessage(QVector<double> beResidual, QVector<double> Residual, int pointNum);
    // The computation could not get its memory: no result.
    void computationFailed();
    // "cab.txt" could not be written: why.
    void cabFileFailed(const QString &path, const QString &error);
    // The point array is built (queued to handPoints on the GUI thread).
    void pointsBuilt();

protected:
    void run() override;

private:
    void handPoints();

    const Calib3DInput m_input;
    const QString m_cabPath;
    QPointer<calibrateWidget> m_widget;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_windowOpen{true};
    std::atomic<bool> m_hasResult{false};
    Calib3DResult m_result;                          // written by run() before m_hasResult
    QtDataVisualization::QScatterDataArray m_points; // written by run() before pointsBuilt
};
