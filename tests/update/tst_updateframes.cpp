// The update frames and their text form, the image check and loader, the progress values.

#include "common/Language.h"
#include "protocol/UpdateFrames.h"
#include "update/UpdateImage.h"
#include "update/UpdateProgress.h"
#include "update/UpdateText.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateText;

namespace {

QByteArray countingImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char(i * 7 + 3);
    return image;
}

QString hex(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex());
}

} // namespace

class TestUpdateFrames : public QObject
{
    Q_OBJECT
private slots:
    void textHelpers()
    {
        QCOMPARE(Big_to_Little("0000abcd"), QString("cdab0000"));
        QCOMPARE(Big_to_Little("ab"), QString("ab"));
        QString s = "7";
        QCOMPARE(fill_hex_data(&s, 4), QString("0007"));
        QCOMPARE(s, QString("0007"));
        QCOMPARE(calc_checksum("5156ff0600"), QString("0509"));
        QCOMPARE(calc_checksum("5156"), QString("0000"));
        QCOMPARE(QString_to_QByteArray_hex("0aFFzz1"), QByteArray::fromHex("0aff00"));
        QCOMPARE(codeFinishCommand(), QString("5156ff06000509"));
    }

    // A 1028-byte image: P = 4, the start frame, four full data frames, the finish frame; the
    // text helpers give the same bytes as the transfer's frame list.
    void framesOfA1028ByteImage()
    {
        const QByteArray image = countingImage(1028);
        const QVector<QByteArray> frames = UpdateImage::frames(image);
        QCOMPARE(frames.size(), 6);
        const QString start = generate_update_command(image);
        QVERIFY(start.startsWith("5156ff7100010B00"));
        QCOMPARE(QString_to_QByteArray_hex(start), frames[0]);
        QCOMPARE(calc_checksum(start.left(38)), start.mid(38)); // 21 bytes
        QCOMPARE(frames[0].mid(8, 11), QByteArray::fromHex("00040000") + image.mid(12, 3) +
                                           image.left(4)); // size − 4 = 1024
        QByteArray carried;
        for (int k = 1; k <= 4; ++k) {
            const QByteArray &f = frames[k];
            QCOMPARE(f.size(), 270);
            // Length word 0x083A, m + 4 = 0x0104, k, P = 4.
            QCOMPARE(f.left(12), QByteArray::fromHex("5156ff 3a08 02 0401") + char(k) +
                                     QByteArray::fromHex("00 0400"));
            QCOMPARE(codePackData(hex(image.mid(4 + 256 * (k - 1), 256)), k, 4), hex(f));
            carried += f.mid(12, 256);
        }
        QCOMPARE(carried, image.mid(4));
        QCOMPARE(frames[5], UpdateFrames::finish());
    }

    // One 20-byte data frame: length word 0x00A2 (its bytes are checked with the builders).
    void framesOfA17ByteImage()
    {
        const QVector<QByteArray> frames = UpdateImage::frames(countingImage(17));
        QVERIFY(frames.size() == 3 && frames[1].left(5) == QByteArray::fromHex("5156ffa200"));
        QVERIFY(codePackData(QString(), 1, 1).isEmpty());
        QVERIFY(codePackData(QString(257 * 2, 'a'), 1, 1).isEmpty());
    }

    void imageCheck_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("verdict");
        using V = UpdateImage::Verdict;
        QTest::newRow("empty") << 0 << int(V::Empty);
        QTest::newRow("14 bytes") << 14 << int(V::TooShort);
        QTest::newRow("15 bytes") << 15 << int(V::Ok);
        QTest::newRow("1029 bytes") << 1029 << int(V::Ok);
        QTest::newRow("65535 frames") << UpdateImage::MaxSize << int(V::Ok);
        QTest::newRow("65536 frames") << UpdateImage::MaxSize + 1 << int(V::TooLarge);
    }
    void imageCheck()
    {
        QFETCH(int, size);
        QFETCH(int, verdict);
        const QByteArray image(size, 'x');
        QCOMPARE(int(UpdateImage::check(image)), verdict);
        const QVector<QByteArray> frames = UpdateImage::frames(image);
        QCOMPARE(frames.isEmpty(), verdict != int(UpdateImage::Verdict::Ok));
        // Every frame is built, and the image bytes they account for add up to the image.
        qint64 sum = 0;
        for (int i = 0; i < frames.size(); ++i) {
            QVERIFY(!frames[i].isEmpty());
            sum += UpdateImage::imageBytesOf(size, i);
        }
        QCOMPARE(sum, frames.isEmpty() ? 0 : qint64(size));
    }

    void loadRefusesWhatCannotBeSent()
    {
        QTemporaryDir dir;
        const auto load = [&](const char *name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::WriteOnly))
                f.write(bytes);
            f.close();
            return UpdateImage::load(f.fileName());
        };
        Language::setChinese(false);
        const UpdateImage::Loaded ok = load("ok.bin", countingImage(300));
        QVERIFY(ok.verdict == UpdateImage::Verdict::Ok && ok.message.isEmpty());
        QCOMPARE(ok.image, countingImage(300));
        const UpdateImage::Loaded missing = UpdateImage::load(dir.filePath("none.bin"));
        QCOMPARE(int(missing.verdict), int(UpdateImage::Verdict::Unreadable));
        QVERIFY(!missing.message.isEmpty());
        QCOMPARE(int(UpdateImage::load(dir.path()).verdict), int(UpdateImage::Verdict::Unreadable));
        const UpdateImage::Loaded small = load("small.bin", "0123456789abcd");
        QCOMPARE(int(small.verdict), int(UpdateImage::Verdict::TooShort));
        QVERIFY(small.image.isEmpty() && !small.message.isEmpty());
        QCOMPARE(int(load("empty.bin", QByteArray()).verdict), int(UpdateImage::Verdict::Empty));
        // A source without end is read only up to the limit.
        QCOMPARE(int(UpdateImage::load("/dev/zero").verdict), int(UpdateImage::Verdict::TooLarge));
    }

    void progressValues()
    {
        QVector<int> bar;
        for (int i = 0; i <= 5; ++i)
            bar << UpdateProgress::percentAfter(i, 4);
        QCOMPARE(bar, QVector<int>({0, 20, 40, 60, 80, 100}));
        QCOMPARE(UpdateProgress::percentAfter(29, 49), 58); // 29 / 50 × 100 in doubles: 57.99…

        UpdateProgress p;
        p.percent = 40;
        p.bytesSent = 412 * 1024;
        p.totalBytes = 1028 * 1024;
        Language::setChinese(false);
        QCOMPARE(p.text(), QString("40% · 412.0 / 1028.0 KiB"));
        p.bytesPerSecond = 85.3 * 1024;
        p.secondsLeft = 7.2;
        p.resends = 2;
        QCOMPARE(p.text(), QString("40% · 412.0 / 1028.0 KiB · 85.3 KiB/s · 8 s left · 2 resends"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateFrames)
#include "tst_updateframes.moc"
