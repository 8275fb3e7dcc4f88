#include "calib/MagCalibrationSession.h"

#include "calib/CabFile.h"
#include "calib/Calib2DComputation.h"
#include "calib/Calib3DComputation.h"
#include "calib/CalibLog.h"
#include "calib/CalibrationCollector.h"
#include "calib/CalibrationResultView.h"
#include "calib/MagCalib2DClass.h"
#include "calib/calibTip2DDialog.h"
#include "calib/calibTipDialog.h"
#include "calib/calibrateWidget.h"
#include "calib/threadCalibrate.h"
#include "common/Language.h"
#include "serial/CommandSender.h"
#include "serial/SerialWriteResult.h"

#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <qcustomplot.h>

#include <algorithm>

namespace {

int shortest(const QVector<double> &a, const QVector<double> &b, const QVector<double> &c)
{
    return std::min({a.size(), b.size(), c.size()});
}

} // namespace

MagCalibrationSession::MagCalibrationSession(CalibrationCollector &collector, CalibrationHost host,
                                             QObject *parent)
    : QObject(parent), m_collector(collector), m_host(std::move(host)),
      m_cabPath(QString::fromLatin1(CabFile::kFileName))
{
}

MagCalibrationSession::~MagCalibrationSession()
{
    // The workers are children: their destructors stop them and wait. Stop both first, so
    // that they end together.
    if (m_thread3D)
        m_thread3D->requestStop();
    if (m_thread2D)
        m_thread2D->requestStop();
}

void MagCalibrationSession::say(const QString &text) const
{
    if (m_host.message)
        m_host.message(text);
}

// ------------------------------------------------------------------ collection

void MagCalibrationSession::start3D()
{
    openTip(new calibTipDialog(m_host.window), false);
}

void MagCalibrationSession::start2D()
{
    openTip(new calibTip2DDialog(m_host.window), true);
}

void MagCalibrationSession::openTip(calibTipDialog *dialog, bool planar)
{
    if (m_tip) { // one instruction dialog at a time
        delete dialog;
        m_tip->raise();
        return;
    }
    m_collector.clear();
    m_tip = dialog;
    // Collection begins now, before "Start", and ends when the dialog closes, however.
    m_collector.setCollecting(dialog->isCollecting());
    connect(dialog, &QDialog::finished, this, [this, dialog, planar](int result) {
        m_tip = nullptr; // a new calibration may open its dialog at once
        collectionEnded(result, planar);
        dialog->deleteLater();
    });
    dialog->setModal(true);
    dialog->open();
}

void MagCalibrationSession::collectionEnded(int result, bool planar)
{
    m_collector.setCollecting(false);
    if (result != QDialog::Accepted)
        return;
    if (planar)
        start2DComputation();
    else
        start3DComputation();
}

// ------------------------------------------------------------------ 3D

void MagCalibrationSession::start3DComputation()
{
    if (m_thread3D) {
        say(Language::text("上一次三维磁校准仍在进行：请先关闭它的点云窗口。",
                           "A 3D calibration is still open: close its point cloud window "
                           "first."));
        return;
    }
    const CalibrationSeries &s = m_collector.series();
    Calib3DInput input;
    input.magX = s.magX;
    input.magY = s.magY;
    input.magZ = s.magZ;
    input.pitch = s.pitch;
    input.roll = s.roll;
    input.yaw = s.yaw;
    input.gyroX = s.gyroX;
    input.gyroY = s.gyroY;
    input.gyroZ = s.gyroZ;
    if (input.commonCount() < Calib3DComputation::kMinimumSamples) {
        say(CalibrationQuality::tooFewSamples3DText(shortest(s.magX, s.magY, s.magZ),
                                                    shortest(s.pitch, s.roll, s.yaw),
                                                    shortest(s.gyroX, s.gyroY, s.gyroZ)));
        return;
    }
    auto *thread = new threadCalibrate(input, m_cabPath, this);
    m_thread3D = thread;
    m_shown3D = false;
    connect(thread, &threadCalibrate::computationFailed, this, [this, n = input.commonCount()] {
        say(Language::text("三维磁校准失败：内存不足以计算 %1 个样本。",
                           "3D calibration failed: not enough memory for %1 samples.")
                .arg(n));
    });
    connect(thread, &threadCalibrate::cabFileFailed, this,
            [this](const QString &path, const QString &error) {
                CabFile::WriteResult failed;
                failed.error = error;
                say(failed.message(path));
            });
    prepareResultWindow(false);
    emit calibrationStarted(thread);
    thread->start();

    calibrateWidget *cloud = thread->widget();
    QMdiSubWindow *sub = m_host.area->addSubWindow(cloud);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    cloud->show();
    qCDebug(lcCalib) << "3D calibration of" << input.commonCount() << "samples started";
}

