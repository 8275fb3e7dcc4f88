#include "protocol/UpdateFrames.h"

#include "protocol/CommandFrame.h"
#include "protocol/CommandLayout.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int HeadBytes = 4; // image bytes that travel only in the start frame

void appendLE(QByteArray &b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

} // namespace

namespace UpdateFrames {

int packetCount(const QByteArray &image)
{
    if (image.size() <= HeadBytes)
        return 0;
    // In 64 bits: the rounding up must not overflow for the largest arrays.
    return int((qint64(image.size()) - HeadBytes + PacketSize - 1) / PacketSize);
}

QByteArray start(const QByteArray &image)
{
    if (image.size() < MinImageSize || packetCount(image) > MaxPackets)
        return QByteArray();
    QByteArray data;
    data.reserve(14);
    data.append(char(CommandSub::UpdateStart));
    data.append(char(0x0B));
    data.append(char(0x00));
    appendLE(data, std::uint32_t(image.size() - HeadBytes), 4);
    data.append(image.constData() + 12, 3);
    data.append(image.constData(), 4);
    return CommandFrame::build(CommandClass::Update, CommandOp::UpdateStart, data);
}

QByteArray data(const QByteArray &image, int k)
{
    const int count = packetCount(image);
    if (k < 1 || k > count || count > MaxPackets)
        return QByteArray();
    const int from = HeadBytes + PacketSize * (k - 1);
    const int m = std::min(PacketSize, image.size() - from);
    return dataFrame(QByteArray::fromRawData(image.constData() + from, m), k, count);
}

QByteArray dataFrame(const QByteArray &chunk, int k, int count)
{
    const int m = chunk.size();
    if (m < 1 || m > PacketSize || k < 1 || k > count || count > MaxPackets)
        return QByteArray();
    QByteArray d;
    d.reserve(m + 7);
    d.append(char(CommandSub::UpdateData));
    appendLE(d, std::uint32_t(m + 4), 2);
    appendLE(d, std::uint32_t(k), 2);
    appendLE(d, std::uint32_t(count), 2);
    d.append(chunk);
    return CommandFrame::build(CommandClass::Update, CommandOp::UpdateData, d);
}

QByteArray finish()
{
    return CommandFrame::build(CommandClass::Update, CommandOp::UpdateFinish, QByteArray());
}

} // namespace UpdateFrames
