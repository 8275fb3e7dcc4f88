#include "protocol/OutputFrame.h"

#include "protocol/Checksum.h"

#include <algorithm>

namespace OutputFrame {

QByteArray build(std::uint16_t tid, const QByteArray &payload)
{
    if (payload.size() > 255)
        return QByteArray();
    const int length = payload.size();
    QByteArray frame(length + EnvelopeSize, '\0');
    auto *p = reinterpret_cast<std::uint8_t *>(frame.data());
    p[0] = Header1;
    p[1] = Header2;
    p[2] = static_cast<std::uint8_t>(tid & 0xFF);
    p[3] = static_cast<std::uint8_t>(tid >> 8);
    p[4] = static_cast<std::uint8_t>(length);
    std::copy(payload.constBegin(), payload.constEnd(), frame.begin() + 5);
    const Checksum c = Checksum::over(p + 2, std::size_t(length) + 3);
    p[5 + length] = c.ck1;
    p[6 + length] = c.ck2;
    return frame;
}

bool isValidAt(const std::uint8_t *data, int available)
{
    if (available < EnvelopeSize || data[0] != Header1 || data[1] != Header2)
        return false;
    const int length = data[4];
    if (available < length + EnvelopeSize)
        return false;
    const Checksum c = Checksum::over(data + 2, std::size_t(length) + 3);
    return c.ck1 == data[5 + length] && c.ck2 == data[6 + length];
}

} // namespace OutputFrame
