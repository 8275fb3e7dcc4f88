#include "calib/GyoBiasDialog.h"

#include "common/Language.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

GyoBiasDialog::GyoBiasDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GyoBiasDialog"));
    setWindowTitle(Language::text("陀螺偏差估计", "Gyro Bias Estimation"));
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    QFont font = this->font();
    font.setPixelSize(12);

    m_leading = new QLabel(Language::text("陀螺偏差估计", "Gyro Bias Estimation "), this);
    m_leading->setFixedWidth(85);
    m_leading->setWordWrap(true);
    m_leading->setFont(font);
    m_spin = new QSpinBox(this);
    m_spin->setRange(1, 10);
    m_spin->setValue(6);
    m_spin->setFixedWidth(85);
    m_spin->setStyleSheet(QStringLiteral("background-color:rgb(240,255,255)"));
    m_unit = new QLabel(Language::text("秒", "Seconds"), this);
    m_unit->setFixedWidth(85);
    m_estimate = new QPushButton(Language::text("测量估计", "Estimate"), this);
    m_estimate->setFixedWidth(85);
    m_estimate->setFont(font);

    m_progress = new QProgressBar(this);
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        fusion->setParent(this); // a widget does not own the style it is given
        m_progress->setStyle(fusion);
    }
    m_progress->setRange(0, 6000);
    m_progress->setValue(0);
    m_progress->hide();
    m_write = new QPushButton(Language::text("写入", "Write"), this);
    m_write->setFixedWidth(85);
    m_write->setEnabled(false);
    m_write->setFont(font);
    m_cancel = new QPushButton(Language::text("取消", "Cancel"), this);
    m_cancel->setFixedWidth(85);
    m_cancel->setFont(font);
    for (QPushButton *b : {m_estimate, m_write, m_cancel})
        b->setAutoDefault(false);

    auto *first = new QHBoxLayout;
    first->setContentsMargins(5, 5, 5, 5);
    first->addWidget(m_leading);
    first->addWidget(m_spin);
    first->addWidget(m_unit);
    first->addWidget(m_estimate);
    auto *second = new QHBoxLayout;
    second->setContentsMargins(5, 5, 5, 5);
    second->addStretch();
    second->addWidget(m_progress);
    second->addWidget(m_write);
    second->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(first);
    layout->addLayout(second);

    connect(m_estimate, &QPushButton::clicked, this, &GyoBiasDialog::slotEstimate);
    connect(m_write, &QPushButton::clicked, this, &GyoBiasDialog::slotWriteToYes);
    connect(m_cancel, &QPushButton::clicked, this, &GyoBiasDialog::slotCancel);
}

GyoBiasDialog::~GyoBiasDialog() = default;

void GyoBiasDialog::slotEstimate()
{
    m_write->setEnabled(true);
    m_seconds = m_spin->text().toInt();
    m_progress->setRange(0, m_seconds * 1000);
    m_progress->setValue(0);
    emit signalEstimate(m_seconds);
    m_clock.start();
    m_progress->show();
    delete m_timer;
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &GyoBiasDialog::slotUpdate);
    m_timer->start(ProgressTickMs);
}

void GyoBiasDialog::offerKeptEstimate()
{
    m_seconds = 0;
    m_clock.start();
    m_write->setEnabled(true);
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    m_progress->show();
}

void GyoBiasDialog::slotUpdate()
{
    m_progress->setValue(int(std::min<qint64>(m_clock.elapsed(), m_seconds * 1000LL)));
}

void GyoBiasDialog::slotWriteToYes()
{
    if (!m_clock.isValid() || m_clock.elapsed() < m_seconds * 1000LL)
        return; // too early: ignored
    m_keepOpen = false;
    emit signalWriteGyro();
    if (m_keepOpen)
        return;
    delete m_timer;
    m_timer = nullptr;
    accept();
}

void GyoBiasDialog::slotCancel()
{
    reject();
}
