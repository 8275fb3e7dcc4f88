#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class SettingSender;

// "Output Settings": the unit's baud rate and output frequency. The main window makes it once
// and reuses it for every opening (exec()); it hands over the unit's model and suffix, which
// select the frequency codes, and the frequency list for the unit (ProductRules).
//
// Each Ok asks for confirmation and sends its command through the setting sender; nothing is
// sent without an open port (both Ok buttons are then disabled and the dialog says why).
// baudSignal comes with the baud command's write result (the unit does not answer it).
// freqSignal, algorithm_Signal and contents_Signal carry the unit's answers to the frequency,
// algorithm mode and contents commands: the main window's answer scan emits them on this
// dialog; freqSignal(false) also comes when the frequency command could not be written. A
// frequency command handed to the port sets frequencySent(): the port is to be restarted when
// the dialog closes; the owner clears the flag once that is done.
class QModelDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QModelDialog(SettingSender *settings, QWidget *parent = nullptr);

    void setProduct(const QString &model, const QString &suffix);
    // The frequency box's entries (Hz), in order (the unit's rate, or else the first, selected).
    void setFrequencyList(const QStringList &rates);
    QStringList frequencyList() const;
    // The unit's output rate as it reported it: its entry is selected (now and whenever the
    // list changes), so that Ok without a choice asks for no change.
    void setUnitFrequency(int hz);
    // Puts the texts of the current interface language on the dialog (it outlives switches).
    void applyTexts();

    bool frequencySent() const { return m_frequencySent; }
    void clearFrequencySent() { m_frequencySent = false; }

signals:
    void baudSignal(bool mark, int ibaud);
    void freqSignal(bool mark);
    void algorithm_Signal(bool mark);
    void contents_Signal(bool mark);

public slots:
    void slotApplyBaudrate();
    void slotApplyFrequency();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool confirm(const QString &text);
    void showPortState();

    SettingSender *m_settings;
    QString m_model;
    QString m_suffix;
    int m_unitHz = 0;
    bool m_frequencySent = false;
    QLabel *m_baudLabel = nullptr;
    QComboBox *m_baudCombo = nullptr;
    QPushButton *m_baudOk = nullptr;
    QLabel *m_frequencyLabel = nullptr;
    QComboBox *m_frequencyCombo = nullptr;
    QPushButton *m_frequencyOk = nullptr;
    QLabel *m_portNote = nullptr;
};
