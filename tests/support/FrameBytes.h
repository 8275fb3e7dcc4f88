#pragma once

// Byte builders for tests: output frames, answers and items, written out byte by byte
// so that the tests do not lean on the code they check.
#include <QByteArray>

#include <cstdint>

namespace FrameBytes {

inline void fletcher(const QByteArray &bytes, int from, std::uint8_t &ck1, std::uint8_t &ck2)
{
    ck1 = ck2 = 0;
    for (int i = from; i < bytes.size(); ++i) {
        ck1 = std::uint8_t(ck1 + std::uint8_t(bytes[i]));
        ck2 = std::uint8_t(ck2 + ck1);
    }
}

// The n low bytes of v, least significant first.
inline QByteArray littleEndian(qint64 v, int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char((quint64(v) >> (8 * i)) & 0xFF));
    return b;
}
inline QByteArray le16(int v)
{
    return littleEndian(v, 2);
}
inline QByteArray le32(qint64 v)
{
    return littleEndian(v, 4);
}
inline QByteArray le64(qint64 v)
{
    return littleEndian(v, 8);
}

inline QByteArray item(int id, const QByteArray &data)
{
    return QByteArray(1, char(id)) + QByteArray(1, char(data.size())) + data;
}

inline QByteArray item3(int id, qint64 x, qint64 y, qint64 z)
{
    return item(id, le32(x) + le32(y) + le32(z));
}

// Header, body and the Fletcher checksum over everything after the two sync bytes.
inline QByteArray sealed(const QByteArray &body)
{
    QByteArray b = QByteArray("\x51\x56", 2) + body;
    std::uint8_t ck1, ck2;
    fletcher(b, 2, ck1, ck2);
    return b + char(ck1) + char(ck2);
}

inline QByteArray frame(int tid, const QByteArray &payload)
{
    return sealed(le16(tid) + char(payload.size()) + payload);
}

inline QByteArray answer(int cls, int op, const QByteArray &data)
{
    return sealed(char(cls) + le16(data.size() * 8 + op) + data);
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
    return answer(0x4D, 0, QByteArray(1, char(0x02)) + char(code));
}

// A payload with every item kind, values derived from k.
inline QByteArray fullPayload(int k)
{
    const char utcTail[] = {1, 5, 12, 30, 45}; // month, day, hour, minute, second
    return item(0x01, le16(2500 + k % 100)) + item3(0x10, 1000 + k, -2000, 9806650) +
           item3(0x20, k, 2, -3) + item3(0x30, 100000, 200000, 300000) +
           item3(0x31, 40000, -50000, 60000) + item3(0x40, 1000000, -2000000, 3000000 + k) +
           item(0x41, le32(1000000) + le32(0) + le32(0) + le32(0)) +
           item(0x50, le32(123) + le16(2024) + QByteArray(utcTail, 5)) + item(0x51, le32(k)) +
           item(0x52, le32(2 * k)) + item3(0x60, 311234567, 1211234567, 12345) +
           item(0x68, le64(311234567891LL) + le64(1211234567891LL) + le32(-1000)) +
           item3(0x70, 1000, -2000, 3000) + item(0x80, QByteArray(1, char(0x44)));
}

} // namespace FrameBytes
