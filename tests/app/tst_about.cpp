#include "app/AboutDialog.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QLabel>
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
    void contents()
    {
        AboutDialog about(nullptr);
        QCOMPARE(about.windowTitle(), QStringLiteral("About ARV Manager"));

        QLabel *image = nullptr;
        for (QLabel *l : about.findChildren<QLabel *>())
            if (!l->pixmap(Qt::ReturnByValue).isNull())
                image = l;
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(200, 200));
        QVERIFY(image->hasScaledContents());

        QLabel *product = labelWithText(about, QStringLiteral("Quilvar ARV Manager 2.8.7"));
        QVERIFY(product);
        QCOMPARE(product->font().family(), QStringLiteral("Arial"));
        QCOMPARE(product->font().pixelSize(), 16);
        QVERIFY(product->font().bold());
        QVERIFY(product->alignment() & Qt::AlignHCenter);

        QLabel *notice = labelWithText(about, AboutDialog::noticeText());
        QVERIFY(notice && !notice->text().trimmed().isEmpty());

        // Laid out top to bottom: image, product line, notice.
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(image->geometry().bottom() < product->geometry().top());
        QVERIFY(product->geometry().bottom() < notice->mapTo(&about, QPoint(0, 0)).y());
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
