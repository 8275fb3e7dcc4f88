#include "app/Language.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest>

namespace {

// Every text of the menu bar: menu titles and action texts, sub-menus included.
void collectTexts(const QList<QAction *> &actions, QStringList &out)
{
    for (QAction *a : actions) {
        if (a->isSeparator())
            continue;
        out << a->text();
        if (a->menu())
            collectTexts(a->menu()->actions(), out);
    }
}

QStringList menuTexts(const QMainWindow &w)
{
    QStringList texts;
    collectTexts(w.menuBar()->actions(), texts);
    return texts;
}

QAction *findAction(const QMainWindow &w, const QString &text)
{
    for (QAction *a : w.findChildren<QAction *>())
        if (a->text() == text)
            return a;
    return nullptr;
}

// A window of the kind every view is: it takes its texts when it is built.
class SmallWindow : public QWidget
{
public:
    SmallWindow()
    {
        setWindowTitle(Language::text("三维定向视图", "3D Display"));
        label = new QLabel(Language::text("横滚", "Roll"), this);
    }
    QLabel *label = nullptr;
};

const QStringList kChinese{QStringLiteral("文件"), QStringLiteral("视图"), QStringLiteral("工具"),
                           QStringLiteral("语言"), QStringLiteral("中文"), QStringLiteral("英文"),
                           QStringLiteral("帮助"), QStringLiteral("&关于")};
const QStringList kEnglish{QStringLiteral("File"),    QStringLiteral("View"),
                           QStringLiteral("Tool"),    QStringLiteral("Language"),
                           QStringLiteral("Chinese"), QStringLiteral("English"),
                           QStringLiteral("&Help"),   QStringLiteral("&About")};

void verifyTexts(const QMainWindow &w, const QStringList &expected, const QStringList &absent)
{
    const QStringList texts = menuTexts(w);
    for (const QString &t : expected)
        QVERIFY2(texts.contains(t), qPrintable(t + " missing from " + texts.join('|')));
    for (const QString &t : absent)
        QVERIFY2(!texts.contains(t), qPrintable(t + " still shown"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Quilvar ARV Manager"));
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Language::setChinese(true); }

    void textPicksByFlag()
    {
        QVERIFY(Language::isChinese());
        QCOMPARE(Language::text("语言", "Language"), QStringLiteral("语言"));
        Language::setChinese(false);
        QCOMPARE(Language::text("语言", "Language"), QStringLiteral("Language"));
    }

    void startsInChinese()
    {
        QVERIFY(Language::isChinese());
        MainWindow w;
        QVERIFY(Language::isChinese());
        verifyTexts(w, kChinese, kEnglish);
        QVERIFY(!w.windowIcon().isNull());
        QVERIFY(w.statusBar() != nullptr);
    }

    // The Language menu's own actions switch every text of the window at once, both ways.
    void switchChangesTextsAtOnce()
    {
        MainWindow w;
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

    // A window keeps the language it was built in; one built after the switch uses the new one.
    void windowsKeepTheirLanguage()
    {
        MainWindow w;
        SmallWindow before;
        w.slot_translate_English();
        SmallWindow after;
        QCOMPARE(before.windowTitle(), QStringLiteral("三维定向视图"));
        QCOMPARE(before.label->text(), QStringLiteral("横滚"));
        QCOMPARE(after.windowTitle(), QStringLiteral("3D Display"));
        QCOMPARE(after.label->text(), QStringLiteral("Roll"));

        w.slot_translate_Chinese();
        QCOMPARE(after.windowTitle(), QStringLiteral("3D Display"));
        SmallWindow again;
        QCOMPARE(again.windowTitle(), QStringLiteral("三维定向视图"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
