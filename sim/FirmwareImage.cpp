#include "sim/FirmwareImage.h"

#include <array>

namespace FirmwareImage {

namespace {

void putU32(QByteArray &b, int at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t getU32(const QByteArray &b, int at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + i])) << (8 * i);
    return v;
}

} // namespace

std::uint32_t crc32(const char *data, int length)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (int i = 0; i < length; ++i)
        c = table[(c ^ static_cast<std::uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray make(const QString &versionText, int payloadSize, std::uint32_t seed)
{
    if (payloadSize < 0)
        payloadSize = 0;
    QByteArray image(HeaderSize + payloadSize, '\0');
    image[0] = 'A';
    image[1] = 'R';
    image[2] = 'V';
    image[3] = 'F';
    putU32(image, 4, static_cast<std::uint32_t>(image.size()));
    image[12] = '8';
    image[13] = '0';
    image[14] = '6';
    const QByteArray text = versionText.toLatin1().left(VersionSize);
    for (int i = 0; i < text.size(); ++i)
        image[VersionOffset + i] = text[i];
    std::uint32_t x = seed * 2654435761u + 1;
    for (int i = HeaderSize; i < image.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        image[i] = static_cast<char>(x & 0xFF);
    }
    putU32(image, 8, crc32(image.constData() + 16, image.size() - 16));
    return image;
}

Check check(const QByteArray &image)
{
    if (image.size() < 4 || !image.startsWith("ARVF"))
        return Check::BadMagic;
    if (image.size() < HeaderSize || getU32(image, 4) != static_cast<std::uint32_t>(image.size()))
        return Check::BadSize;
    if (getU32(image, 8) != crc32(image.constData() + 16, image.size() - 16))
        return Check::BadCrc;
    return Check::Ok;
}

QString version(const QByteArray &image)
{
    if (image.size() < HeaderSize)
        return QString();
    QByteArray text = image.mid(VersionOffset, VersionSize);
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    return QString::fromLatin1(text);
}

} // namespace FirmwareImage
