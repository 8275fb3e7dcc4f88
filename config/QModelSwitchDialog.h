#pragma once

#include "config/ProductRules.h"

#include <QDialog>
#include <QString>

#include <array>

class QGroupBox;
class QPushButton;
class QRadioButton;
class SettingSender;

// "Function Settings": the unit's algorithm mode, output protocol and output rate range, each
// sent at once by its set button as a class 0x4D command. Which choices a unit offers follows
// its version suffix (ProductRules::modeSwitch). The dialog stays open after a send; its
// signals carry the write's result (true: every byte left). The unit answers the mode command
// (through the main window's answer scan); protocol and range are not answered. Without an
// open port nothing is sent. Made for one opening and released after it.
class QModelSwitchDialog : public QDialog
{
    Q_OBJECT
public:
    QModelSwitchDialog(SettingSender *settings, const QString &suffix, QWidget *parent = nullptr);

    QRadioButton *modeButton(ProductRules::Mode mode) const { return m_modes[std::size_t(mode)]; }
    QRadioButton *userDefinedButton() const { return m_userDefined; }
    QRadioButton *nmeaButton() const { return m_nmea; }
    QRadioButton *highButton() const { return m_high; }
    QRadioButton *lowButton() const { return m_low; }
    QPushButton *modeApplyButton() const { return m_modeApply; }
    QPushButton *protocolApplyButton() const { return m_protocolApply; }
    QPushButton *rangeApplyButton() const { return m_rangeApply; }

    // The values the set buttons send: the mode code of the first selected of VRU, AHRS, IMU,
    // General Pos (5, Automotive, when none of them is); protocol 1 when "User Defined" is
    // selected, else 2; range 1 when "High Frequency" is selected, else 2.
    int modeValue() const;
    int protocolValue() const;
    int rangeValue() const;

signals:
    void ModelSignal(bool mark);
    void AgreementSignal(bool mark);
    void FrequencySignal(bool mark);

public slots:
    void slotModelSwitch();
    void slotAgreementSwitch();
    void slotFrequencySwitch();

private:
    SettingSender *m_settings;
    std::array<QRadioButton *, ProductRules::ModeCount> m_modes{};
    QPushButton *m_modeApply = nullptr;
    QGroupBox *m_options = nullptr;
    QRadioButton *m_userDefined = nullptr;
    QRadioButton *m_nmea = nullptr;
    QPushButton *m_protocolApply = nullptr;
    QRadioButton *m_high = nullptr;
    QRadioButton *m_low = nullptr;
    QPushButton *m_rangeApply = nullptr;
};
