#include "sim/UnitCore.h"

#include "protocol/Answer.h"
#include "protocol/Checksum.h"
#include "protocol/CommandFrame.h"
#include "protocol/CommandLayout.h"
#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"
#include "protocol/OutputFrame.h"
#include "protocol/RateTables.h"
#include "sim/FirmwareImage.h"
#include "sim/SimLog.h"

#include <QDateTime>

#include <cmath>

namespace {

constexpr int ReceivedKeep = 64 * 1024;
constexpr double FragmentTimeout = 0.2; // an incomplete command older than this is dropped
constexpr std::uint32_t MaxImage = 16u * 1024u * 1024u;

std::uint16_t u16(const QByteArray &d, int at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(d[at]) |
                                      (static_cast<std::uint8_t>(d[at + 1]) << 8));
}

std::int32_t i32(const QByteArray &d, int at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

double wrap180(double deg)
{
    double w = std::fmod(deg + 180.0, 360.0);
    if (w < 0.0)
        w += 360.0;
    return w - 180.0;
}

void appendItem(QByteArray &payload, std::uint8_t id, const double *values)
{
    if (const ItemKind *kind = ItemKind::find(id))
        ItemCodec::appendItem(payload, *kind, values);
}

QByteArray nmeaSentence(const QByteArray &body)
{
    std::uint8_t x = 0;
    for (char c : body)
        x ^= static_cast<std::uint8_t>(c);
    return "$" + body + "*" + QByteArray::number(x, 16).toUpper().rightJustified(2, '0') + "\r\n";
}

QByteArray nmeaAngle(double deg, int degreeDigits)
{
    deg = std::fabs(deg);
    const int whole = static_cast<int>(deg);
    const double minutes = (deg - whole) * 60.0;
    return QByteArray::number(whole).rightJustified(degreeDigits, '0') +
           QByteArray::number(minutes, 'f', 5).rightJustified(8, '0');
}

} // namespace

UnitCore::UnitCore(const UnitConfig &config)
    : m_model(config.motion), m_faults(config.faults), m_baud(config.baudRate),
      m_frequencyCode(config.frequencyCode), m_mask(config.contentMask),
      m_precise(config.preciseLocation), m_mode(config.algorithmMode),
      m_productId(config.productId), m_version(config.version),
      m_restartSeconds(config.restartSeconds)
{
    // Until a calibration is written the normalised field is the raw reading scaled by the
    // nominal field strength: an uncalibrated, distorted field of about unit size.
    if (m_frequencyCode < 1 || m_frequencyCode > 14)
        m_frequencyCode = 8;
    const double k = config.motion.magStrength != 0.0 ? 1.0 / config.motion.magStrength : 1.0;
    m_cal.mag = {k, 0, 0, 0, k, 0, 0, 0, k, 0, 0, 0};
}

void UnitCore::powerUp()
{
    m_rx.clear();
    m_tx.clear();
    m_rxSince = 0.0;
    m_updatePhase = UpdatePhase::Idle;
    m_updateLast = 0.0;
    m_finishedAt = -1.0;
}

QString UnitCore::model() const
{
    return AnswerReader::splitVersion(m_version).model;
}

QString UnitCore::suffix() const
{
    return AnswerReader::splitVersion(m_version).suffix;
}

void UnitCore::setIdentity(const QByteArray &productId, const QString &version)
{
    m_productId = productId;
    m_version = version;
}

bool UnitCore::setFrequencyCode(int code)
{
    if (code < 1 || code > 14)
        return false;
    m_frequencyCode = code;
    return true;
}

double UnitCore::configuredRateHz() const
{
    return RateTables::rateForCode(m_frequencyCode, model(), suffix());
}

double UnitCore::outputRateHz() const
{
    const double rate = configuredRateHz();
    return m_rateRange == 2 && rate > 100.0 ? 100.0 : rate;
}

double UnitCore::roll01()
{
    return MotionModel::uniform(m_model.config().seed ^ 0xFA17ull, m_dice++, 0);
}

// --- receiving ------------------------------------------------------------------------

