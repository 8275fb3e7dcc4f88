#include "app/AboutDialog.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

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

    adjustSize();
}

QString AboutDialog::productText()
{
    return QStringLiteral("Quilvar ARV Manager 2.8.7");
}

QString AboutDialog::noticeText()
{
    return QString::fromUtf8("Copyright © 2026 Quilvar. All rights reserved.");
}
