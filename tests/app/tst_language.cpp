#include "app/Language.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QMenuBar>
#include <QtTest>

class TestLanguage : public QObject
{
    Q_OBJECT
private:
    static QStringList menuTitles(const QMainWindow &w)
    {
        QStringList titles;
        for (QAction *a : w.menuBar()->actions())
            titles << a->text();
        return titles;
    }

private slots:
    void startsInChinese()
    {
        QVERIFY(Language::isChinese());
        MainWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Quilvar ARV Manager"));
        QCOMPARE(menuTitles(w), (QStringList{"文件", "视图", "工具", "语言", "帮助"}));
    }

    void switchChangesTextsAtOnce()
    {
        MainWindow w;
        w.slot_translate_English();
        QVERIFY(!Language::isChinese());
        QCOMPARE(menuTitles(w), (QStringList{"File", "View", "Tool", "Language", "&Help"}));
        w.slot_translate_Chinese();
        QCOMPARE(menuTitles(w), (QStringList{"文件", "视图", "工具", "语言", "帮助"}));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