void UnitCore::receive(const QByteArray &bytes, double now)
{
    if (bytes.isEmpty())
        return;
    m_counters.bytesReceived += static_cast<std::uint64_t>(bytes.size());
    m_received.append(bytes);
    if (m_received.size() > ReceivedKeep)
        m_received.remove(0, m_received.size() - ReceivedKeep);
    if (m_updatePhase == UpdatePhase::Restarting)
        tick(now); // the restart may be over, even when nothing ticked the unit since
    if (m_updatePhase == UpdatePhase::Restarting)
        return; // a booting unit hears nothing
    if (m_rx.isEmpty())
        m_rxSince = now;
    m_rx.append(bytes);
    tick(now);
}

void UnitCore::tick(double now)
{
    if (m_updatePhase == UpdatePhase::Restarting) {
        if (now - m_updateLast >= m_restartSeconds)
            m_updatePhase = UpdatePhase::Idle;
        return;
    }
    if (m_updatePhase == UpdatePhase::Receiving && now - m_updateLast > UpdateTimeoutSeconds)
        m_updatePhase = UpdatePhase::Idle; // the host gave up

    for (;;) {
        const int start = m_rx.indexOf(char(CommandLayout::Header1));
        if (start < 0) {
            m_rx.clear();
            return;
        }
        if (start > 0) {
            m_rx.remove(0, start);
            m_rxSince = now;
        }
        const auto *b = reinterpret_cast<const std::uint8_t *>(m_rx.constData());
        const int size = m_rx.size();
        if (size >= 2 && b[1] != CommandLayout::Header2) {
            m_rx.remove(0, 1);
            m_rxSince = now;
            continue;
        }
        if (size < CommandLayout::DataOffset) {
            if (now - m_rxSince > FragmentTimeout) {
                m_rx.remove(0, 1);
                m_rxSince = now;
                continue;
            }
            return;
        }
        const unsigned word = CommandLayout::lengthWordAt(b);
        const int n = CommandLayout::dataLengthOf(word);
        if (n > MaxCommandData) {
            m_rx.remove(0, 1);
            m_rxSince = now;
            continue;
        }
        if (size < n + CommandLayout::EnvelopeSize) {
            if (now - m_rxSince > FragmentTimeout) {
                m_rx.remove(0, 1);
                m_rxSince = now;
                continue;
            }
            return;
        }
        const Checksum ck = Checksum::over(b + 2, static_cast<std::size_t>(n + 3));
        if (ck.ck1 != b[CommandLayout::DataOffset + n] ||
            ck.ck2 != b[CommandLayout::DataOffset + n + 1]) {
            m_rx.remove(0, 1);
            m_rxSince = now;
            continue;
        }
        const std::uint8_t cls = b[2];
        const auto op = static_cast<std::uint8_t>(CommandLayout::opOf(word));
        const QByteArray data = m_rx.mid(CommandLayout::DataOffset, n);
        m_rx.remove(0, n + CommandLayout::EnvelopeSize);
        m_rxSince = now;
        ++m_counters.commandsHandled;
        qCDebug(lcSim) << "command: class" << QByteArray::number(cls, 16) << "op" << int(op)
                       << "data" << data.toHex(' ');
        handle(cls, op, data, now);
        if (m_updatePhase == UpdatePhase::Restarting) {
            m_rx.clear();
            return;
        }
    }
}

QByteArray UnitCore::takeAnswers()
{
    QByteArray out;
    out.swap(m_tx);
    return out;
}

void UnitCore::answer(std::uint8_t cls, std::uint8_t op, const QByteArray &data)
{
    if (m_faults.dropAnswerShare > 0.0 && roll01() < m_faults.dropAnswerShare) {
        ++m_counters.answersDropped;
        return;
    }
    ++m_counters.answersSent;
    m_tx.append(CommandFrame::build(cls, op, data));
}

