#pragma once

#include "calib/CalibrationHost.h"
#include "calib/GyoBiasDialog.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class GyroBiasCollector;

// The gyro bias estimation behind the main window's slots slotGyroBias (openDialog),
// slotGetSecond (startEstimate) and slotWriteGyro (write). GUI thread only.
//
//  - The dialog is modal without a nested event loop; the main window connects its signals
//    when dialogCreated is emitted.
//  - An estimation empties the buffer and collects for its duration at the unit's output rate
//    (outputRateHz(), read from the unit; the collector's ceiling when not known). Closing the
//    dialog without a write ends collection.
//  - Writing: the mean of the whole triples collected (the message list says how many samples
//    over how many seconds). Not one triple: nothing is sent, a message says no angular
//    velocity arrived, and the dialog stays open. An estimate whose spread shows that the unit
//    moved (GyroBiasEstimate::still) is written only after the user confirmed it. The command
//    goes through the command sender; its outcome is said in the message list after the
//    dialog closed: success, then "Gyro Bias estimation finished."; a failure (or no port)
//    after that, with the samples kept, so that the next dialog offers to write them again.
class GyroBiasSession : public QObject
{
    Q_OBJECT
public:
    GyroBiasSession(GyroBiasCollector &collector, CalibrationHost host,
                    std::function<double()> outputRateHz, QObject *parent = nullptr);
    ~GyroBiasSession() override;

    void openDialog();
    void startEstimate(int seconds);
    void write();

    GyoBiasDialog *dialog() const { return m_dialog; }
    // A written estimate failed to reach the unit; its samples wait for another write.
    bool hasKeptEstimate() const { return m_kept; }

signals:
    void dialogCreated(GyoBiasDialog *dialog);

private:
    void dialogClosed(int result);
    void writeEnded(bool ok, const QString &failure);
    void reportIfDone();
    void say(const QString &text) const;

    GyroBiasCollector &m_collector;
    CalibrationHost m_host;
    std::function<double()> m_rate;
    QPointer<GyoBiasDialog> m_dialog;
    bool m_kept = false;
    // Between a write and its report: the dialog's closing and the write's outcome, in
    // either order.
    bool m_awaitingWrite = false;
    bool m_accepted = false;
    bool m_haveOutcome = false;
    bool m_written = false;
    QString m_failure;
};
