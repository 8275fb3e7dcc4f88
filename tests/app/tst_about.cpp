#include "app/AboutDialog.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
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

QLabel *imageLabel(const QWidget &w)
{
    for (QLabel *l : w.findChildren<QLabel *>())
        if (!l->pixmap(Qt::ReturnByValue).isNull())
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
        QCOMPARE(about.objectName(), QStringLiteral("AboutDialog"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About ARV Manager"));

        QLabel *image = imageLabel(about);
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(200, 200));
        QVERIFY(image->hasScaledContents());

        QLabel *product = labelWithText(about, QStringLiteral("Quilvar ARV Manager 2.8.7"));
        QVERIFY(product);
        QCOMPARE(product->font().family(), QStringLiteral("Arial"));
        QCOMPARE(product->font().pixelSize(), 16);
        QVERIFY(product->font().bold());
        QCOMPARE(product->font().weight(), 75);
        QVERIFY(product->alignment() & Qt::AlignHCenter);

        QLabel *notice = labelWithText(about, AboutDialog::noticeText());
        QVERIFY(notice);
        QVERIFY(!notice->text().trimmed().isEmpty());

        auto *layout = qobject_cast<QVBoxLayout *>(about.layout());
        QVERIFY(layout);
        QCOMPARE(layout->spacing(), 15);
        QCOMPARE(layout->contentsMargins(), QMargins(15, 15, 15, 15));

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
        bool modal = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            iconSet = !box->windowIcon().isNull();
            modal = box->isModal();
            box->reject();
        });
        poll.start();
        QTimer::singleShot(10000, [] {
            if (auto *box = QApplication::activeModalWidget())
                box->close(); // never hang the run
        });
        w.slotAbout(); // returns when the box is closed
        poll.stop();
        QCOMPARE(title, QStringLiteral("Quilvar"));
        QVERIFY(iconSet);
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
