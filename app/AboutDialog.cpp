#include "app/AboutDialog.h"

#include "common/Language.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("AboutDialog"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("About ARV Manager"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->setSpacing(15);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setFixedSize(200, 200);
    icon->setPixmap(QPixmap(QStringLiteral(":/Lumeno/mainWindow-icon")));
    icon->setScaledContents(true);
    layout->addWidget(icon, 0, Qt::AlignCenter);

    auto *product = new QLabel(productText(), this);
    product->setObjectName(QStringLiteral("productLabel"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    font.setWeight(75);
    product->setFont(font);
    product->setAlignment(Qt::AlignCenter);
    layout->addWidget(product, 0, Qt::AlignCenter);

    auto *noticeRow = new QHBoxLayout;
    noticeRow->setSpacing(0);
    auto *notice = new QLabel(noticeText(), this);
    notice->setObjectName(QStringLiteral("noticeLabel"));
    notice->setAlignment(Qt::AlignCenter);
    noticeRow->addWidget(notice, 0, Qt::AlignCenter);
    layout->addLayout(noticeRow);

    auto *licence = new QLabel(licenceText(), this);
    licence->setObjectName(QStringLiteral("licenceLabel"));
    licence->setWordWrap(true);
    licence->setAlignment(Qt::AlignCenter);
    licence->setMinimumWidth(420);
    layout->addWidget(licence);

    m_licenceButton = new QPushButton(Language::text("许可证", "License"), this);
    m_licenceButton->setObjectName(QStringLiteral("licenceButton"));
    connect(m_licenceButton, &QPushButton::clicked, this, &AboutDialog::showLicence);
    layout->addWidget(m_licenceButton, 0, Qt::AlignCenter);

    adjustSize();
}

void AboutDialog::showLicence()
{
    QDialog dialog(this);
    dialog.setWindowTitle(Language::text("许可证", "License"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QPlainTextEdit(licenceFullText(), &dialog);
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(Language::text("关闭", "Close"));
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(720, 560);
    dialog.exec();
}

QString AboutDialog::productText()
{
    return QStringLiteral("Quilvar ARV Manager 2.8.7");
}

QString AboutDialog::noticeText()
{
    return QString::fromUtf8("Copyright © 2026 Quilvar");
}

QString AboutDialog::licenceText()
{
    return Language::text(
               "本程序是自由软件：您可以依据 GNU 通用公共许可证第 3 版或（由您选择）任何更新的版本"
               "（GPL-3.0-or-later）再发布和修改它。本程序不提供任何担保。\n"
               "使用的库：Qt %1（LGPL-3.0 / GPL），QCustomPlot %2（GPL-3.0）。",
               "This program is free software: you can redistribute it and/or modify it under "
               "the terms of the GNU General Public License, version 3 or (at your option) any "
               "later version (GPL-3.0-or-later). It comes with ABSOLUTELY NO WARRANTY.\n"
               "Libraries used: Qt %1 (LGPL-3.0 / GPL), QCustomPlot %2 (GPL-3.0).")
        .arg(QString::fromLatin1(qVersion()), QStringLiteral(QCUSTOMPLOT_VERSION_STR));
}

QString AboutDialog::licenceFullText()
{
    QFile file(QStringLiteral(":/LICENSE"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
