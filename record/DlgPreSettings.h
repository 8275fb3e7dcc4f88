#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// The record folder dialog: shows the folder record files go to and lets the user pick
// another. exec() returns 1 after OK and 0 after Cancel or closing; folder() gives the
// folder to use (the one passed in unless the user chose another).
//
// A folder in which no file can be created is reported at once in a message box; the old
// folder stays unless the user insists on the new one.
class DlgPreSettings : public QDialog
{
    Q_OBJECT
public:
    explicit DlgPreSettings(const QString &folder, QWidget *parent = nullptr);

    QString folder() const { return m_folder; }

public slots:
    // Opens the folder chooser; a picked folder replaces the shown one.
    void slotCurrentDirEdit();
    void slotOk();
    void slotCancel();

protected:
    // The folder the user picks starting at `start`; empty when cancelled. The standard
    // folder chooser; tests put their choice here.
    virtual QString chooseFolder(const QString &start);

private:
    QString m_folder;
    QLineEdit *m_folderEdit = nullptr;
    QPushButton *m_folderButton = nullptr;
};
