#include "app/MainWindow.h"
#include "common/Language.h"

#include <QMenu>
#include <QMenuBar>
#include <QtTest>

namespace {

// Every text of the menu bar: menu titles and action texts, sub-menus included.
void collectTexts(const QList<QAction *> &actions, QStringList &out)
{
    for (QAction *a : actions)
        if (!a->isSeparator()) {
            out << a->text();
            if (a->menu())
                collectTexts(a->menu()->actions(), out);
        }
}

const QStringList kChinese{"文件", "视图", "工具", "语言", "中文", "英文", "帮助", "&关于"};
const QStringList kEnglish{"File",    "View",    "Tool",  "Language",
                           "Chinese", "English", "&Help", "&About"};

void verifyTexts(const QMainWindow &w, const QStringList &expected, const QStringList &absent)
{
    QStringList texts;
    collectTexts(w.menuBar()->actions(), texts);
    for (const QString &t : expected)
        QVERIFY2(texts.contains(t), qPrintable(t + " missing from " + texts.join('|')));
    for (const QString &t : absent)
        QVERIFY2(!texts.contains(t), qPrintable(t + " still shown"));
}

QAction *findAction(const QMainWindow &w, const QString &text)
{
    for (QAction *a : w.findChildren<QAction *>())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Language::setChinese(true); }

    // Starts in Chinese; the Language menu's own actions switch every text at once, both ways.
    void startsInChineseAndSwitchesAtOnce()
    {
        MainWindow w;
        QVERIFY(Language::isChinese());
        verifyTexts(w, kChinese, kEnglish);
        QAction *english = findAction(w, QStringLiteral("英文"));
        QVERIFY(english);
        english->trigger();
        QVERIFY(!Language::isChinese());
        verifyTexts(w, kEnglish, kChinese);
        QAction *chinese = findAction(w, QStringLiteral("Chinese"));
        QVERIFY(chinese);
        chinese->trigger();
        QVERIFY(Language::isChinese());
        verifyTexts(w, kChinese, kEnglish);
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
