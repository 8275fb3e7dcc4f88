#include "protocol/CommandFrame.h"

#include "protocol/Checksum.h"
#include "protocol/CommandLayout.h"
#include "protocol/RateTables.h"

#include <cmath>

namespace {

void appendLE(QByteArray &b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// value × factor truncated toward zero, if that fits [lo, hi]; false otherwise (NaN too).
bool scaledFits(double value, double factor, double lo, double hi, std::int32_t &out)
{
    const double t = std::trunc(value * factor);
    if (!(t >= lo && t <= hi))
        return false;
    out = static_cast<std::int32_t>(t);
    return true;
}

bool toInt32Micro(double value, std::int32_t &out)
{
    return scaledFits(value, 1000000.0, -2147483648.0, 2147483647.0, out);
}

QByteArray byteCommand(std::uint8_t cls, std::uint8_t op, std::uint8_t value)
{
    return CommandFrame::build(cls, op, QByteArray(1, static_cast<char>(value)));
}

QByteArray algorithmCommand(std::uint8_t sub, int code)
{
    if (code < 0 || code > 255)
        return QByteArray();
    QByteArray data;
    data.append(static_cast<char>(sub));
    data.append(static_cast<char>(code));
    return CommandFrame::build(CommandClass::Algorithm, CommandOp::Set, data);
}

} // namespace

namespace CommandFrame {

QByteArray build(std::uint8_t cls, std::uint8_t op, const QByteArray &data)
{
    using namespace CommandLayout;
    const int n = data.size();
    if (n > MaxDataLength)
        return QByteArray();
    QByteArray frame(n + EnvelopeSize, '\0');
    auto *p = reinterpret_cast<std::uint8_t *>(frame.data());
    const unsigned word = lengthWord(n, op);
    p[0] = Header1;
    p[1] = Header2;
    p[2] = cls;
    p[3] = static_cast<std::uint8_t>(word & 0xFF);
    p[4] = static_cast<std::uint8_t>(word >> 8);
    for (int i = 0; i < n; ++i)
        p[DataOffset + i] = static_cast<std::uint8_t>(data[i]);
    const Checksum c = Checksum::over(p + 2, std::size_t(n) + 3);
    p[DataOffset + n] = c.ck1;
    p[DataOffset + n + 1] = c.ck2;
    return frame;
}

QByteArray queryProductId()
{
    return byteCommand(CommandClass::Identity, CommandOp::Query, CommandSub::ProductId);
}

QByteArray queryVersion()
{
    return byteCommand(CommandClass::Identity, CommandOp::Query, CommandSub::Version);
}

QByteArray queryFrequency()
{
    return build(CommandClass::Frequency, CommandOp::Query, QByteArray());
}

QByteArray queryAlgorithm()
{
    return byteCommand(CommandClass::Algorithm, CommandOp::Query, CommandSub::AlgorithmMode);
}

QByteArray setBaudRate(int baud)
{
    return byteCommand(CommandClass::Baud, CommandOp::Set,
                       static_cast<std::uint8_t>(RateTables::baudCode(baud)));
}

QByteArray setFrequency(int hz, const QString &model, const QString &suffix)
{
    return byteCommand(CommandClass::Frequency, CommandOp::Set,
                       static_cast<std::uint8_t>(RateTables::codeForRate(hz, model, suffix)));
}

QByteArray setContents(std::uint16_t mask)
{
    QByteArray data;
    appendLE(data, mask, 2);
    return build(CommandClass::Contents, CommandOp::Set, data);
}

QByteArray setAlgorithmMode(int modeCode)
{
    return algorithmCommand(CommandSub::AlgorithmMode, modeCode);
}

QByteArray setOutputProtocol(int protocolCode)
{
    return algorithmCommand(CommandSub::OutputProtocol, protocolCode);
}

QByteArray setRateRange(int rangeCode)
{
    return algorithmCommand(CommandSub::RateRange, rangeCode);
}

QByteArray zeroHeading()
{
    return byteCommand(CommandClass::Heading, CommandOp::Heading, CommandSub::HeadingZero);
}

QByteArray setAttitude(double pitchDeg, double rollDeg)
{
    std::int32_t pitch = 0;
    std::int32_t roll = 0;
    if (!scaledFits(pitchDeg, 100.0, -32768.0, 32767.0, pitch) ||
        !scaledFits(rollDeg, 100.0, -32768.0, 32767.0, roll))
        return QByteArray();
    QByteArray data;
    data.append(char(CommandSub::AttitudeSet));
    data.append(char(0x04));
    appendLE(data, std::uint32_t(pitch), 2);
    appendLE(data, std::uint32_t(roll), 2);
    return build(CommandClass::Calibration, CommandOp::Set, data);
}

QByteArray writeGyroBias(double x, double y, double z)
{
    std::int32_t raw[3];
    if (!toInt32Micro(x, raw[0]) || !toInt32Micro(y, raw[1]) || !toInt32Micro(z, raw[2]))
        return QByteArray();
    QByteArray data;
    data.append(char(CommandSub::GyroBias));
    data.append(char(0x0C));
    for (std::int32_t v : raw)
        appendLE(data, std::uint32_t(v), 4);
    return build(CommandClass::Calibration, CommandOp::Set, data);
}

QByteArray writeMagCalibration(const std::array<double, 12> &params)
{
    QByteArray data;
    data.reserve(50);
    data.append(char(CommandSub::MagCalibration));
    data.append(char(0x30));
    for (double v : params) {
        std::int32_t raw = 0;
        if (!toInt32Micro(v, raw))
            return QByteArray();
        appendLE(data, std::uint32_t(raw), 4);
    }
    return build(CommandClass::Calibration, CommandOp::Set, data);
}

} // namespace CommandFrame
