#include "record/DlgPreSettings.h"

#include "common/Language.h"
#include "record/RecordNaming.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

DlgPreSettings::DlgPreSettings(const QString &folder, QWidget *parent)
    : QDialog(parent), m_folder(folder)
{
    setObjectName(QStringLiteral("DlgPreSettings"));
    resize(400, 300);
    setFont(QFont(QStringLiteral("Arial")));
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    setWindowTitle(Language::text("文件输出路径设置", "File Export Path Setting"));

    auto *group = new QGroupBox(this);
    auto *row = new QHBoxLayout(group);
    row->addWidget(new QLabel(Language::text("当前路径", "Current Path"), group));
    m_folderEdit = new QLineEdit(m_folder, group);
    m_folderEdit->setReadOnly(true);
    row->addWidget(m_folderEdit, 1);
    m_folderButton = new QPushButton(group);
    m_folderButton->setIcon(QIcon(QStringLiteral(":/Lumeno/file-folder")));
    row->addWidget(m_folderButton);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = new QPushButton(Language::text("确定", "Ok"), this);
    auto *cancel = new QPushButton(Language::text("取消", "Cancel"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(m_folderButton, &QPushButton::clicked, this, &DlgPreSettings::slotCurrentDirEdit);
    connect(ok, &QPushButton::clicked, this, &DlgPreSettings::slotOk);
    connect(cancel, &QPushButton::clicked, this, &DlgPreSettings::slotCancel);
}

QString DlgPreSettings::chooseFolder(const QString &start)
{
    return QFileDialog::getExistingDirectory(this, tr("Open Directory"), start,
                                             QFileDialog::ShowDirsOnly |
                                                 QFileDialog::DontResolveSymlinks);
}

void DlgPreSettings::slotCurrentDirEdit()
{
    const QString chosen = chooseFolder(m_folder);
    if (chosen.isEmpty())
        return;
    QString reason;
    if (!canWriteRecordFolder(chosen, &reason)) {
        QMessageBox box(QMessageBox::Warning, Language::text("提示框", "Information"),
                        Language::text("无法在文件夹 %1 中创建文件（%2），记录文件不能保存到这里。",
                                       "No file can be created in the folder %1 (%2): record "
                                       "files cannot be saved there.")
                            .arg(chosen, reason),
                        QMessageBox::NoButton, this);
        QPushButton *keep = box.addButton(Language::text("保留原路径", "Keep the old folder"),
                                          QMessageBox::RejectRole);
        QPushButton *use =
            box.addButton(Language::text("仍然使用", "Use it anyway"), QMessageBox::AcceptRole);
        box.setDefaultButton(keep);
        box.setEscapeButton(keep);
        box.exec();
        if (box.clickedButton() != use)
            return;
    }
    m_folder = chosen;
    m_folderEdit->setText(m_folder);
}

void DlgPreSettings::slotOk()
{
    done(QDialog::Accepted);
}

void DlgPreSettings::slotCancel()
{
    done(QDialog::Rejected);
}
