#pragma once

#include <QDialog>

// The About box: the program's icon, its name and version, and the maker's notice.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    static QString productText();
    static QString noticeText();
};
