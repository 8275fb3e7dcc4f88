#include "calib/calibTipDialog.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

void paint(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::All, QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

calibTipDialog::calibTipDialog(QWidget *parent)
    : calibTipDialog(QStringLiteral("ARV Magnetometer Calibration"),
                     {QStringLiteral("Step 1: Rotation about X axis \n"),
                      QStringLiteral("Step 2: Rotation about Y axis \n"),
                      QStringLiteral("Step 3: Rotation about Z axis \n")},
                     parent)
{
}

calibTipDialog::calibTipDialog(const QString &title, const QStringList &steps, QWidget *parent)
    : QDialog(parent)
{
    build(title, steps);
}

calibTipDialog::~calibTipDialog() = default;

void calibTipDialog::build(const QString &title, const QStringList &steps)
{
    setWindowTitle(title);
    setFixedSize(300, 200);
    setFont(QFont(QStringLiteral("Times"), 10, QFont::Normal));

    auto *layout = new QVBoxLayout(this);
    m_heading = new QLabel(QStringLiteral("Please do as follows:\n"), this);
    layout->addWidget(m_heading);
    for (const QString &text : steps) {
        auto *label = new QLabel(text, this);
        paint(label, Qt::black);
        layout->addWidget(label);
        m_stepLabels << label;
    }
    auto *buttons = new QHBoxLayout;
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_finish = new QPushButton(QStringLiteral("Finish"), this);
    // Return must not finish the calibration by accident.
    m_start->setAutoDefault(false);
    m_finish->setAutoDefault(false);
    buttons->addWidget(m_start);
    buttons->addWidget(m_finish);
    layout->addLayout(buttons);
    layout->setAlignment(Qt::AlignCenter);

    connect(m_start, &QPushButton::clicked, this, &calibTipDialog::slotStart);
    connect(m_finish, &QPushButton::clicked, this, &calibTipDialog::slotFinish);
}

void calibTipDialog::highlight(int i)
{
    for (int k = 0; k < m_stepLabels.size(); ++k)
        paint(m_stepLabels[k], k == i ? QColor(Qt::red) : QColor(Qt::black));
}

void calibTipDialog::slotStart()
{
    if (m_started)
        return;
    m_started = true;
    highlight(0);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &calibTipDialog::updateTip);
    m_timer->start(StepMs);
}

void calibTipDialog::updateTip()
{
    ++m_step;
    highlight(m_step - 1); // past the last step: all black
    if (m_step >= LastStep)
        m_collecting = false;
}

void calibTipDialog::slotFinish()
{
    m_started = false;
    m_collecting = false;
    delete m_timer;
    m_timer = nullptr;
    accept();
}
