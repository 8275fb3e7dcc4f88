#pragma once

// Shared pieces of the fuzz targets: a check that stops the run with a message, an
// independent checksum, chunk sizes drawn from the input, and silenced Qt debug output.

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n  ", #cond, __FILE__, __LINE__);  \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fprintf(stderr, "\n");                                                            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fuzz {

// The 8-bit Fletcher pair, written out again so that a fault in the project's own
// implementation cannot hide itself.
inline bool fletcherMatches(const std::uint8_t *covered, std::size_t n, std::uint8_t ck1,
                            std::uint8_t ck2)
{
    unsigned a = 0, b = 0;
    for (std::size_t i = 0; i < n; ++i) {
        a = (a + covered[i]) & 0xFF;
        b = (b + a) & 0xFF;
    }
    return a == ck1 && b == ck2;
}

// A command frame read independently of the project's builders: 51 56, class, length word
// (bits 0-2 operation, bits 3-15 data length), data, Fletcher pair over class to data. True
// when `frame` is exactly one such frame; its parts go to cls, op and data.
inline bool readCommand(const QByteArray &frame, int &cls, int &op, QByteArray &data)
{
    const auto *b = reinterpret_cast<const std::uint8_t *>(frame.constData());
    const int size = frame.size();
    if (size < 7 || b[0] != 0x51 || b[1] != 0x56)
        return false;
    const unsigned word = unsigned(b[3]) | (unsigned(b[4]) << 8);
    const int n = int(word >> 3);
    if (size != n + 7 || !fletcherMatches(b + 2, std::size_t(n) + 3, b[5 + n], b[6 + n]))
        return false;
    cls = b[2];
    op = int(word & 7);
    data = frame.mid(5, n);
    return true;
}

// Little-endian unsigned field of `bytes` bytes at offset `at` of data.
inline std::uint32_t readLE(const QByteArray &data, int at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(std::uint8_t(data[at + i])) << (8 * i);
    return v;
}

// Chunk sizes from 0 to `limit`, a pure function of the seed: the fuzzer steers them through
// the input bytes that make the seed. Small sizes are frequent, as on a real line.
class ChunkSizes
{
public:
    explicit ChunkSizes(std::uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
    std::size_t next(std::size_t limit)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        const std::uint32_t r = m_state;
        const std::size_t cap = (r & 3) == 0 ? limit : std::min<std::size_t>(limit, 16);
        return cap == 0 ? 0 : (r >> 2) % (cap + 1);
    }

private:
    std::uint32_t m_state;
};

// The parser reports bad input on the debug output; thousands of lines a second would only
// slow the fuzzer down.
inline void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

} // namespace fuzz
