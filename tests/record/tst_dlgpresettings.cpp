#include "app/Language.h"
#include "record/DlgPreSettings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// The dialog with the folder chooser answered by the test.
class TestDialog : public DlgPreSettings
{
public:
    using DlgPreSettings::DlgPreSettings;
    QString answer;

protected:
    QString chooseFolder(const QString &) override { return answer; }
};

QPushButton *button(QWidget *w, const QString &text)
{
    for (QPushButton *b : w->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

// Once a message box is up: records its title and text and clicks the button `text`.
struct BoxAnswer
{
    QString title, text;
    bool seen = false;
    void arm(const QString &buttonText)
    {
        QTimer::singleShot(10, [this, buttonText] { poll(buttonText); });
    }
    void poll(const QString &buttonText)
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, [this, buttonText] { poll(buttonText); });
            return;
        }
        seen = true;
        title = box->windowTitle();
        text = box->text();
        if (QPushButton *b = button(box, buttonText))
            b->click();
        else
            box->reject();
    }
};

// exec() with a function run once the dialog is up.
int execWith(QDialog &dlg, const std::function<void()> &whileOpen)
{
    QTimer::singleShot(0, &dlg, whileOpen);
    return dlg.exec();
}

} // namespace

class TestDlgPreSettings : public QObject
{
    Q_OBJECT
private slots:
    void looks_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("zh") << true;
        QTest::newRow("en") << false;
    }
    void looks()
    {
        QFETCH(bool, chinese);
        Language::setChinese(chinese);
        DlgPreSettings dlg(QStringLiteral("/tmp/records"));
        QCOMPARE(dlg.objectName(), QStringLiteral("DlgPreSettings"));
        QCOMPARE(dlg.size(), QSize(400, 300));
        QCOMPARE(dlg.font().family(), QStringLiteral("Arial"));
        QVERIFY(!dlg.windowIcon().isNull());
        QCOMPARE(dlg.windowTitle(), chinese ? QStringLiteral("文件输出路径设置")
                                            : QStringLiteral("File Export Path Setting"));
        QCOMPARE(dlg.findChild<QLabel *>()->text(),
                 chinese ? QStringLiteral("当前路径") : QStringLiteral("Current Path"));
        auto *field = dlg.findChild<QLineEdit *>();
        QVERIFY(field->isReadOnly());
        QCOMPARE(field->text(), QStringLiteral("/tmp/records"));
        QVERIFY(button(&dlg, chinese ? QStringLiteral("确定") : QStringLiteral("Ok")));
        QVERIFY(button(&dlg, chinese ? QStringLiteral("取消") : QStringLiteral("Cancel")));
        QPushButton *folderButton = button(&dlg, QString());
        QVERIFY(folderButton);
        QVERIFY(!folderButton->icon().isNull());
        QCOMPARE(dlg.folder(), QStringLiteral("/tmp/records"));
    }

    void okAndCancel()
    {
        Language::setChinese(false);
        QTemporaryDir old, chosen;
        {
            TestDialog dlg(old.path());
            dlg.answer = chosen.path();
            const int result = execWith(dlg, [&] {
                button(&dlg, QString())->click();
                button(&dlg, QStringLiteral("Ok"))->click();
            });
            QCOMPARE(result, 1);
            QCOMPARE(dlg.folder(), chosen.path());
            QCOMPARE(dlg.findChild<QLineEdit *>()->text(), chosen.path());
        }
        {
            TestDialog dlg(old.path());
            dlg.answer = chosen.path();
            const int result = execWith(dlg, [&] {
                button(&dlg, QString())->click();
                button(&dlg, QStringLiteral("Cancel"))->click();
            });
            QCOMPARE(result, 0);
        }
        {
            TestDialog dlg(old.path()); // the chooser is cancelled
            const int result = execWith(dlg, [&] {
                button(&dlg, QString())->click();
                button(&dlg, QStringLiteral("Ok"))->click();
            });
            QCOMPARE(result, 1);
            QCOMPARE(dlg.folder(), old.path());
        }
        {
            TestDialog dlg(old.path()); // closed by the window manager
            QCOMPARE(execWith(dlg, [&] { dlg.close(); }), 0);
        }
    }

    // A folder in which no file can be created: told at once; the old folder stays unless
    // the user insists.
    void unwritableFolderWarns_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<bool>("insist");
        QTest::newRow("zh keep") << true << false;
        QTest::newRow("en insist") << false << true;
    }
    void unwritableFolderWarns()
    {
        QFETCH(bool, chinese);
        QFETCH(bool, insist);
        Language::setChinese(chinese);
        QTemporaryDir old;
        TestDialog dlg(old.path());
        dlg.answer = QStringLiteral("/sys");
        BoxAnswer box;
        box.arm(insist ? QStringLiteral("Use it anyway") : QStringLiteral("保留原路径"));
        dlg.slotCurrentDirEdit();
        QVERIFY(box.seen);
        QCOMPARE(box.title, chinese ? QStringLiteral("提示框") : QStringLiteral("Information"));
        QVERIFY(box.text.contains(QStringLiteral("/sys")));
        QCOMPARE(dlg.folder(), insist ? QStringLiteral("/sys") : old.path());
        QCOMPARE(dlg.findChild<QLineEdit *>()->text(), dlg.folder());
    }
};

QTEST_MAIN(TestDlgPreSettings)
#include "tst_dlgpresettings.moc"
