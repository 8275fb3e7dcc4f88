#include "config/QtArvCommandSystem.h"

#include "common/Language.h"
#include "config/ConfigLog.h"
#include "config/ProductRules.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QtArvCommandSystem::QtArvCommandSystem(SettingSender *settings, const QString &suffix,
                                       const std::array<bool, ContentBoxes::Count> &ticked,
                                       QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("QtArvCommandSystem"));
    setWindowTitle(Language::text("数据配置", "Data Settings"));
    const std::uint16_t disabled = ProductRules::disabledContentBits(suffix);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    for (int i = 0; i < ContentBoxes::Count; ++i) {
        const ContentBox &b = ContentBoxes::boxes()[std::size_t(i)];
        auto *box = new QCheckBox(Language::text(b.chinese, b.english), this);
        box->setChecked(ticked[std::size_t(i)]);
        box->setEnabled(!(disabled & b.bit));
        grid->addWidget(box, b.row, b.column);
        m_boxes[std::size_t(i)] = box;
    }
    m_cancel = new QPushButton(Language::text("取消", "Cancel"), this);
    m_ok = new QPushButton(Language::text("确定", "Ok"), this);
    m_ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(m_cancel, &QPushButton::clicked, this, &QtArvCommandSystem::slotCancel);
    connect(m_ok, &QPushButton::clicked, this, &QtArvCommandSystem::slotOk);
}

void QtArvCommandSystem::slotChecking()
{
    for (int i = 0; i < ContentBoxes::Count; ++i)
        m_ticked[std::size_t(i)] = m_boxes[std::size_t(i)]->isChecked();
    m_mask = ContentBoxes::maskOf(m_ticked);
}

void QtArvCommandSystem::slotOk()
{
    QMessageBox box(QMessageBox::Information, Language::text("提示框", "Information"),
                    Language::text("数据内容重新设置后需要重启串口.",
                                   "The serial port needs to be restarted after the data "
                                   "content is reset."),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setInformativeText(
        Language::text("是否选择重启窗口？", "Do you want to restart the serial port？"));
    box.setDefaultButton(QMessageBox::Ok);
    if (box.exec() != QMessageBox::Ok)
        return; // nothing sent, the dialog stays
    slotChecking();
    m_ok->setEnabled(false);
    m_cancel->setEnabled(false);
    m_sending = m_settings->send(Setting::Contents, CommandFrame::setContents(m_mask), this,
                                 [this](const SerialWriteResult &r) {
                                     m_sending = false;
                                     if (!r.ok()) {
                                         m_writeFailed = true;
                                         done(0);
                                         return;
                                     }
                                     m_sent = true;
                                     // A moment for the unit's answer before the port is restarted.
                                     QTimer::singleShot(AnswerPauseMs, this, [this] { done(1); });
                                 });
    qCDebug(lcConfig) << "contents" << Qt::hex << m_mask << (m_sending ? "sent" : "not sent");
    if (!m_sending)
        done(0);
}

void QtArvCommandSystem::slotCancel()
{
    done(0);
}

void QtArvCommandSystem::reject()
{
    if (!m_sending && !m_sent)
        QDialog::reject();
}
