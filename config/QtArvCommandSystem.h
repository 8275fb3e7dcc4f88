#pragma once

#include "config/ContentBoxes.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class QCheckBox;
class QPushButton;
class SettingSender;

// "Data Settings": which data kinds the unit puts into its output frames, one box per bit of
// the content mask (ContentBoxes), ticked as the unit sends them when the dialog opens, the
// boxes a unit of this suffix lacks disabled (ProductRules).
//
// Ok asks whether to go on (the port must be restarted afterwards), then sends the contents
// command; once it is written the dialog waits 100 ms for the unit's answer (the event loop
// runs meanwhile) and closes with result 1 and sent() set. A write that fails closes it with
// result 0 and writeFailed() set; without an open port nothing is sent and it closes with 0.
// Cancel closes it with 0. Made for one opening by the main window, which then restarts the
// port when sent() is set.
class QtArvCommandSystem : public QDialog
{
    Q_OBJECT
public:
    static constexpr int AnswerPauseMs = 100;

    QtArvCommandSystem(SettingSender *settings, const QString &suffix,
                       const std::array<bool, ContentBoxes::Count> &ticked,
                       QWidget *parent = nullptr);

    QCheckBox *box(int index) const { return m_boxes[std::size_t(index)]; }
    // The mask of the ticked boxes when Ok was confirmed.
    std::uint16_t mask() const { return m_mask; }
    bool sent() const { return m_sent; }
    bool writeFailed() const { return m_writeFailed; }

public slots:
    // The mask from the ticked boxes (and their states in the mirror).
    void slotChecking();
    void slotOk();
    void slotCancel();
    // Escape and the window's close button: ignored while the command is being written, so
    // that its result is not lost.
    void reject() override;

private:
    SettingSender *m_settings;
    std::array<QCheckBox *, ContentBoxes::Count> m_boxes{};
    std::array<bool, ContentBoxes::Count> m_ticked{};
    std::uint16_t m_mask = 0;
    bool m_sent = false;
    bool m_writeFailed = false;
    bool m_sending = false;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
