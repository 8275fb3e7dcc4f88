// The program starts in Chinese: every Chinese character it shows must have a glyph in
// the fonts of this machine (the font itself or one that the font falls back on), or the
// interface is a row of empty boxes.
#include "app/MainWindow.h"
#include "common/Language.h"
#include "protocol/ItemKind.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>
#include <qcustomplot.h>

namespace {

bool isChinese(uint c)
{
    return (c >= 0x3000 && c <= 0x303F)     // CJK punctuation
           || (c >= 0x3400 && c <= 0x9FFF)  // CJK ideographs
           || (c >= 0xFF00 && c <= 0xFFEF); // full-width forms
}

// Collects, per font, the Chinese characters that it cannot draw, and where they occur.
class GlyphCheck
{
public:
    void check(const QString &text, const QFont &font, const QString &where)
    {
        const QFontMetrics metrics(font);
        const QVector<uint> chars = text.toUcs4();
        for (uint c : chars) {
            ++m_checked;
            if (isChinese(c) && !metrics.inFontUcs4(c) && m_missing.size() < 20)
                m_missing << QStringLiteral("%1 (U+%2) in \"%3\" [%4, font %5]")
                                 .arg(QString::fromUcs4(&c, 1))
                                 .arg(c, 4, 16, QLatin1Char('0'))
                                 .arg(text, where, font.family());
        }
    }
    int checked() const { return m_checked; }
    QString report() const { return m_missing.join(QLatin1Char('\n')); }
    bool ok() const { return m_missing.isEmpty(); }

private:
    int m_checked = 0;
    QStringList m_missing;
};

// Every text that a widget tree shows, with the font it is drawn in.
void checkWidgetTree(const QWidget &root, GlyphCheck &glyphs)
{
    QList<QWidget *> widgets = root.findChildren<QWidget *>();
    widgets.prepend(const_cast<QWidget *>(&root));
    for (QWidget *w : qAsConst(widgets)) {
        const QString where = QString::fromLatin1(w->metaObject()->className());
        glyphs.check(w->windowTitle(), QApplication::font("QMdiSubWindowTitleBar"), where);
        glyphs.check(w->toolTip(), w->font(), where);
        if (auto *l = qobject_cast<QLabel *>(w))
            glyphs.check(l->text(), l->font(), where);
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            glyphs.check(b->text(), b->font(), where);
        if (auto *c = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                glyphs.check(c->itemText(i), c->font(), where);
        if (auto *m = qobject_cast<QMenu *>(w)) {
            glyphs.check(m->title(), m->font(), where);
            for (QAction *a : m->actions())
                glyphs.check(a->text(), m->font(), where);
        }
        if (auto *t = qobject_cast<QTreeWidget *>(w))
            for (QTreeWidgetItemIterator it(t); *it; ++it)
                glyphs.check((*it)->text(0), (*it)->font(0), where);
        if (auto *p = qobject_cast<QCustomPlot *>(w))
            for (QCPAxis *axis : p->axisRect()->axes())
                glyphs.check(axis->label(), axis->labelFont(), where);
    }
}

} // namespace

class TestFonts : public QObject
{
    Q_OBJECT
private slots:
    // The main window as it starts, with every view window open, and the item names that
    // the state dock and the record columns show.
    void mainWindowAndViewsCanBeDrawn()
    {
        Language::setChinese(true);
        MainWindow w;
        w.show();
        for (QAction *a : w.ui().viewMenu->actions())
            if (a->isEnabled() && !a->isCheckable())
                a->trigger();
        QVERIFY(w.ui().mdiArea->subWindowList().size() >= 8);

        GlyphCheck glyphs;
        checkWidgetTree(w, glyphs);
        for (const ItemKind &kind : ItemKind::all()) {
            glyphs.check(kind.group(true), w.ui().contentsValue->font(), QStringLiteral("group"));
            for (int i = 0; i < kind.valueCount; ++i)
                glyphs.check(kind.column(i, true), QApplication::font(), QStringLiteral("column"));
        }
        QVERIFY(glyphs.checked() > 300);
        QVERIFY2(glyphs.ok(), qPrintable(glyphs.report()));
    }

    // Texts that appear later (messages, dialogs, status texts) are found in the sources.
    void everyChineseCharacterOfTheSourcesCanBeDrawn()
    {
        const QString root = QStringLiteral(ARV_SOURCE_DIR);
        QMap<uint, QString> chinese; // character → the first file it is in
        int files = 0;
        QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = path.mid(root.size() + 1);
            const QString top = relative.section(QLatin1Char('/'), 0, 0);
            // The program's own folders only: no tests, benchmarks, build trees or tools.
            if (top == QLatin1String("tests") || top == QLatin1String("bench") ||
                top.startsWith(QLatin1Char('.')) || !relative.contains(QLatin1Char('/')) ||
                QFile::exists(root + QLatin1Char('/') + top + QStringLiteral("/CMakeCache.txt")))
                continue;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            ++files;
            for (uint c : QString::fromUtf8(file.readAll()).toUcs4())
                if (isChinese(c) && !chinese.contains(c))
                    chinese.insert(c, relative);
        }
        QVERIFY(files > 50);
        QVERIFY(chinese.size() > 100);
        GlyphCheck glyphs;
        for (auto c = chinese.cbegin(); c != chinese.cend(); ++c)
            glyphs.check(QString::fromUcs4(&c.key(), 1), QApplication::font(), c.value());
        QVERIFY2(glyphs.ok(), qPrintable(glyphs.report()));
    }
};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
