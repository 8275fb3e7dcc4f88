#include "config/QModelSwitchDialog.h"

#include "common/Language.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using ProductRules::Mode;

QModelSwitchDialog::QModelSwitchDialog(SettingSender *settings, const QString &suffix,
                                       QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("QModelSwitchDialog"));
    setWindowTitle(Language::text("功能配置", "Function Settings"));
    const QString set = Language::text("设置", "set");

    auto *modeRow = new QHBoxLayout;
    auto *modeGroup = new QButtonGroup(this);
    for (int i = 0; i < ProductRules::ModeCount; ++i) {
        auto *b = new QRadioButton(QString::fromLatin1(ProductRules::modeText(Mode(i))), this);
        modeGroup->addButton(b);
        modeRow->addWidget(b);
        m_modes[std::size_t(i)] = b;
    }
    modeRow->addStretch(1);
    m_modeApply = new QPushButton(set, this);
    modeRow->addWidget(m_modeApply);

    m_options = new QGroupBox(Language::text("模式选项", "Output Options"), this);
    auto *grid = new QGridLayout(m_options);
    auto *protocolGroup = new QButtonGroup(this);
    m_userDefined = new QRadioButton(QStringLiteral("User Defined"), m_options);
    m_nmea = new QRadioButton(QStringLiteral("NMEA 0183"), m_options);
    protocolGroup->addButton(m_userDefined);
    protocolGroup->addButton(m_nmea);
    m_protocolApply = new QPushButton(set, m_options);
    auto *rangeGroup = new QButtonGroup(this);
    m_high = new QRadioButton(Language::text("高频", "High Frequency"), m_options);
    m_low = new QRadioButton(Language::text("低频", "Low Frequency"), m_options);
    rangeGroup->addButton(m_high);
    rangeGroup->addButton(m_low);
    m_rangeApply = new QPushButton(set, m_options);
    grid->addWidget(m_userDefined, 0, 0);
    grid->addWidget(m_nmea, 0, 1);
    grid->addWidget(m_protocolApply, 0, 3);
    grid->addWidget(m_high, 1, 0);
    grid->addWidget(m_low, 1, 1);
    grid->addWidget(m_rangeApply, 1, 3);
    grid->setColumnStretch(2, 1);

    auto *portNote = new QLabel(this);
    portNote->setObjectName(QStringLiteral("portNote"));
    portNote->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(modeRow);
    layout->addWidget(m_options);
    layout->addWidget(portNote);

    // What this unit offers. "AHRS" is the choice at opening, or the first mode the unit
    // has when it lacks AHRS (a greyed choice would be sent as it stands).
    const ProductRules::ModeSwitch offer = ProductRules::modeSwitch(suffix);
    for (int i = 0; i < ProductRules::ModeCount; ++i)
        m_modes[std::size_t(i)]->setEnabled(offer.modes[std::size_t(i)]);
    m_modeApply->setEnabled(offer.modeApply);
    for (int i = 0; i < ProductRules::ModeCount; ++i) {
        if (offer.modes[std::size_t(i)]) {
            m_modes[std::size_t(i)]->setChecked(true);
            break;
        }
    }
    for (QWidget *w : std::initializer_list<QWidget *>{m_userDefined, m_nmea, m_protocolApply,
                                                       m_high, m_low, m_rangeApply})
        w->setEnabled(offer.outputOptions);
    if (offer.presetHighAndUserDefined) {
        m_high->setChecked(true);
        m_userDefined->setChecked(true);
    }
    // Without an open port nothing can be set: said, and the set buttons greyed.
    const bool open = m_settings->canSend();
    if (!open) {
        for (QPushButton *b : {m_modeApply, m_protocolApply, m_rangeApply})
            b->setEnabled(false);
        portNote->setText(Language::text("串口未打开：请先打开串口，才能修改设备的设置。",
                                         "The port is not open: open it first to change the "
                                         "unit's settings."));
    }
    portNote->setVisible(!open);

    connect(m_modeApply, &QPushButton::clicked, this, &QModelSwitchDialog::slotModelSwitch);
    connect(m_protocolApply, &QPushButton::clicked, this, &QModelSwitchDialog::slotAgreementSwitch);
    connect(m_rangeApply, &QPushButton::clicked, this, &QModelSwitchDialog::slotFrequencySwitch);
}

int QModelSwitchDialog::modeValue() const
{
    for (Mode m : {Mode::Vru, Mode::Ahrs, Mode::Imu, Mode::GeneralPos})
        if (modeButton(m)->isChecked())
            return ProductRules::modeCode(m);
    return ProductRules::modeCode(Mode::Automotive);
}

int QModelSwitchDialog::protocolValue() const
{
    return m_userDefined->isChecked() ? 1 : 2;
}

int QModelSwitchDialog::rangeValue() const
{
    return m_high->isChecked() ? 1 : 2;
}

void QModelSwitchDialog::slotModelSwitch()
{
    m_settings->send(Setting::AlgorithmMode, CommandFrame::setAlgorithmMode(modeValue()), this,
                     [this](const SerialWriteResult &r) { emit ModelSignal(r.ok()); });
}

void QModelSwitchDialog::slotAgreementSwitch()
{
    m_settings->send(Setting::OutputProtocol, CommandFrame::setOutputProtocol(protocolValue()),
                     this, [this](const SerialWriteResult &r) { emit AgreementSignal(r.ok()); });
}

void QModelSwitchDialog::slotFrequencySwitch()
{
    m_settings->send(Setting::RateRange, CommandFrame::setRateRange(rangeValue()), this,
                     [this](const SerialWriteResult &r) { emit FrequencySignal(r.ok()); });
}
