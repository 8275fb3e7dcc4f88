// The update frames, their text form, the image check and loader, and the progress values.

#include "app/Language.h"
#include "protocol/Answer.h"
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
        QCOMPARE(Big_to_Little("abcde"), QString("ecdab"));
        QString s = "7";
        QCOMPARE(fill_hex_data(&s, 4), QString("0007"));
        QCOMPARE(s, QString("0007"));
        s = "12345";
        QCOMPARE(fill_hex_data(&s, 4), QString("12345"));
        QCOMPARE(calc_checksum("5156ff0600"), QString("0509"));
        QCOMPARE(calc_checksum("5156"), QString("0000"));
        QCOMPARE(QString_to_QByteArray_hex("0aFFzz1"), QByteArray::fromHex("0aff00"));
        QCOMPARE(codeFinishCommand(), QString("5156ff06000509"));
    }

    // A 1028-byte image: P = 4, the start frame, four full data frames, the finish frame, the
    // same bytes from the text helpers as from the frame list of the transfer.
    void framesOfA1028ByteImage()
    {
        const QByteArray image = countingImage(1028);
        const QVector<QByteArray> frames = UpdateImage::frames(image);
        QCOMPARE(frames.size(), 6);

        const QString start = generate_update_command(image);
        QVERIFY(start.startsWith("5156ff7100010B00"));
        QCOMPARE(QString_to_QByteArray_hex(start), frames[0]);
        QCOMPARE(frames[0].size(), 21);
        QCOMPARE(calc_checksum(start.left(38)), start.mid(38));
        QCOMPARE(frames[0].mid(8, 11), QByteArray::fromHex("00040000") + image.mid(12, 3) +
                                           image.left(4)); // size − 4 = 1024

        QByteArray carried;
        for (int k = 1; k <= 4; ++k) {
            const QByteArray &f = frames[k];
            QCOMPARE(f.size(), 270);
            QCOMPARE(f.left(12), QByteArray::fromHex("5156ff3a0802"
                                                     "0401") +
                                     char(k) +
                                     QByteArray::fromHex("00"
                                                         "0400")); // m + 4, k, P
            QCOMPARE(codePackData(hex(image.mid(4 + 256 * (k - 1), 256)), k, 4), hex(f));
            carried += f.mid(12, 256);
        }
        QCOMPARE(carried, image.mid(4));
        QCOMPARE(frames[5], UpdateFrames::finish());

        // Every frame is one the unit's answer reader accepts, with op 1, 2 and 6.
        for (int i = 0; i < frames.size(); ++i) {
            Answer a;
            QVERIFY(Answer::readAt(reinterpret_cast<const std::uint8_t *>(frames[i].constData()),
                                   frames[i].size(), a));
            QCOMPARE(int(a.cls), 0xFF);
            QCOMPARE(int(a.op), i == 0 ? 1 : i == 5 ? 6 : 2);
        }
    }

    void framesOfA17ByteImage()
    {
        const QByteArray image = countingImage(17);
        const QVector<QByteArray> frames = UpdateImage::frames(image);
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[1].size(), 20 + 7); // 20 data bytes
        QCOMPARE(hex(frames[1].left(12)), QString("5156ffa20002"
                                                  "1100"
                                                  "0100"
                                                  "0100"));
        QCOMPARE(frames[1].mid(12, 13), image.mid(4));
        // Chunks a data frame cannot carry.
        QVERIFY(codePackData(QString(), 1, 1).isEmpty());
        QVERIFY(codePackData(QString(257 * 2, 'a'), 1, 1).isEmpty());
        QVERIFY(codePackData("aa", 2, 1).isEmpty());
    }

    void imageCheck_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("verdict");
        using V = UpdateImage::Verdict;
        QTest::newRow("empty") << 0 << int(V::Empty);
        QTest::newRow("14 bytes") << 14 << int(V::TooShort);
        QTest::newRow("15 bytes") << 15 << int(V::Ok);
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
        for (const QByteArray &f : frames)
            QVERIFY(!f.isEmpty());
        if (!frames.isEmpty())
            QCOMPARE(frames.size(), UpdateFrames::packetCount(image) + 2);
        // The image bytes the frames account for add up to the image.
        qint64 sum = 0;
        for (int i = 0; i < frames.size(); ++i)
            sum += UpdateImage::imageBytesOf(size, i);
        QCOMPARE(sum, frames.isEmpty() ? 0 : qint64(size));
    }

    void loadRefusesWhatCannotBeSent()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto write = [&](const char *name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            return f.fileName();
        };
        Language::setChinese(false);
        const UpdateImage::Loaded ok = UpdateImage::load(write("ok.bin", countingImage(300)));
        QCOMPARE(int(ok.verdict), int(UpdateImage::Verdict::Ok));
        QCOMPARE(ok.image, countingImage(300));
        QVERIFY(ok.message.isEmpty());

        const UpdateImage::Loaded missing = UpdateImage::load(dir.filePath("none.bin"));
        QCOMPARE(int(missing.verdict), int(UpdateImage::Verdict::Unreadable));
        QCOMPARE(missing.message, QString("The update file cannot be loaded!"));
        QCOMPARE(int(UpdateImage::load(dir.path()).verdict), int(UpdateImage::Verdict::Unreadable));
        const UpdateImage::Loaded empty = UpdateImage::load(write("empty.bin", QByteArray()));
        QCOMPARE(int(empty.verdict), int(UpdateImage::Verdict::Empty));
        QVERIFY(empty.image.isEmpty() && !empty.message.isEmpty());
        const UpdateImage::Loaded small = UpdateImage::load(write("small.bin", "0123456789abcd"));
        QCOMPARE(int(small.verdict), int(UpdateImage::Verdict::TooShort));
        QVERIFY(small.image.isEmpty());
        // A source without end is read only up to the limit.
        const UpdateImage::Loaded endless = UpdateImage::load("/dev/zero");
        QCOMPARE(int(endless.verdict), int(UpdateImage::Verdict::TooLarge));
        Language::setChinese(true);
        QCOMPARE(UpdateImage::load(dir.filePath("none.bin")).message,
                 QString("无法打开固件升级文件。"));
        for (auto v : {UpdateImage::Verdict::Empty, UpdateImage::Verdict::TooShort,
                       UpdateImage::Verdict::TooLarge})
            QVERIFY(UpdateImage::refusalText(v).contains("固件升级文件"));
    }

    void progressValues()
    {
        QVector<int> bar;
        for (int i = 0; i <= 4; ++i)
            bar << UpdateProgress::percentAfter(i, 4);
        QCOMPARE(bar, QVector<int>({0, 20, 40, 60, 80}));
        QCOMPARE(UpdateProgress::percentAfter(5, 4), 100);
        QCOMPARE(UpdateProgress::percentAfter(1, 1), 50);
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
        Language::setChinese(true);
        QVERIFY(p.text().endsWith("剩余 8 秒 · 重发 2 次"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateFrames)
#include "tst_updateframes.moc"
