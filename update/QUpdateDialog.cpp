#include "update/QUpdateDialog.h"

#include "common/Language.h"
#include "protocol/UpdateFrames.h"
#include "serial/CommandSender.h"
#include "serial/SerialWriteResult.h"
#include "update/UpdateImage.h"
#include "update/UpdateTransfer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int ButtonWidth = 100;
constexpr int PathWidth = 400;

QPushButton *button(const char *zh, const char *en, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(Language::text(zh, en), parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedWidth(ButtonWidth);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QUpdateDialog::QUpdateDialog(CommandSender *sender, QWidget *parent)
    : QDialog(parent), m_sender(sender), m_transfer(new UpdateTransfer(nullptr, this))
{
    setObjectName(QStringLiteral("QUpdateDialog"));
    setWindowTitle(Language::text("固件在线升级", "Firmware Update"));
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));

    m_titleLabel = new QLabel(Language::text("固件在线升级", "Firmware Update"), this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setObjectName(QStringLiteral("pathEdit"));
    m_pathEdit->setMinimumWidth(PathWidth);
    m_pathEdit->setReadOnly(true);
    m_importButton = button("导入", "Import", "importButton", this);
    m_okButton = button("确定", "Ok", "okButton", this);
    m_cancelButton = button("取消", "Cancel", "cancelButton", this);
    m_startButton = button("开始升级", "Update Start", "startButton", this);

    m_messageTree = new QTreeWidget(this);
    m_messageTree->setObjectName(QStringLiteral("messageTree"));
    m_messageTree->setColumnCount(1);
    m_messageTree->setHeaderHidden(true);
    m_messageTree->setRootIsDecorated(false);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        fusion->setParent(m_progressBar);
        m_progressBar->setStyle(fusion);
    }
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progressBar->setFormat(QStringLiteral("%p%"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_titleLabel);
    fileRow->addWidget(m_pathEdit, 1);
    fileRow->addWidget(m_importButton);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressBar, 1);
    progressRow->addWidget(m_startButton);
    auto *closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(m_cancelButton);
    closeRow->addWidget(m_okButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(m_messageTree, 1);
    layout->addLayout(progressRow);
    layout->addLayout(closeRow);
    resize(720, 420);

    connect(m_importButton, &QPushButton::clicked, this, &QUpdateDialog::slotOpenFile);
    connect(m_okButton, &QPushButton::clicked, this, &QUpdateDialog::slotOk);
    connect(m_cancelButton, &QPushButton::clicked, this, &QUpdateDialog::slotCancel);
    connect(m_startButton, &QPushButton::clicked, this, &QUpdateDialog::slotUpdateCommad);

    connect(m_transfer, &UpdateTransfer::frameReady, this, &QUpdateDialog::writeFrame);
    connect(m_transfer, &UpdateTransfer::progressChanged, this, &QUpdateDialog::showProgress);
    connect(m_transfer, &UpdateTransfer::resending, this, &QUpdateDialog::addMessage);
    connect(m_transfer, &UpdateTransfer::finished, this, &QUpdateDialog::transferEnded);

    if (m_sender && m_sender->canSend())
        addMessage(Language::text("设备已经连接!", "Device is connected!"));
    else
        addMessage(Language::text("设备未连接，请先连接设备！",
                                  "Device is not connected! Please connect the device first!"));
}

QUpdateDialog::~QUpdateDialog()
{
    if (isTransferring()) {
        m_quietEnd = true;
        m_transfer->cancel();
    }
}

QMessageBox *QUpdateDialog::stopQuestion() const
{
    return m_stopQuestion.data();
}

bool QUpdateDialog::isTransferring() const
{
    return m_transfer->isRunning();
}

void QUpdateDialog::addMessage(const QString &text)
{
    auto *item = new QTreeWidgetItem(m_messageTree, QStringList{text});
    item->setToolTip(0, text);
    m_messageTree->scrollToItem(item);
}

// ------------------------------------------------------------------ the image

QString QUpdateDialog::chooseFile(const QString &startDir)
{
    return QFileDialog::getOpenFileName(this, QStringLiteral("Open File"), startDir,
                                        QStringLiteral("Files (*.bin)"));
}

void QUpdateDialog::slotOpenFile()
{
    if (isTransferring())
        return;
    const QString path = chooseFile(QCoreApplication::applicationDirPath());
    if (path.isEmpty())
        return;
    loadFile(path);
}

bool QUpdateDialog::loadFile(const QString &path)
{
    if (isTransferring())
        return false;
    m_filePath = path;
    m_pathEdit->setText(path);
    UpdateImage::Loaded loaded = UpdateImage::load(path);
    m_image = std::move(loaded.image);
    // The import is called a success only once the file was read and can be sent.
    if (loaded.verdict != UpdateImage::Verdict::Ok) {
        addMessage(loaded.message);
        return false;
    }
    addMessage(Language::text("固件升级文件导入成功", "The update file imports successful!"));
    UpdateProgress none;
    none.totalBytes = m_image.size();
    showProgress(none);
    m_progressBar->show();
    return true;
}

// ------------------------------------------------------------------ the transfer

void QUpdateDialog::slotUpdateCommad()
{
    if (m_image.isEmpty()) {
        addMessage(Language::text("无法加载更新文件", "The update file cannot be loaded!"));
        return;
    }
    if (!m_sender || !m_sender->canSend()) {
        addMessage(Language::text("设备未连接，请先连接设备！",
                                  "Device is not connected! Please connect the device first!"));
        return;
    }
    if (isTransferring())
        return;
    m_closeWhenEnded = false;
    m_quietEnd = false;
    // The parser listens for update answers only, and nothing of before stays in the way.
    emit updateModeChanged(true);
    const int packets = UpdateFrames::packetCount(m_image);
    addMessage(Language::text("开始升级：%1 字节，%2 个数据包",
                              "Update started: %1 bytes in %2 data frames")
                   .arg(m_image.size())
                   .arg(packets));
    setTransferring(true);
    m_progressBar->show();
    if (!m_transfer->start(m_image)) { // refused images never get here (loadFile)
        setTransferring(false);
        emit updateModeChanged(false);
    }
}

void QUpdateDialog::writeFrame(const QByteArray &frame, quint64 ticket)
{
    UpdateTransfer *transfer = m_transfer;
    const bool sent =
        m_sender && m_sender->send(
                        frame, transfer,
                        [transfer, ticket](const SerialWriteResult &result) {
                            if (result.ok())
                                transfer->frameWritten(ticket);
                            else if (result.status != SerialWriteResult::Status::TimedOut)
                                transfer->writeFailed(ticket);
                            // A write that timed out is sent again by the transfer's time-out.
                        },
                        m_transfer->timeoutMs());
    if (!sent) // no port any more
        m_transfer->writeFailed(ticket);
}

void QUpdateDialog::slotUpdateAnswer(int op, int status)
{
    m_transfer->answerReceived(op, status);
}

void QUpdateDialog::portLost()
{
    m_transfer->portLost();
}

void QUpdateDialog::stopTransfer()
{
    if (!isTransferring())
        return;
    m_quietEnd = true;
    m_transfer->cancel();
}

void QUpdateDialog::showProgress(const UpdateProgress &progress)
{
    m_progressBar->setValue(progress.percent);
    m_progressBar->setFormat(progress.text());
}

void QUpdateDialog::setTransferring(bool on)
{
    m_importButton->setEnabled(!on);
    m_startButton->setEnabled(!on);
    m_okButton->setEnabled(!on);
}

void QUpdateDialog::transferEnded(const UpdateOutcome &outcome)
{
    // Whatever ended it: the port's buffers and the parser's go, and frames are decoded again.
    emit updateModeChanged(false);
    setTransferring(false);
    showProgress(m_transfer->progress());
    addMessage(outcome.summary());
    // A question whether to stop is moot now.
    if (QMessageBox *question = m_stopQuestion) {
        m_stopQuestion = nullptr;
        question->disconnect(this);
        question->hide();
        question->deleteLater();
    }
    emit transferFinished(outcome);
    if (m_closeWhenEnded) {
        m_closeWhenEnded = false;
        done(QDialog::Rejected);
        return;
    }
    if (!m_quietEnd)
        showOutcome(outcome);
}

void QUpdateDialog::showOutcome(const UpdateOutcome &outcome)
{
    auto *box =
        new QMessageBox(outcome.box == UpdateOutcome::Box::Information ? QMessageBox::Information
                                                                       : QMessageBox::Warning,
                        outcome.title, outcome.summary(), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("outcomeBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (outcome.success()) {
        // As the unit has taken the image: once the box is read, the dialog's work is done.
        connect(box, &QMessageBox::finished, this, [this] {
            m_progressBar->hide();
            accept();
        });
    }
    box->open();
}

// ------------------------------------------------------------------ closing

void QUpdateDialog::slotOk()
{
    if (isTransferring()) {
        askToStop();
        return;
    }
    done(QDialog::Accepted);
}

void QUpdateDialog::slotCancel()
{
    reject();
}

void QUpdateDialog::reject()
{
    // Cancel, Escape and the close button: never leave a transfer running unseen.
    if (isTransferring()) {
        askToStop();
        return;
    }
    QDialog::reject();
}

void QUpdateDialog::askToStop()
{
    if (m_stopQuestion) {
        m_stopQuestion->raise();
        return;
    }
    auto *box = new QMessageBox(
        QMessageBox::Warning, Language::text("警告", "warning"),
        Language::text("固件升级正在进行。是否停止升级？\n停止后设备需要重新升级才能正常工作。",
                       "A firmware update is running. Stop it?\nThe unit will then need a new "
                       "update before it works again."),
        QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("stopQuestion"));
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_stopQuestion = box;
    connect(box, &QMessageBox::finished, this, [this, box] {
        if (m_stopQuestion != box)
            return;
        m_stopQuestion = nullptr;
        if (box->standardButton(box->clickedButton()) != QMessageBox::Yes || !isTransferring())
            return;
        m_closeWhenEnded = true;
        m_quietEnd = true;
        m_transfer->cancel();
    });
    box->open();
}
