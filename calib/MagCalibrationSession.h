#pragma once

#include "calib/CalibrationHost.h"
#include "calib/CalibrationResultView.h"
#include "calib/MagCalib2DClass.h"
#include "calib/calibTipDialog.h"
#include "calib/threadCalibrate.h"

#include <QByteArray>
#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <QVector>

#include <optional>

class CalibrationCollector;
class CalibrationQuality;
struct Calib2DResult;

// The 3D and 2D magnetometer calibrations behind the main window's slots: the instruction
// dialog and the collection, the worker threads, the point cloud, the result window with its
// quality figures, and the write. GUI thread only.
//
//  - start3D() / start2D(): the series are emptied and collection runs while the instruction
//    dialog is open (modal, without a nested event loop); it ends whenever the dialog closes.
//    "Finish" starts the computation when at least 100 samples were collected; fewer are said
//    in the message list with the counts and the items the unit must send.
//  - A 3D computation runs in threadCalibrate; its point-cloud window goes to the
//    multi-document area at once, the result window when the result arrives (the main window
//    routes sendCalibMessage through errorPlot to show3DResult). Closing the point cloud
//    tears the calibration down (isCalibrateWidgetOpen -> tearDown3D): the worker is stopped
//    and waited for before the thread is deleted; the result window closes.
//  - A 2D computation runs in MagCalib2DClass; its result (slotEllipsePlot -> show2DResult)
//    deletes the finished thread and keeps the parameters for writing.
//  - write3D() / write2D(): only a shown result that may be written is sent ("Write to ARV"
//    is enabled only then; for a result that may not be written the message list says why
//    when it is shown, and a write of it is refused with the reason); the
//    command goes through the command sender, and 1000 ms after the write (a timer, the GUI
//    goes on) the outcome is said in the message list. A failed write is said at once.
//
// The main window connects the workers and the result views as they are made (the signals
// below, emitted before a worker starts and before a view is shown).
class MagCalibrationSession : public QObject
{
    Q_OBJECT
public:
    // The pause after a calibration was written before it is reported (the unit stores it).
    static constexpr int WritePauseMs = 1000;

    MagCalibrationSession(CalibrationCollector &collector, CalibrationHost host,
                          QObject *parent = nullptr);
    ~MagCalibrationSession() override;

    // Where "cab.txt" is written (the working directory's by default).
    void setCabPath(const QString &path) { m_cabPath = path; }
    QString cabPath() const { return m_cabPath; }

    void start3D();
    void start2D();
    void show3DResult(const QVector<double> &before, const QVector<double> &after, int pointNum);
    void tearDown3D();
    void write3D();
    void show2DResult(const QVector<double> &x, const QVector<double> &y, const QVector<double> &xR,
                      const QVector<double> &yR, int pointNum, const QVector<double> &paras);
    void write2D();
    // Ends running computations at once without waiting for their results (the port closes,
    // the main window closes). A 3D calibration's windows stay until it is torn down.
    void stopComputations();

    // ---- State (tests, the main window) ----
    calibTipDialog *tipDialog() const { return m_tip; }
    threadCalibrate *calibrationThread() const { return m_thread3D; }
    MagCalib2DClass *calibration2DThread() const { return m_thread2D; }
    CalibrationResultView *resultView() const { return m_view; }
    QMdiSubWindow *resultWindow() const { return m_resultWindow; }
    // The parameters of the last 2D result, kept for writing (none before one arrived).
    bool has2DResult() const { return m_kept2D.has_value(); }
    bool isWriting() const { return m_writing; }

signals:
    // A worker was made and is about to start: its result goes to the main window's slot.
    void calibrationStarted(threadCalibrate *thread);
    void calibration2DStarted(MagCalib2DClass *thread);
    // A new result view: its "Write to ARV" goes to the main window's write slot.
    void resultViewCreated(CalibrationResultView *view, bool planar);
    // A result is shown in the result window.
    void resultShown(bool planar);

private:
    struct Kept2D
    {
        QByteArray command; // empty when it may not be written
        QString refusal;    // why, then
    };

    void openTip(calibTipDialog *dialog, bool planar);
    void collectionEnded(int result, bool planar);
    void start3DComputation();
    void start2DComputation();
    CalibrationResultView *prepareResultWindow(bool planar);
    void showResultWindow();
    void write(const QByteArray &command, const QString &refusal, const QString &successText);
    static QString refusalText(const CalibrationQuality &quality);
    void say(const QString &text) const;

    CalibrationCollector &m_collector;
    CalibrationHost m_host;
    QString m_cabPath;
    QPointer<calibTipDialog> m_tip;
    QPointer<threadCalibrate> m_thread3D;
    QPointer<MagCalib2DClass> m_thread2D;
    QPointer<QMdiSubWindow> m_resultWindow;
    QPointer<CalibrationResultView> m_view;
    bool m_shown3D = false; // the 3D result is in the result window
    std::optional<Kept2D> m_kept2D;
    bool m_writing = false;
};
