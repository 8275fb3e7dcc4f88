#pragma once

#include "calib/Calib2DComputation.h"

#include <QThread>
#include <QVector>

#include <atomic>

// The worker of a planar (2D) magnetometer calibration, made on the GUI thread with its own
// copy of the collected X and Y series.
//
// run(), on the worker thread: Calib2DComputation::compute(); the result is kept (result()),
// then sendCalib2DMessage(raw X, raw Y, curve X, curve Y, 360, the twelve parameters) goes
// out. A computation that ran out of memory reports computationFailed instead.
//
// requestStop() (any thread) ends the computation within milliseconds; the destructor stops
// and waits for run() to return: delete the object only from the GUI thread.
class MagCalib2DClass : public QThread
{
    Q_OBJECT
public:
    explicit MagCalib2DClass(const Calib2DInput &input, QObject *parent = nullptr);
    ~MagCalib2DClass() override;

    void requestStop() { m_stop.store(true); }

    // True once the result is complete (before sendCalib2DMessage is emitted); from then on
    // result() does not change. GUI thread.
    bool hasResult() const { return m_hasResult.load(std::memory_order_acquire); }
    const Calib2DResult &result() const { return m_result; }

signals:
    void sendCalib2DMessage(QVector<double> x, QVector<double> y, QVector<double> xR,
                            QVector<double> yR, int pointNum, QVector<double> paras);
    void computationFailed();

protected:
    void run() override;

private:
    const Calib2DInput m_input;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hasResult{false};
    Calib2DResult m_result;
};
