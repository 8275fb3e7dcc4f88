#include "sim/LineGarbler.h"

#include <vector>

namespace LineGarbler {

QByteArray receive(const QByteArray &sent, int txBaud, int rxBaud)
{
    if (txBaud == rxBaud || sent.isEmpty())
        return sent;
    if (txBaud <= 0 || rxBaud <= 0)
        return QByteArray(); // a line without a rate carries nothing readable
    std::vector<bool> bits;
    bits.reserve(static_cast<std::size_t>(sent.size()) * 10);
    for (char c : sent) {
        const auto b = static_cast<unsigned char>(c);
        bits.push_back(false);
        for (int i = 0; i < 8; ++i)
            bits.push_back(((b >> i) & 1) != 0);
        bits.push_back(true);
    }
    const double n = static_cast<double>(bits.size());
    // Level at a time measured in sender bit periods; idle (1) outside the stream.
    auto level = [&](double t) {
        if (t < 0.0 || t >= n)
            return true;
        return static_cast<bool>(bits[static_cast<std::size_t>(t)]);
    };
    const double w = static_cast<double>(txBaud) / rxBaud; // receiver bit, in sender bits
    QByteArray out;
    double t = 0.0;
    std::size_t i = 0;
    while (i < bits.size()) {
        if (bits[i]) {
            ++i;
            continue;
        }
        // Falling edge at sender bit i: sample the start bit's middle, then the data bits.
        t = static_cast<double>(i);
        if (level(t + 0.5 * w)) {
            ++i; // a glitch shorter than half a receiver bit
            continue;
        }
        int value = 0;
        for (int k = 0; k < 8; ++k)
            if (level(t + (1.5 + k) * w))
                value |= 1 << k;
        out.append(static_cast<char>(value));
        // The receiver looks for the next edge after the middle of its stop bit.
        const double next = t + 9.5 * w;
        if (next >= n)
            break;
        i = static_cast<std::size_t>(next) + 1;
    }
    return out;
}

} // namespace LineGarbler
