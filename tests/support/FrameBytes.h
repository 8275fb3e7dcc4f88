#pragma once

// Byte builders for tests: output frames, answers and items, written out byte by byte
// so that the tests do not lean on the code they check.
#include <QByteArray>

#include <cstdint>

namespace FrameBytes {

inline void fletcher(const QByteArray &bytes, int from, std::uint8_t &ck1, std::uint8_t &ck2)
{
    ck1 = 0;
    ck2 = 0;
    for (int i = from; i < bytes.size(); ++i) {
        ck1 = std::uint8_t(ck1 + std::uint8_t(bytes[i]));
        ck2 = std::uint8_t(ck2 + ck1);
    }
}

inline QByteArray le16(int v)
{
    QByteArray b;
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
    return b;
}

inline QByteArray le32(qint64 v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((quint64(v) >> (8 * i)) & 0xFF));
    return b;
}

inline QByteArray le64(qint64 v)
{
    QByteArray b;
    for (int i = 0; i < 8; ++i)
        b.append(char((quint64(v) >> (8 * i)) & 0xFF));
    return b;
}

inline QByteArray item(int id, const QByteArray &data)
{
    QByteArray b;
    b.append(char(id));
    b.append(char(data.size()));
    return b + data;
}

inline QByteArray item3(int id, qint64 x, qint64 y, qint64 z)
{
    return item(id, le32(x) + le32(y) + le32(z));
}

inline QByteArray frame(int tid, const QByteArray &payload)
{
    QByteArray b("\x51\x56", 2);
    b += le16(tid);
    b.append(char(payload.size()));
    b += payload;
    std::uint8_t ck1, ck2;
    fletcher(b, 2, ck1, ck2);
    b.append(char(ck1));
    b.append(char(ck2));
    return b;
}

inline QByteArray answer(int cls, int op, const QByteArray &data)
{
    QByteArray b("\x51\x56", 2);
    b.append(char(cls));
    b += le16(data.size() * 8 + op);
    b += data;
    std::uint8_t ck1, ck2;
    fletcher(b, 2, ck1, ck2);
    b.append(char(ck1));
    b.append(char(ck2));
    return b;
}

inline QByteArray productIdAnswer(const QByteArray &id)
{
    return answer(0x00, 0, QByteArray("\x01\x00", 2) + id);
}

inline QByteArray versionAnswer(const QByteArray &text)
{
    return answer(0x00, 0, QByteArray("\x02\x00", 2) + text);
}

inline QByteArray frequencyAnswer(int code)
{
    return answer(0x03, 0, QByteArray(1, char(code)));
}

inline QByteArray algorithmAnswer(int code)
{
    return answer(0x4D, 0, QByteArray(1, char(0x02)) + QByteArray(1, char(code)));
}

// A payload with every item kind, values derived from k.
inline QByteArray fullPayload(int k)
{
    QByteArray p;
    p += item(0x01, le16(2500 + k % 100));
    p += item3(0x10, 1000 + k, -2000, 9806650);
    p += item3(0x20, k, 2, -3);
    p += item3(0x30, 100000, 200000, 300000);
    p += item3(0x31, 40000, -50000, 60000);
    p += item3(0x40, 1000000, -2000000, 3000000 + k);
    p += item(0x41, le32(1000000) + le32(0) + le32(0) + le32(0));
    QByteArray utc = le32(123) + le16(2024);
    utc.append(char(1));
    utc.append(char(5));
    utc.append(char(12));
    utc.append(char(30));
    utc.append(char(45));
    p += item(0x50, utc);
    p += item(0x51, le32(k));
    p += item(0x52, le32(2 * k));
    p += item3(0x60, 311234567, 1211234567, 12345);
    p += item(0x68, le64(311234567891LL) + le64(1211234567891LL) + le32(-1000));
    p += item3(0x70, 1000, -2000, 3000);
    p += item(0x80, QByteArray(1, char(0x44)));
    return p;
}

} // namespace FrameBytes
