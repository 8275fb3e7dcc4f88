#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QPushButton;
class QTimer;

// The instruction dialog of the 3D magnetometer calibration: what to do, step by step, while
// the samples are collected. Collection runs from the moment the dialog opens; "Start" lights
// the first step in red and starts a 10 s step timer; each tick lights the next step; after
// the last step all steps are black again and the dialog's collecting flag is cleared (the
// timer keeps running). "Finish" clears the flags, stops the timer and accepts the dialog.
// The main window ends collection whenever the dialog closes, however it was closed.
// GUI thread only.
class calibTipDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int StepMs = 10000;
    // The step from which the collecting flag is cleared.
    static constexpr int LastStep = 4;

    explicit calibTipDialog(QWidget *parent = nullptr);
    ~calibTipDialog() override;

    bool isCollecting() const { return m_collecting; }
    bool isStarted() const { return m_started; }
    int step() const { return m_step; }
    // Step i (0-based) of the instructions, and the buttons (tests).
    QLabel *stepLabel(int i) const { return m_stepLabels.value(i); }
    int stepCount() const { return m_stepLabels.size(); }
    QPushButton *startButton() const { return m_start; }
    QPushButton *finishButton() const { return m_finish; }
    QTimer *stepTimer() const { return m_timer; }

public slots:
    void slotStart();
    void slotFinish();
    void updateTip();

protected:
    // The dialog of another calibration: its title and its step texts.
    calibTipDialog(const QString &title, const QStringList &steps, QWidget *parent);

private:
    void build(const QString &title, const QStringList &steps);
    // Step i in red, the others black (i outside the steps: all black).
    void highlight(int i);

    QLabel *m_heading = nullptr;
    QList<QLabel *> m_stepLabels;
    QPushButton *m_start = nullptr;
    QPushButton *m_finish = nullptr;
    QTimer *m_timer = nullptr;
    int m_step = 1;
    bool m_started = false;
    bool m_collecting = true;
};
