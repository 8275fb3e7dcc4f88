// Firmware images as the user loads them: the input is the image file. It is checked and cut
// into the transfer's frames; one input in eight (by its size, so that every size class is
// among them) is also written to a file and loaded as the update window does, since the
// file's round trip costs far more than the rest. Checked:
// - load() gives the file's bytes and the verdict of check(), with a message exactly when
//   the image is refused; the verdict follows the size (empty, under 15 bytes, fits);
// - the frames, read independently: the start frame with the size less 4, image bytes 12 to
//   14 and 0 to 3; data frames 1 to P in order, each numbered k of P with 256 image bytes
//   (the last one the rest); the finish frame last. Put together, they give the image back;
// - imageBytesOf() agrees with every frame and sums to the image size.

#include "FuzzSupport.h"

#include "update/UpdateImage.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QVector>

#include <unistd.h>

namespace {

QString imagePath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("fuzz_updateimage_%1.bin").arg(::getpid()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    using UpdateImage::Verdict;
    const Verdict expected = size == 0                                  ? Verdict::Empty
                             : size < std::size_t(UpdateImage::MinSize) ? Verdict::TooShort
                                                                        : Verdict::Ok;
    FUZZ_CHECK(UpdateImage::check(bytes) == expected, "verdict %d for %zu bytes",
               int(UpdateImage::check(bytes)), size);
    if (size % 8 == 0) {
        {
            QFile file(imagePath());
            FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                           file.write(bytes) == bytes.size(),
                       "cannot write %s", qPrintable(imagePath()));
        }
        const UpdateImage::Loaded loaded = UpdateImage::load(imagePath());
        QFile::remove(imagePath());
        FUZZ_CHECK(loaded.verdict == expected, "loaded verdict %d for %zu bytes",
                   int(loaded.verdict), size);
        FUZZ_CHECK(loaded.message.isEmpty() == (expected == Verdict::Ok), "message \"%s\"",
                   qPrintable(loaded.message));
        FUZZ_CHECK(loaded.image == (expected == Verdict::Ok ? bytes : QByteArray()),
                   "loaded %d bytes of %zu", int(loaded.image.size()), size);
    }
    const QVector<QByteArray> frames = UpdateImage::frames(bytes);
    if (expected != Verdict::Ok) {
        FUZZ_CHECK(frames.isEmpty(), "%d frames for a refused image", int(frames.size()));
        return 0;
    }
    const int n = int(size);
    const int packets = (n - 4 + 255) / 256;
    FUZZ_CHECK(frames.size() == packets + 2, "%d frames for %d bytes", int(frames.size()), n);

    int cls = 0, op = 0;
    QByteArray d;
    FUZZ_CHECK(fuzz::readCommand(frames.first(), cls, op, d) && cls == 0xFF && op == 1 &&
                   d.size() == 14 && d.at(0) == 0x01 && d.at(1) == 0x0B && d.at(2) == 0x00,
               "start frame layout");
    FUZZ_CHECK(fuzz::readLE(d, 3, 4) == std::uint32_t(n - 4) && d.mid(7, 3) == bytes.mid(12, 3),
               "start frame fields");
    QByteArray rebuilt = d.mid(10, 4);
    int carried = UpdateImage::imageBytesOf(n, 0);
    FUZZ_CHECK(carried == 4, "start frame carries %d image bytes", carried);

    for (int k = 1; k <= packets; ++k) {
        FUZZ_CHECK(fuzz::readCommand(frames[k], cls, op, d) && cls == 0xFF && op == 2 &&
                       d.size() >= 8 && d.at(0) == 0x02,
                   "data frame %d layout", k);
        const int m = int(fuzz::readLE(d, 1, 2)) - 4;
        FUZZ_CHECK(m == d.size() - 7 && m == (k < packets ? 256 : n - 4 - 256 * (packets - 1)) &&
                       m == UpdateImage::imageBytesOf(n, k),
                   "data frame %d: %d bytes", k, m);
        FUZZ_CHECK(int(fuzz::readLE(d, 3, 2)) == k && int(fuzz::readLE(d, 5, 2)) == packets,
                   "data frame %d numbered %u of %u", k, fuzz::readLE(d, 3, 2),
                   fuzz::readLE(d, 5, 2));
        rebuilt += d.mid(7);
        carried += m;
    }
    FUZZ_CHECK(frames.last() == QByteArray::fromHex("5156FF06000509"), "finish frame %s",
               frames.last().toHex().constData());
    FUZZ_CHECK(UpdateImage::imageBytesOf(n, packets + 1) == 0 &&
                   UpdateImage::imageBytesOf(n, packets + 2) == 0,
               "bytes beyond the data frames");
    FUZZ_CHECK(rebuilt == bytes && carried == n, "the frames do not give the image back");
    return 0;
}
