#include "config/Serial_Write_Widget.h"

#include "common/Language.h"
#include "config/ConfigLog.h"
#include "config/RawHex.h"
#include "config/Serial_Write_Thread.h"
#include "serial/CommandSender.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

Serial_Write_Widget::Serial_Write_Widget(CommandSender *sender, QWidget *parent)
    : QWidget(parent, Qt::Window), m_sender(sender)
{
    setObjectName(QStringLiteral("Serial_Write_Widget"));
    setWindowTitle(Language::text("指令写入", "Command Write"));
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    m_thread = new Serial_Write_Thread(sender, this);

    m_input = new QTextEdit(this);
    m_input->setAcceptRichText(false);
    m_input->setTabChangesFocus(true);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_input->setFont(mono);
    // The form's texts: the same in both languages.
    m_send = new QPushButton(QStringLiteral("发送"), this);
    m_clear = new QPushButton(QStringLiteral("清除"), this);
    auto *hint = new QLabel(QStringLiteral("提示：输入为不带0x前缀的16进制字符"), this);
    auto *example =
        new QLabel(QStringLiteral("示例：51 56 03 0A 00 08 15 32（修改输出频率为100Hz）"), this);
    example->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_clear);
    buttons->addWidget(m_send);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_input, 1);
    layout->addWidget(hint);
    layout->addWidget(example);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(520, 300);
    m_input->setFocus();

    connect(m_send, &QPushButton::clicked, this, &Serial_Write_Widget::serial_write_send);
    connect(m_clear, &QPushButton::clicked, this, &Serial_Write_Widget::serial_write_area_clear);
    connect(m_thread, &Serial_Write_Thread::sendFinished, this, &Serial_Write_Widget::showResult,
            Qt::QueuedConnection);
}

Serial_Write_Widget::~Serial_Write_Widget()
{
    delete m_thread; // joins the thread before the window goes
    m_thread = nullptr;
}

QString Serial_Write_Widget::statusText() const
{
    return m_status->text();
}

void Serial_Write_Widget::serial_write_send()
{
    const RawHex::Result parsed = RawHex::parse(m_input->toPlainText());
    if (parsed.status == RawHex::Result::Status::BadToken) {
        qCDebug(lcConfig) << "不合法";
        const QString why = Language::text("第 %1 项不是一到两位的16进制数：“%2”",
                                           "Entry %1 is not one or two hexadecimal digits: \"%2\"")
                                .arg(parsed.badTokenIndex + 1)
                                .arg(RawHex::visible(parsed.badToken));
        m_status->setText(Language::text("未发送：", "Not sent: ") + why);
        refuse(Language::text("输入不合法请检查是否有多余的字符",
                              "Please check whether there are redundant characters"),
               why);
        return;
    }
    if (parsed.status == RawHex::Result::Status::Empty) {
        m_status->setText(Language::text("未发送：没有输入内容。", "Not sent: nothing was typed."));
        refuse(Language::text("没有要发送的内容", "Nothing to send"),
               Language::text("请输入要发送的字节，例如 51 56 03 0A 00 08 15 32",
                              "Type the bytes to send, for example 51 56 03 0A 00 08 15 32"));
        return;
    }
    if (!m_sender->canSend()) {
        m_status->setText(
            Language::text("未发送：串口未打开。", "Not sent: the port is not open."));
        return;
    }
    m_bytes = parsed.bytes;
    if (!m_thread->sendBytes(m_bytes)) {
        m_status->setText(Language::text("未发送：上一条指令仍在发送中，请稍后再试。",
                                         "Not sent: the previous command is still being sent; "
                                         "try again in a moment."));
        return;
    }
    m_status->setText(Language::text("正在发送 %1 字节…", "Sending %1 bytes…").arg(m_bytes.size()));
}

void Serial_Write_Widget::showResult(const QByteArray &bytes, const SerialWriteResult &result)
{
    const QString hex = QString::fromLatin1(bytes.toHex(' ').toUpper());
    const QString shown = hex.size() > 120 ? hex.left(120) + QChar(0x2026) : hex;
    if (result.ok())
        m_status->setText(
            Language::text("已发送 %1 字节：%2", "Sent %1 bytes: %2").arg(bytes.size()).arg(shown));
    else
        m_status->setText(Language::text("发送失败：%1", "Not sent: %1").arg(result.text()));
}

void Serial_Write_Widget::refuse(const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::Information, Language::text("提示框", "Information"), text,
                    QMessageBox::Ok, this);
    box.setInformativeText(detail);
    box.exec();
}

void Serial_Write_Widget::serial_write_area_clear()
{
    m_input->clear();
}

void Serial_Write_Widget::closeEvent(QCloseEvent *event)
{
    m_open = false;
    emit closeWidget(false);
    QWidget::closeEvent(event);
}