void MagCalibrationSession::show3DResult(const QVector<double> &before,
                                         const QVector<double> &after, int pointNum)
{
    if (!m_thread3D || !m_thread3D->hasResult())
        return; // torn down meanwhile
    const Calib3DResult &r = m_thread3D->result();
    if (!m_view || m_view->kind() != CalibrationResultView::Kind::Magnitudes)
        prepareResultWindow(false);
    m_view->showText(r.text(), r.quality);
    m_view->showMagnitudes(before, after, pointNum);
    m_view->setWriteEnabled(r.quality.writable() && !m_writing);
    if (!r.quality.writable())
        say(refusalText(r.quality)); // the button stays disabled: the list says why
    m_shown3D = true;
    showResultWindow();
    emit resultShown(false);
}

void MagCalibrationSession::tearDown3D()
{
    if (m_view && m_view->kind() == CalibrationResultView::Kind::Magnitudes && m_resultWindow) {
        m_resultWindow->close(); // deletes itself
        m_resultWindow = nullptr;
        m_view = nullptr;
    }
    m_shown3D = false;
    if (threadCalibrate *thread = m_thread3D) {
        m_thread3D = nullptr;
        thread->disconnect(this);
        thread->requestStop();
        thread->wait(); // before anything it uses goes
        delete thread;
    }
}

void MagCalibrationSession::write3D()
{
    if (!m_thread3D || !m_thread3D->hasResult() || !m_shown3D)
        return; // nothing computed yet: nothing to send
    const Calib3DResult &r = m_thread3D->result();
    write(r.writeCommand(), refusalText(r.quality),
          QStringLiteral("Calibrated parameters have been written to ARV successfully."));
}

// ------------------------------------------------------------------ 2D

void MagCalibrationSession::start2DComputation()
{
    if (m_thread2D) {
        say(Language::text("上一次二维磁校准仍在计算。", "A 2D calibration is still computing."));
        return;
    }
    const CalibrationSeries &s = m_collector.series();
    const Calib2DInput input{s.magX, s.magY};
    if (input.commonCount() < Calib2DComputation::kMinimumSamples) {
        say(CalibrationQuality::tooFewSamples2DText(std::min(s.magX.size(), s.magY.size())));
        return;
    }
    auto *thread = new MagCalib2DClass(input, this);
    m_thread2D = thread;
    connect(thread, &MagCalib2DClass::computationFailed, this, [this, n = input.commonCount()] {
        say(Language::text("二维磁校准失败：内存不足以计算 %1 个样本。",
                           "2D calibration failed: not enough memory for %1 samples.")
                .arg(n));
    });
    prepareResultWindow(true);
    emit calibration2DStarted(thread);
    thread->start();
    qCDebug(lcCalib) << "2D calibration of" << input.commonCount() << "samples started";
}

void MagCalibrationSession::show2DResult(const QVector<double> &x, const QVector<double> &y,
                                         const QVector<double> &xR, const QVector<double> &yR,
                                         int pointNum, const QVector<double> &paras)
{
    Q_UNUSED(pointNum);
    Q_UNUSED(paras); // the thread's result holds them, with their quality
    MagCalib2DClass *thread = m_thread2D;
    if (!thread || !thread->hasResult())
        return;
    m_thread2D = nullptr;
    thread->wait(); // run() returns right after the signal
    const Calib2DResult &r = thread->result();
    m_kept2D = Kept2D{r.writeCommand(), refusalText(r.quality)};
    if (!m_view || m_view->kind() != CalibrationResultView::Kind::Ellipse)
        prepareResultWindow(true);
    m_view->showEllipse(x, y, xR, yR);
    m_view->showText(r.text(), r.quality);
    m_view->setWriteEnabled(r.quality.writable() && !m_writing);
    if (!r.quality.writable())
        say(m_kept2D->refusal);
    delete thread;
    showResultWindow();
    emit resultShown(true);
}

