#pragma once

#include <cstddef>
#include <cstdint>

// The 8-bit Fletcher pair that protects output frames, command frames, answers and
// update frames. Both sums start at 0; for each byte ck1 += byte, then ck2 += ck1 (mod 256).
struct Checksum
{
    std::uint8_t ck1 = 0;
    std::uint8_t ck2 = 0;

    static Checksum over(const std::uint8_t *data, std::size_t length);
    static Checksum over(const char *data, std::size_t length)
    {
        return over(reinterpret_cast<const std::uint8_t *>(data), length);
    }

    bool operator==(const Checksum &o) const { return ck1 == o.ck1 && ck2 == o.ck2; }
    bool operator!=(const Checksum &o) const { return !(*this == o); }
};
