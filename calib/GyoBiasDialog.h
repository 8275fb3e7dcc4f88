#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

// The gyro bias estimation dialog: the duration (1 to 10 s, 6 by default), "Estimate", a
// progress bar over the duration, "Write" and "Cancel", in the interface language of the
// moment it is built.
//
// "Estimate" enables "Write", emits signalEstimate(seconds) (the main window starts
// collecting) and runs the progress bar from 0 to seconds x 1000 (ms). "Write" is ignored
// until the duration has passed since the last "Estimate"; then it emits signalWriteGyro() and
// closes the dialog accepted, unless the main window called keepOpen() meanwhile (it asked the
// user, who declined, or it refused to write). "Cancel" and the window's close button reject
// it. GUI thread only.
class GyoBiasDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ProgressTickMs = 100;

    explicit GyoBiasDialog(QWidget *parent = nullptr);
    ~GyoBiasDialog() override;

    // An estimate is already at hand (a write of it failed): "Write" is enabled and accepted
    // at once, the progress bar full. "Estimate" starts a new one.
    void offerKeptEstimate();
    // Called from a slot of signalWriteGyro(): the dialog stays open.
    void keepOpen() { m_keepOpen = true; }

    int seconds() const { return m_seconds; }
    QSpinBox *secondsBox() const { return m_spin; }
    QPushButton *estimateButton() const { return m_estimate; }
    QPushButton *writeButton() const { return m_write; }
    QPushButton *cancelButton() const { return m_cancel; }
    QProgressBar *progressBar() const { return m_progress; }

signals:
    void signalEstimate(int second);
    void signalWriteGyro();

public slots:
    void slotEstimate();
    void slotCancel();
    void slotWriteToYes();
    void slotUpdate();

private:
    QLabel *m_leading = nullptr;
    QSpinBox *m_spin = nullptr;
    QLabel *m_unit = nullptr;
    QPushButton *m_estimate = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_write = nullptr;
    QPushButton *m_cancel = nullptr;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
    int m_seconds = 0;
    bool m_keepOpen = false;
};