void UnitCore::handle(std::uint8_t cls, std::uint8_t op, const QByteArray &data, double now)
{
    const int n = data.size();
    const auto byte = [&](int i) { return static_cast<std::uint8_t>(data[i]); };
    using namespace CommandSub;
    constexpr char Ok = char(AnswerStatus::Success);
    constexpr char Failed = char(AnswerStatus::Failure);
    switch (cls) {
    case CommandClass::Identity:
        if (n >= 1 && byte(0) == ProductId) {
            QByteArray d;
            d.append(char(ProductId))
                .append(static_cast<char>(m_productId.size()))
                .append(m_productId);
            answer(cls, op, d);
        } else if (n >= 1 && byte(0) == Version) {
            const QByteArray text = m_version.toLatin1();
            QByteArray d;
            d.append(char(Version)).append(static_cast<char>(text.size() & 0xFF)).append(text);
            answer(cls, op, d);
        }
        break;
    case CommandClass::Heading:
        if (n >= 1 && byte(0) == HeadingZero) {
            m_cal.yawOffset = -m_model.attitude(now)[2];
            ++m_cal.headingZeros;
        }
        break;
    case CommandClass::Baud: // no answer, in effect at once
        if (n == 1) {
            const int baud = RateTables::baudForCode(byte(0));
            if (baud > 0)
                m_baud = baud;
        }
        break;
    case CommandClass::Frequency:
        if (n == 0) {
            answer(cls, op, QByteArray(1, static_cast<char>(m_frequencyCode)));
        } else {
            const bool ok = n == 1 && setFrequencyCode(byte(0));
            answer(cls, op, QByteArray(1, ok ? Ok : Failed));
        }
        break;
    case CommandClass::Contents:
        if (n == 2) {
            m_mask = u16(data, 0);
            answer(cls, op, QByteArray(1, Ok));
        } else {
            answer(cls, op, QByteArray(1, Failed));
        }
        break;
    case CommandClass::Calibration:
        handleCalibration(data, now);
        break;
    case CommandClass::Algorithm:
        if (n == 1 && byte(0) == AlgorithmMode) {
            QByteArray d;
            d.append(char(AlgorithmMode)).append(static_cast<char>(m_mode));
            answer(cls, op, d);
        } else if (n == 2 && byte(0) == AlgorithmMode) {
            const bool ok = byte(1) >= 1 && byte(1) <= 5;
            if (ok)
                m_mode = byte(1);
            QByteArray d;
            d.append(char(AlgorithmMode)).append(ok ? Ok : Failed);
            answer(cls, op, d);
        } else if (n == 2 && byte(0) == OutputProtocol) {
            if (byte(1) == 1 || byte(1) == 2)
                m_protocol = byte(1); // no answer
        } else if (n == 2 && byte(0) == RateRange) {
            if (byte(1) == 1 || byte(1) == 2)
                m_rateRange = byte(1); // no answer
        }
        break;
    case CommandClass::Update:
        handleUpdate(op, data, now);
        break;
    default:
        break;
    }
}

void UnitCore::handleCalibration(const QByteArray &data, double now)
{
    if (data.size() < 2 || static_cast<std::uint8_t>(data[1]) != data.size() - 2)
        return;
    switch (static_cast<std::uint8_t>(data[0])) {
    case CommandSub::AttitudeSet: // pitch ×100, roll ×100
        if (data.size() == 6) {
            const double pitch = static_cast<std::int16_t>(u16(data, 2)) / 100.0;
            const double roll = static_cast<std::int16_t>(u16(data, 4)) / 100.0;
            const auto truth = m_model.attitude(now);
            m_cal.setPitch = pitch;
            m_cal.setRoll = roll;
            m_cal.pitchOffset = pitch - truth[0];
            m_cal.rollOffset = roll - truth[1];
            ++m_cal.attitudeSets;
        }
        break;
    case CommandSub::GyroBias: // ×1e6
        if (data.size() == 14) {
            for (int i = 0; i < 3; ++i)
                m_cal.gyroBias[i] = i32(data, 2 + 4 * i) / 1e6;
            m_cal.gyroWritten = true;
        }
        break;
    case CommandSub::MagCalibration: // ×1e6
        if (data.size() == 50) {
            for (int i = 0; i < 12; ++i)
                m_cal.mag[i] = i32(data, 2 + 4 * i) / 1e6;
            m_cal.magWritten = true;
        }
        break;
    default:
        break;
    }
}

