#include "common/Language.h"
#include "record/DlgPreSettings.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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

// Clicks `text` in the next modal window that has such a button; notes that window's title.
void clickWhenShown(const QString &text, QString *title)
{
    QTimer::singleShot(10, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (QPushButton *b = modal ? button(modal, text) : nullptr) {
            *title = modal->windowTitle();
            b->click();
        } else {
            clickWhenShown(text, title);
        }
    });
}

} // namespace

class TestDlgPreSettings : public QObject
{
    Q_OBJECT
private slots:
    // The dialog in both languages; exec()'s result and the folder read back after a chosen
    // folder, a cancelled chooser, and a folder that cannot be written (the message box
    // comes at once; the old folder stays unless the user insists).
    void chooseAndClose_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QString>("choice"); // "new", "" (chooser cancelled) or a folder
        QTest::addColumn<QString>("boxButton");
        QTest::addColumn<QString>("close");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("folder"); // "old", "new" or a folder
        const auto row = [](const char *name, bool zh, const char *choice, const char *box,
                            const char *close, int result, const char *folder) {
            QTest::newRow(name) << zh << choice << box << close << result << folder;
        };
        row("zh choose, OK", true, "new", "", "确定", 1, "new");
        row("en choose, Cancel", false, "new", "", "Cancel", 0, "new");
        row("en chooser cancelled", false, "", "", "Ok", 1, "old");
        row("zh unwritable, keep", true, "/sys", "保留原路径", "确定", 1, "old");
        row("en unwritable, insist", false, "/sys", "Use it anyway", "Ok", 1, "/sys");
    }
    void chooseAndClose()
    {
        QFETCH(bool, chinese);
        QFETCH(QString, choice);
        QFETCH(QString, boxButton);
        QFETCH(QString, close);
        QFETCH(int, result);
        QFETCH(QString, folder);
        Language::setChinese(chinese);
        QTemporaryDir old, chosen;
        const auto path = [&](const QString &s) {
            return s == "old" ? old.path() : s == "new" ? chosen.path() : s;
        };
        TestDialog dlg(old.path());
        dlg.answer = path(choice);

        auto *field = dlg.findChild<QLineEdit *>();
        QVERIFY(field->isReadOnly());
        QCOMPARE(field->text(), old.path());
        QVERIFY(button(&dlg, chinese ? "取消" : "Cancel"));
        QPushButton *folderButton = button(&dlg, QString());
        QVERIFY(!folderButton->icon().isNull());

        QString boxTitle;
        if (!boxButton.isEmpty())
            clickWhenShown(boxButton, &boxTitle);
        QTimer::singleShot(0, &dlg, [&] {
            folderButton->click();
            button(&dlg, close)->click();
        });
        QCOMPARE(dlg.exec(), result);
        QCOMPARE(boxTitle.isEmpty(), boxButton.isEmpty());
        QCOMPARE(dlg.folder(), path(folder));
        QCOMPARE(field->text(), dlg.folder());
    }
};

QTEST_MAIN(TestDlgPreSettings)
#include "tst_dlgpresettings.moc"
