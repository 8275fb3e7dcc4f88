#pragma once

#include <QDialog>

class QPushButton;

// The About box: the program's icon, its name and version, the maker's notice, the
// licence notice (GPL-3.0-or-later, no warranty, the libraries used and their licences)
// and a button that shows the licence's full text. Its texts are in the language current
// when it is built.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    static QString productText();
    static QString noticeText();
    // The licence notice in the current language.
    static QString licenceText();
    // The full text of the GNU GPL version 3, compiled into the program; empty if missing.
    static QString licenceFullText();

    QPushButton *licenceButton() const { return m_licenceButton; }

public slots:
    // Shows the full licence text in a modal dialog.
    void showLicence();

private:
    QPushButton *m_licenceButton = nullptr;
};