// --- firmware update -----------------------------------------------------------------------

void UnitCore::updateAnswer(std::uint8_t op, int status, int frameIndex)
{
    (void)frameIndex;
    m_counters.lastUpdateStatus = status;
    if (status != AnswerStatus::Success)
        m_updatePhase = UpdatePhase::Idle; // any error ends the transfer
    if (m_faults.dropUpdateAckShare > 0.0 && roll01() < m_faults.dropUpdateAckShare) {
        ++m_counters.answersDropped;
        return;
    }
    if (status == AnswerStatus::Success)
        ++m_counters.updateFramesAcked;
    m_tx.append(
        CommandFrame::build(CommandClass::Update, op, QByteArray(1, static_cast<char>(status))));
}

void UnitCore::handleUpdate(std::uint8_t op, const QByteArray &data, double now)
{
    const int n = data.size();
    const auto byte = [&](int i) { return static_cast<std::uint8_t>(data[i]); };
    // Which frame this is, for the injected error: 0 start, k data frame k, -1 finish.
    int index = -2;
    if (op == CommandOp::UpdateStart)
        index = 0;
    else if (op == CommandOp::UpdateFinish)
        index = -1;
    else if (op == CommandOp::UpdateData && n >= 5)
        index = u16(data, 3);
    if (m_faults.updateErrorStatus >= 0 && index == m_faults.updateErrorFrame &&
        (index == 0 || m_updatePhase == UpdatePhase::Receiving)) {
        updateAnswer(op, m_faults.updateErrorStatus & 0xFF, index);
        return;
    }

    if (op == CommandOp::UpdateStart) {
        if (n != 14 || byte(0) != CommandSub::UpdateStart || byte(1) != 0x0B || byte(2) != 0x00) {
            updateAnswer(op, 0xE0, index);
            return;
        }
        const std::uint32_t rest = static_cast<std::uint32_t>(i32(data, 3));
        const QByteArray head = data.mid(10, 4);
        if (head != "ARVF") {
            updateAnswer(op, 0xE3, index);
            return;
        }
        if (rest + 4 < static_cast<std::uint32_t>(FirmwareImage::HeaderSize) || rest > MaxImage) {
            updateAnswer(op, 0xE0, index);
            return;
        }
        m_updatePhase = UpdatePhase::Receiving;
        m_updateLast = now;
        m_finishedAt = -1.0;
        m_imageSize = rest + 4;
        m_packets = static_cast<int>((rest + 255) / 256);
        m_nextPacket = 1;
        m_image = head;
        m_image.reserve(static_cast<int>(m_imageSize));
        m_lastPacket.clear();
        m_imageComplete = false;
        updateAnswer(op, AnswerStatus::Success, index);
        return;
    }
    if (op == CommandOp::UpdateData) {
        if (m_updatePhase != UpdatePhase::Receiving) {
            updateAnswer(op, 0xA1, index);
            return;
        }
        m_updateLast = now;
        if (n < 7 || byte(0) != CommandSub::UpdateData || u16(data, 1) != n - 3) {
            updateAnswer(op, 0xE0, index);
            return;
        }
        const int k = u16(data, 3);
        const int count = u16(data, 5);
        if (count != m_packets) {
            updateAnswer(op, 0xE4, index);
            return;
        }
        if (k == m_nextPacket - 1 && data == m_lastPacket) {
            updateAnswer(op, AnswerStatus::Success,
                         index); // a resend of the last frame: acknowledge again
            return;
        }
        if (k != m_nextPacket) {
            updateAnswer(op, 0xE4, index);
            return;
        }
        const int m = n - 7;
        const int remaining = static_cast<int>(m_imageSize) - m_image.size();
        if ((k < m_packets && m != 256) || (k == m_packets && m != remaining)) {
            updateAnswer(op, 0xE0, index);
            return;
        }
        m_image.append(data.mid(7));
        m_lastPacket = data;
        ++m_nextPacket;
        if (k == m_packets) {
            if (FirmwareImage::check(m_image) != FirmwareImage::Check::Ok) {
                updateAnswer(op, 0xE2, index);
                return;
            }
            m_imageComplete = true;
            m_newVersion = FirmwareImage::version(m_image);
        }
        updateAnswer(op, AnswerStatus::Success, index);
        return;
    }
    if (op == CommandOp::UpdateFinish) {
        if (m_updatePhase == UpdatePhase::Idle && m_finishedAt >= 0.0 &&
            now - m_finishedAt < UpdateTimeoutSeconds) {
            updateAnswer(op, AnswerStatus::Success,
                         index); // its answer was lost: the update did succeed
            return;
        }
        if (m_updatePhase != UpdatePhase::Receiving) {
            updateAnswer(op, 0xA1, index);
            return;
        }
        if (!m_imageComplete) {
            updateAnswer(op, AnswerStatus::Failure, index);
            return;
        }
        if (m_newVersion == m_version) {
            updateAnswer(op, 0xA0, index);
            return;
        }
        updateAnswer(op, AnswerStatus::Success, index);
        m_version = m_newVersion;
        ++m_counters.updatesCompleted;
        qCDebug(lcSim) << "firmware updated to" << m_newVersion;
        m_updatePhase = UpdatePhase::Restarting;
        m_updateLast = now;
        m_finishedAt = now;
        m_image.clear();
        return;
    }
    updateAnswer(op, 0xE0, index);
}

