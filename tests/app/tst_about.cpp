#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "common/Language.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

QLabel *labelWithText(const QWidget &w, const QString &text)
{
    for (QLabel *l : w.findChildren<QLabel *>())
        if (l->text() == text)
            return l;
    return nullptr;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    // Laid out top to bottom: the image (loaded), the product line, the notice.
    void contents()
    {
        AboutDialog about(nullptr);
        QLabel *image = nullptr;
        for (QLabel *l : about.findChildren<QLabel *>())
            if (!l->pixmap(Qt::ReturnByValue).isNull())
                image = l;
        QLabel *product = labelWithText(about, QStringLiteral("Quilvar ARV Manager 2.8.7"));
        QVERIFY(image && product);
        QLabel *notice = labelWithText(about, AboutDialog::noticeText());
        QVERIFY(notice && !notice->text().trimmed().isEmpty());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(image->geometry().bottom() < product->geometry().top());
        QVERIFY(product->geometry().bottom() < notice->mapTo(&about, QPoint(0, 0)).y());
    }

    // A GPL program tells its users their rights: the licence, no warranty, the libraries
    // and their licences; the button shows the whole licence.
    void licenceNotice_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QStringList>("phrases");
        QTest::addColumn<QString>("button");
        const QString qt = "Qt " + QString::fromLatin1(qVersion());
        const QStringList common{"GPL-3.0-or-later", "QCustomPlot 2."};
        QTest::newRow("Chinese") << true
                                 << common +
                                        QStringList{"GNU 通用公共许可证第 3 版", "不提供任何担保"}
                                 << "许可证";
        QTest::newRow("English") << false
                                 << common + QStringList{"GNU General Public License, version 3",
                                                         "ABSOLUTELY NO WARRANTY",
                                                         qt + " (LGPL-3.0 / GPL)", "(GPL-3.0)"}
                                 << "License";
    }

    void licenceNotice()
    {
        QFETCH(bool, chinese);
        QFETCH(QStringList, phrases);
        QFETCH(QString, button);
        Language::setChinese(chinese);
        AboutDialog about(nullptr);
        Language::setChinese(true);
        QVERIFY(!AboutDialog::noticeText().contains(QStringLiteral("All rights reserved")));
        QVERIFY(AboutDialog::noticeText().contains(QStringLiteral("Quilvar")));
        QLabel *licence = about.findChild<QLabel *>(QStringLiteral("licenceLabel"));
        QVERIFY(licence);
        for (const QString &phrase : phrases)
            QVERIFY2(licence->text().contains(phrase), qPrintable(phrase));
        QCOMPARE(about.licenceButton()->text(), button);

        QString shown;
        QTimer::singleShot(50, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (auto *text = box ? box->findChild<QPlainTextEdit *>() : nullptr)
                shown = text->toPlainText();
            if (box)
                box->close();
        });
        about.licenceButton()->click(); // returns when the licence window is closed
        QVERIFY(shown.contains(QStringLiteral("GNU GENERAL PUBLIC LICENSE")) &&
                shown.contains(QStringLiteral("Version 3, 29 June 2007")) &&
                shown.contains(QStringLiteral("END OF TERMS AND CONDITIONS")));
    }

    // slotAbout runs the box modally, titled "Quilvar" with the program's icon.
    void slotAboutShowsModalBox()
    {
        MainWindow w;
        QString title;
        bool iconSet = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<AboutDialog *>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                iconSet = !box->windowIcon().isNull();
                box->reject();
            }
        });
        poll.start(20);
        QTimer::singleShot(10000, [] {
            if (auto *box = QApplication::activeModalWidget())
                box->close(); // never hang the run
        });
        w.slotAbout(); // returns when the box is closed
        poll.stop();
        QCOMPARE(title, QStringLiteral("Quilvar"));
        QVERIFY(iconSet);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
