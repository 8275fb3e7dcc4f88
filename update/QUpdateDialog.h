#pragma once

#include "update/UpdateOutcome.h"
#include "update/UpdateProgress.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class CommandSender;
class UpdateTransfer;

// The firmware update dialog: the user imports an image file, starts the transfer and
// watches it; the transfer itself is an UpdateTransfer that this dialog feeds and shows.
//
// Nothing here blocks or nests an event loop: frames are written through the serial link
// with the transfer's time-outs, each write's result and each answer of the unit arrive as
// events, and every box (the result, the question whether to stop) is opened without
// waiting for it.
//
// Frames are written with the command sender, the one way a dialog writes to the unit.
//
// The owner (the main window) connects:
//   its update answers            -> slotUpdateAnswer(op, status)
//   updateModeChanged(on)         -> the parser's update mode, emptying the port's buffers and
//                                    the parser's (on just before the first frame, off on
//                                    every ending, whatever ends the transfer)
//   the port going away or closed -> portLost() (before the link closes the port)
//   closing the program           -> stopTransfer() after its own confirmation
// and releases the dialog once it has finished (QDialog::finished): the dialog never
// closes while a transfer runs. Cancel, Escape and the close button during a transfer ask
// whether to stop it (the unit then needs a new update); Yes stops it as failed and closes
// the dialog, No keeps both. Destroying the dialog during a transfer stops it as
// cancelled, without a box; the signals are still emitted.
//
// GUI thread only. The sender is not owned and may go first (then a frame fails to write).
class QUpdateDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QUpdateDialog(CommandSender *sender, QWidget *parent = nullptr);
    ~QUpdateDialog() override;

    bool isTransferring() const;
    UpdateTransfer *transfer() const { return m_transfer; }
    QString filePath() const { return m_filePath; }
    // The image loaded and accepted; empty when none is.
    QByteArray image() const { return m_image; }
    // The question whether to stop a running transfer, while it is open.
    QMessageBox *stopQuestion() const;

    // Reads the image at path as Import does (message items for the result). True when it
    // can be sent.
    bool loadFile(const QString &path);

public slots:
    // Import: the file chooser, then loadFile().
    void slotOpenFile();
    // Ok: closes the dialog with result 1; during a transfer it asks as Cancel does.
    void slotOk();
    // Cancel: closes the dialog with result 0; during a transfer it asks whether to stop.
    void slotCancel();
    // "Update Start": starts the transfer of the loaded image. Nothing while one runs.
    void slotUpdateCommad();
    // An update answer of the unit (class 0xFF): operation code and status byte.
    void slotUpdateAnswer(int op, int status);
    // The port went away or is being closed: a running transfer fails at once.
    void portLost();
    // Stops a running transfer as cancelled without asking and without a box (the program
    // is closing and the user has confirmed that).
    void stopTransfer();
    void reject() override;

signals:
    void updateModeChanged(bool on);
    // Once per started transfer, after the update mode was switched off.
    void transferFinished(const UpdateOutcome &outcome);

protected:
    // The file the user picks, starting in startDir; empty when none. The standard file
    // chooser ("Files (*.bin)"); tests put their choice here.
    virtual QString chooseFile(const QString &startDir);

private:
    void addMessage(const QString &text);
    void askToStop();
    void showProgress(const UpdateProgress &progress);
    void setTransferring(bool on);
    void writeFrame(const QByteArray &frame, quint64 ticket);
    void transferEnded(const UpdateOutcome &outcome);
    void showOutcome(const UpdateOutcome &outcome);

    QPointer<CommandSender> m_sender;
    UpdateTransfer *m_transfer = nullptr;
    QString m_filePath;
    QByteArray m_image;
    bool m_closeWhenEnded = false; // the user chose to stop: close once it has ended
    bool m_quietEnd = false;       // no box for this ending
    QPointer<QMessageBox> m_stopQuestion;

    QLabel *m_titleLabel = nullptr;
    QLineEdit *m_pathEdit = nullptr;
    QPushButton *m_importButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QTreeWidget *m_messageTree = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QPushButton *m_startButton = nullptr;
};