// --- output --------------------------------------------------------------------------------

UnitCore::Reported UnitCore::reported(double t, std::uint64_t n) const
{
    Reported r;
    r.truth = m_model.sample(t, n);
    r.euler = {wrap180(r.truth.euler[0] + m_cal.pitchOffset),
               wrap180(r.truth.euler[1] + m_cal.rollOffset),
               wrap180(r.truth.euler[2] + m_cal.yawOffset)};
    if (std::fabs(r.euler[0]) > 90.0) { // keep pitch in its ±90° range
        r.euler[0] = (r.euler[0] > 0 ? 180.0 : -180.0) - r.euler[0];
        r.euler[1] = wrap180(r.euler[1] + 180.0);
        r.euler[2] = wrap180(r.euler[2] + 180.0);
    }
    r.quat = MotionModel::quaternionFromEuler(r.euler[0], r.euler[1], r.euler[2]);
    for (int i = 0; i < 3; ++i) {
        r.gyro[i] = r.truth.gyro[i] - m_cal.gyroBias[i];
        r.accel[i] = r.truth.accel[i];
        r.magRaw[i] = r.truth.magRaw[i];
    }
    for (int i = 0; i < 3; ++i) {
        r.magNormalised[i] = m_cal.mag[9 + i];
        for (int j = 0; j < 3; ++j)
            r.magNormalised[i] += m_cal.mag[3 * i + j] * r.magRaw[j];
    }
    return r;
}

