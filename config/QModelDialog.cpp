#include "config/QModelDialog.h"

#include "common/Language.h"
#include "config/ConfigLog.h"
#include "config/ProductRules.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

QModelDialog::QModelDialog(SettingSender *settings, QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("QModelDialog"));
    m_baudLabel = new QLabel(this);
    m_baudCombo = new QComboBox(this);
    m_baudCombo->setObjectName(QStringLiteral("baudCombo"));
    m_baudCombo->addItems({"921600", "460800", "115200", "38400", "9600"});
    m_baudOk = new QPushButton(this);
    m_baudOk->setObjectName(QStringLiteral("baudOk"));
    m_frequencyLabel = new QLabel(this);
    m_frequencyCombo = new QComboBox(this);
    m_frequencyCombo->setObjectName(QStringLiteral("frequencyCombo"));
    m_frequencyCombo->addItems(ProductRules::baseFrequencies());
    m_frequencyOk = new QPushButton(this);
    m_frequencyOk->setObjectName(QStringLiteral("frequencyOk"));
    m_portNote = new QLabel(this);
    m_portNote->setObjectName(QStringLiteral("portNote"));
    m_portNote->setWordWrap(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_baudLabel, 0, 0);
    grid->addWidget(m_baudCombo, 0, 1);
    grid->addWidget(m_baudOk, 0, 2);
    grid->addWidget(m_frequencyLabel, 1, 0);
    grid->addWidget(m_frequencyCombo, 1, 1);
    grid->addWidget(m_frequencyOk, 1, 2);
    grid->addWidget(m_portNote, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, 120);

    connect(m_baudOk, &QPushButton::clicked, this, &QModelDialog::slotApplyBaudrate);
    connect(m_frequencyOk, &QPushButton::clicked, this, &QModelDialog::slotApplyFrequency);
    applyTexts();
}

void QModelDialog::setProduct(const QString &model, const QString &suffix)
{
    m_model = model;
    m_suffix = suffix;
}

void QModelDialog::setFrequencyList(const QStringList &rates)
{
    m_frequencyCombo->clear();
    m_frequencyCombo->addItems(rates);
    setUnitFrequency(m_unitHz);
}

void QModelDialog::setUnitFrequency(int hz)
{
    m_unitHz = hz;
    const int index = m_frequencyCombo->findText(QString::number(hz));
    if (index >= 0)
        m_frequencyCombo->setCurrentIndex(index);
}

QStringList QModelDialog::frequencyList() const
{
    QStringList list;
    for (int i = 0; i < m_frequencyCombo->count(); ++i)
        list << m_frequencyCombo->itemText(i);
    return list;
}

void QModelDialog::applyTexts()
{
    setWindowTitle(Language::text("输出配置", "Output Settings"));
    m_baudLabel->setText(Language::text("波特率: ", "Baudrate: "));
    m_frequencyLabel->setText(Language::text("输出频率: ", "Output Frequency: "));
    m_baudOk->setText(Language::text("确定", "Ok"));
    m_frequencyOk->setText(Language::text("确定", "Ok"));
    showPortState();
}

void QModelDialog::showEvent(QShowEvent *event)
{
    showPortState();
    QDialog::showEvent(event);
}

void QModelDialog::showPortState()
{
    const bool open = m_settings->canSend();
    m_baudOk->setEnabled(open);
    m_frequencyOk->setEnabled(open);
    m_portNote->setText(open ? QString()
                             : Language::text("串口未打开：请先打开串口，才能修改设备的设置。",
                                              "The port is not open: open it first to change the "
                                              "unit's settings."));
    m_portNote->setVisible(!open);
}

bool QModelDialog::confirm(const QString &text)
{
    const auto answer = QMessageBox::question(this, Language::text("提示框", "Information"), text,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    qCDebug(lcConfig) << (answer == QMessageBox::Yes ? "Yes" : "NO");
    return answer == QMessageBox::Yes;
}

void QModelDialog::slotApplyBaudrate()
{
    if (!m_settings->canSend())
        return;
    if (!confirm(Language::text("请确认波特率及输出内容是否匹配",
                                "Please confirm whether baud rate and output content match")))
        return;
    const int rate = m_baudCombo->currentText().toInt();
    m_settings->send(Setting::Baudrate, CommandFrame::setBaudRate(rate), this,
                     [this, rate](const SerialWriteResult &r) { emit baudSignal(r.ok(), rate); });
}

void QModelDialog::slotApplyFrequency()
{
    if (!m_settings->canSend())
        return;
    if (!confirm(Language::text("请确认当前输出频率及输出内容是否匹配",
                                "Please confirm whether frequency and output content match")))
        return;
    const int hz = m_frequencyCombo->currentText().toInt();
    // The unit's answer tells whether it took the rate (freqSignal from the answer scan); a
    // command that went to the port is followed by a restart of the port when the dialog
    // closes, as the unit's new rate needs.
    m_frequencySent = m_settings->send(Setting::Frequency,
                                       CommandFrame::setFrequency(hz, m_model, m_suffix), this,
                                       [this](const SerialWriteResult &r) {
                                           if (!r.ok())
                                               emit freqSignal(false);
                                       }) ||
                      m_frequencySent;
}
