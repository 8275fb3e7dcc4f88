#include "protocol/Checksum.h"

Checksum Checksum::over(const std::uint8_t *data, std::size_t length)
{
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::size_t i = 0; i < length; ++i) {
        a = static_cast<std::uint8_t>(a + data[i]);
        b = static_cast<std::uint8_t>(b + a);
    }
    Checksum c;
    c.ck1 = a;
    c.ck2 = b;
    return c;
}