QByteArray UnitCore::buildOutput(double t, std::uint64_t n)
{
    const std::uint16_t tid = m_tid++;
    ++m_counters.framesSent;
    const Reported r = reported(t, n);
    const MotionSample &s = r.truth;
    if (m_protocol == 2) {
        const QDateTime utc = QDateTime::currentDateTimeUtc();
        const int gnss = s.fusionState >> 4;
        const int quality = gnss == 0 ? 0 : gnss == 4 ? 4 : gnss == 5 ? 5 : gnss == 2 ? 2 : 1;
        QByteArray body = "GPGGA," + utc.toString("HHmmss.zz").toLatin1() + "," +
                          nmeaAngle(s.latitude, 2) + (s.latitude >= 0 ? ",N," : ",S,") +
                          nmeaAngle(s.longitude, 3) + (s.longitude >= 0 ? ",E," : ",W,") +
                          QByteArray::number(quality) + ",12,0.8," +
                          QByteArray::number(s.altitude, 'f', 2) + ",M,0.0,M,,";
        return nmeaSentence(body);
    }

    QByteArray payload;
    const std::uint16_t mask = m_mask;
    if (mask & ContentMask::Temperature)
        appendItem(payload, ItemId::Temperature, &s.temperature);
    if (mask & ContentMask::Acceleration)
        appendItem(payload, ItemId::Acceleration, r.accel.data());
    if (mask & ContentMask::AngularVelocity)
        appendItem(payload, ItemId::AngularVelocity, r.gyro.data());
    if (mask & ContentMask::Magnetic) {
        appendItem(payload, ItemId::MagneticNormalised, r.magNormalised.data());
        appendItem(payload, ItemId::MagneticStrength, r.magRaw.data());
    }
    if (mask & ContentMask::Euler)
        appendItem(payload, ItemId::Euler, r.euler.data());
    if (mask & ContentMask::Quaternion)
        appendItem(payload, ItemId::Quaternion, r.quat.data());
    if (mask & ContentMask::Utc) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        UtcFields f;
        f.year = static_cast<std::uint16_t>(now.date().year());
        f.month = static_cast<std::uint8_t>(now.date().month());
        f.day = static_cast<std::uint8_t>(now.date().day());
        f.hour = static_cast<std::uint8_t>(now.time().hour());
        f.minute = static_cast<std::uint8_t>(now.time().minute());
        f.second = static_cast<std::uint8_t>(now.time().second());
        f.millisecond = static_cast<std::uint32_t>(now.time().msec());
        ItemCodec::appendUtcItem(payload, f);
    }
    if (mask & ContentMask::Timestamp) {
        const double sampling = std::fmod(std::floor(t * 1e6), 4294967296.0);
        const double sync = std::fmod(std::floor(t * 1e3), 4294967296.0);
        appendItem(payload, ItemId::SamplingTimestamp, &sampling);
        appendItem(payload, ItemId::SyncTimestamp, &sync);
    }
    if (mask & ContentMask::Position) {
        const double loc[3] = {s.latitude, s.longitude, s.altitude};
        appendItem(payload, m_precise ? ItemId::PreciseLocation : ItemId::Location, loc);
    }
    if (mask & ContentMask::Speed)
        appendItem(payload, ItemId::Velocity, s.velocity.data());
    if (mask & ContentMask::FusionState) {
        // The codec takes the decoded number, INS state × 10 + GNSS state.
        const double state = (s.fusionState & 0x0F) * 10 + (s.fusionState >> 4);
        appendItem(payload, ItemId::FusionState, &state);
    }
    return OutputFrame::build(tid, payload);
}

void UnitCore::skipFrame()
{
    ++m_tid;
    ++m_counters.framesSkipped;
}

QByteArray UnitCore::garbageAfter(int frameLength, std::uint64_t n)
{
    if (m_faults.garbageShare <= 0.0)
        return QByteArray();
    const double want = m_faults.garbageShare * frameLength;
    const std::uint64_t seed = m_model.config().seed ^ 0x6A7BA6Eull;
    int count = static_cast<int>(want);
    if (MotionModel::uniform(seed, n, 0) < want - count)
        ++count;
    QByteArray g(count, '\0');
    for (int i = 0; i < count; ++i)
        g[i] = static_cast<char>(static_cast<int>(MotionModel::uniform(seed, n, 1 + i) * 256.0));
    return g;
}

void UnitCore::flipBits(QByteArray &bytes)
{
    if (m_faults.bitFlipShare <= 0.0)
        return;
    for (int i = 0; i < bytes.size(); ++i) {
        if (roll01() < m_faults.bitFlipShare) {
            const int bit = static_cast<int>(roll01() * 8.0) & 7;
            bytes[i] = static_cast<char>(bytes[i] ^ (1 << bit));
        }
    }
}

QString UnitConfig::model() const
{
    return AnswerReader::splitVersion(version).model;
}

QString UnitConfig::suffix() const
{
    return AnswerReader::splitVersion(version).suffix;
}
