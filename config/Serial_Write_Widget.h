#pragma once

#include <QByteArray>
#include <QWidget>

class CommandSender;
class QLabel;
class QPushButton;
class QTextEdit;
class Serial_Write_Thread;
struct SerialWriteResult;

// "Command Write": the user types any frame as hexadecimal text (RawHex: one or two digits a
// byte, separated by blanks) and sends it to the unit unchanged, header and checksum included.
// Input that is not exactly that is refused with a message box naming the first bad entry,
// and nothing is sent. The bytes go out through Serial_Write_Thread and the command sender;
// the line under the input says what became of each send (sent, not sent and why, or refused
// because the previous send still runs). The unit's answer, if any, reaches the main window's
// message list like any other answer.
//
// A window of its own (not inside the main window's area), kept open across port closes.
// Closing it emits closeWidget(false).
class Serial_Write_Widget : public QWidget
{
    Q_OBJECT
public:
    explicit Serial_Write_Widget(CommandSender *sender, QWidget *parent = nullptr);
    ~Serial_Write_Widget() override;

    QTextEdit *input() const { return m_input; }
    QPushButton *sendButton() const { return m_send; }
    QPushButton *clearButton() const { return m_clear; }
    QString statusText() const;
    Serial_Write_Thread *writeThread() const { return m_thread; }
    bool isOpen() const { return m_open; }

signals:
    void closeWidget(bool isOpen);

public slots:
    void serial_write_send();
    void serial_write_area_clear();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showResult(const QByteArray &bytes, const SerialWriteResult &result);
    void refuse(const QString &text, const QString &detail);

    CommandSender *m_sender;
    Serial_Write_Thread *m_thread = nullptr;
    QByteArray m_bytes;
    bool m_open = true;
    QTextEdit *m_input = nullptr;
    QPushButton *m_send = nullptr;
    QPushButton *m_clear = nullptr;
    QLabel *m_status = nullptr;
};
