#include "calib/GyroBiasSession.h"

#include "calib/CalibLog.h"
#include "calib/GyoBiasDialog.h"
#include "calib/GyroBiasCollector.h"
#include "calib/GyroBiasEstimate.h"
#include "common/Language.h"
#include "serial/CommandSender.h"
#include "serial/SerialWriteResult.h"

#include <QMessageBox>

GyroBiasSession::GyroBiasSession(GyroBiasCollector &collector, CalibrationHost host,
                                 std::function<double()> outputRateHz, QObject *parent)
    : QObject(parent), m_collector(collector), m_host(std::move(host)),
      m_rate(std::move(outputRateHz))
{
}

GyroBiasSession::~GyroBiasSession() = default;

void GyroBiasSession::say(const QString &text) const
{
    if (m_host.message)
        m_host.message(text);
}

void GyroBiasSession::openDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        return;
    }
    auto *dialog = new GyoBiasDialog(m_host.window);
    m_dialog = dialog;
    emit dialogCreated(dialog);
    if (m_kept)
        dialog->offerKeptEstimate();
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        m_dialog = nullptr; // a new dialog may open at once
        dialogClosed(result);
        dialog->deleteLater();
    });
    dialog->setModal(true);
    dialog->open();
}

void GyroBiasSession::startEstimate(int seconds)
{
    m_kept = false;
    m_collector.start(seconds, m_rate ? m_rate() : 0.0); // empties the buffer
    say(QStringLiteral("Keep still, Gyro Bias is estimating."));
}

void GyroBiasSession::write()
{
    const double rate = m_rate ? m_rate() : 0.0;
    // With the unit's rate known the samples span count / rate of its time; else the time
    // they took to arrive.
    const GyroBiasEstimate::Result r = GyroBiasEstimate::estimate(
        m_collector.samples(), rate, rate > 0.0 ? -1.0 : m_collector.measuredSeconds());
    if (r.status != GyroBiasEstimate::Status::Done) {
        say(r.refusalText());
        if (m_dialog)
            m_dialog->keepOpen();
        return;
    }
    qCDebug(lcCalib).noquote() << r.debugLine();
    if (!r.still) {
        QPointer<GyoBiasDialog> dialog = m_dialog;
        QMessageBox box(QMessageBox::Warning, Language::text("提示框", "Information"),
                        r.notStillText(), QMessageBox::Yes | QMessageBox::No, m_dialog);
        box.setDefaultButton(QMessageBox::No);
        const bool yes = box.exec() == QMessageBox::Yes;
        if (!yes) {
            if (dialog)
                dialog->keepOpen();
            return;
        }
    }
    m_collector.stop();
    say(r.summaryText());
    m_awaitingWrite = true;
    m_haveOutcome = false;
    const bool sent =
        m_host.sender && m_host.sender->send(r.command, this, [this](const SerialWriteResult &w) {
            writeEnded(w.ok(), w.ok() ? QString() : w.text());
        });
    if (!sent)
        writeEnded(false, Language::text("串口没有打开", "no port is open"));
}

void GyroBiasSession::writeEnded(bool ok, const QString &failure)
{
    m_awaitingWrite = false;
    m_haveOutcome = true;
    m_written = ok;
    m_failure = failure;
    if (ok) {
        m_collector.clear();
        m_kept = false;
    } else {
        m_kept = true; // the samples wait for the next write
    }
    reportIfDone();
}

void GyroBiasSession::dialogClosed(int result)
{
    if (result != QDialog::Accepted) {
        m_collector.stop(); // the estimation ends with the dialog
        return;
    }
    m_accepted = true;
    reportIfDone();
}

void GyroBiasSession::reportIfDone()
{
    if (!m_accepted || m_awaitingWrite)
        return;
    if (m_haveOutcome && m_written)
        say(QStringLiteral("Calibrated parameters have been written to ARV successfully."));
    say(QStringLiteral("Gyro Bias estimation finished."));
    if (m_haveOutcome && !m_written)
        say(Language::text("陀螺零偏未写入 ARV：%1。样本已保留：打开串口后再次选择“陀螺零偏”"
                           "并按“写入”。",
                           "Gyro bias not written to ARV: %1. The samples are kept: open the "
                           "port, choose Gyro Bias again and press Write.")
                .arg(m_failure));
    m_accepted = false;
    m_haveOutcome = false;
}
