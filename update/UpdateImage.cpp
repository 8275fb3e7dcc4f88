#include "update/UpdateImage.h"

#include "common/Language.h"
#include "protocol/UpdateFrames.h"

#include <QFile>

namespace UpdateImage {

Verdict check(const QByteArray &image)
{
    if (image.isEmpty())
        return Verdict::Empty;
    if (image.size() < MinSize)
        return Verdict::TooShort;
    if (image.size() > MaxSize)
        return Verdict::TooLarge;
    return Verdict::Ok;
}

QString refusalText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok:
        return QString();
    case Verdict::Empty:
        return Language::text("固件升级文件为空，无法升级。",
                              "The update file is empty and cannot be used!");
    case Verdict::TooShort:
        return Language::text("固件升级文件太小（至少 15 字节），无法升级。",
                              "The update file is too small (at least 15 bytes) to be used!");
    case Verdict::TooLarge:
        return Language::text(
            "固件升级文件太大（最多 65535 个数据包，16776964 字节），无法升级。",
            "The update file is too large (at most 65535 packets, 16776964 bytes) to be used!");
    case Verdict::Unreadable:
        break;
    }
    return Language::text("无法打开固件升级文件。", "The update file cannot be loaded!");
}

QVector<QByteArray> frames(const QByteArray &image)
{
    QVector<QByteArray> out;
    if (check(image) != Verdict::Ok)
        return out;
    const int count = UpdateFrames::packetCount(image);
    out.reserve(count + 2);
    out.append(UpdateFrames::start(image));
    for (int k = 1; k <= count; ++k)
        out.append(UpdateFrames::data(image, k));
    out.append(UpdateFrames::finish());
    return out;
}

int imageBytesOf(int imageSize, int frameIndex)
{
    if (imageSize < MinSize || imageSize > MaxSize || frameIndex < 0)
        return 0;
    const int count = (imageSize - 4 + UpdateFrames::PacketSize - 1) / UpdateFrames::PacketSize;
    if (frameIndex == 0)
        return 4;
    if (frameIndex > count)
        return 0;
    if (frameIndex < count)
        return UpdateFrames::PacketSize;
    return imageSize - 4 - UpdateFrames::PacketSize * (count - 1);
}

Loaded load(const QString &path)
{
    Loaded result;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        result.message = refusalText(result.verdict);
        return result;
    }
    QByteArray bytes = file.read(qint64(MaxSize) + 1);
    if (file.error() != QFileDevice::NoError) {
        result.message = refusalText(result.verdict);
        return result;
    }
    result.verdict = check(bytes);
    result.message = refusalText(result.verdict);
    if (result.verdict == Verdict::Ok)
        result.image = std::move(bytes);
    return result;
}

} // namespace UpdateImage