void MagCalibrationSession::write2D()
{
    if (!m_kept2D)
        return; // no result yet: no parameters
    write(m_kept2D->command, m_kept2D->refusal,
          QStringLiteral("2D Calibrated parameters have been written to ARV successfully."));
}

// ------------------------------------------------------------------ both

void MagCalibrationSession::stopComputations()
{
    if (m_thread3D)
        m_thread3D->requestStop(); // its teardown waits for it
    if (MagCalib2DClass *thread = m_thread2D) {
        m_thread2D = nullptr;
        thread->disconnect(this);
        thread->requestStop();
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        if (thread->isFinished())
            thread->deleteLater();
    }
}

CalibrationResultView *MagCalibrationSession::prepareResultWindow(bool planar)
{
    if (!m_resultWindow) {
        auto *sub = new QMdiSubWindow;
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
        m_host.area->addSubWindow(sub);
        m_resultWindow = sub;
    }
    auto *view = new CalibrationResultView(planar ? CalibrationResultView::Kind::Ellipse
                                                  : CalibrationResultView::Kind::Magnitudes);
    view->setWindowTitle(planar ? Language::text("二维磁校准结果", "2D Calibration Result")
                                : Language::text("三维磁校准结果", "3D Calibration Result"));
    QWidget *old = m_resultWindow->widget();
    m_resultWindow->setWidget(view);
    if (old && old != view)
        old->deleteLater();
    m_resultWindow->hide(); // until the result arrives
    m_view = view;
    emit resultViewCreated(view, planar);
    return view;
}

void MagCalibrationSession::showResultWindow()
{
    if (!m_resultWindow)
        return;
    const bool first = !m_resultWindow->isVisible();
    m_resultWindow->show();
    m_resultWindow->adjustSize();
    // Beside the point cloud where there is room, else at the area's right edge, so that as
    // much of both shows as the area allows.
    const QWidget *cloud = m_thread3D ? m_thread3D->widget() : nullptr;
    QWidget *cloudWindow = cloud ? cloud->parentWidget() : nullptr;
    if (first && cloudWindow) {
        const QRect area = m_host.area->viewport()->rect();
        cloudWindow->move(0, 0);
        const int width = m_resultWindow->width();
        m_resultWindow->move(cloudWindow->width() + width <= area.width()
                                 ? cloudWindow->width()
                                 : std::max(0, area.width() - width),
                             0);
    }
    m_resultWindow->raise();
    m_view->plot()->replot();
}

void MagCalibrationSession::write(const QByteArray &command, const QString &refusal,
                                  const QString &successText)
{
    if (m_writing)
        return; // one write at a time
    if (command.isEmpty()) {
        say(refusal);
        return;
    }
    if (!m_host.sender || !m_host.sender->canSend()) {
        say(Language::text("校准参数未写入：串口没有打开。",
                           "Calibration parameters not written: no port is open."));
        return;
    }
    QPointer<CalibrationResultView> view = m_view;
    m_writing = true;
    if (view)
        view->setWriteEnabled(false);
    auto done = [this, view] {
        m_writing = false;
        if (view)
            view->setWriteEnabled(true);
    };
    m_host.sender->send(command, this, [this, done, successText](const SerialWriteResult &r) {
        if (!r.ok()) {
            done();
            say(Language::text("校准参数未写入 ARV：%1", "Calibration parameters not written "
                                                         "to ARV: %1")
                    .arg(r.text()));
            return;
        }
        // The unit stores the parameters meanwhile; the GUI goes on.
        QTimer::singleShot(WritePauseMs, this, [this, done, successText] {
            done();
            say(successText);
        });
    });
}

QString MagCalibrationSession::refusalText(const CalibrationQuality &quality)
{
    QStringList reasons;
    for (const CalibrationQuality::Finding &f : quality.findings)
        if (f.severity == CalibrationQuality::Verdict::DoNotWrite)
            reasons << quality.findingText(f);
    if (reasons.isEmpty())
        reasons << Language::text("结果不可写入", "the result may not be written");
    return Language::text("校准参数未写入：%1。", "Calibration parameters not written: %1.")
        .arg(reasons.join(Language::text("；", "; ")));
}
