#pragma once

#include "sim/MotionModel.h"
#include "sim/UnitConfig.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// What the unit was told by calibration and reset commands.
struct UnitCalibration
{
    bool magWritten = false;
    std::array<double, 12> mag{}; // R row by row (x0 … x8), then X0 (x9 … x11)
    bool gyroWritten = false;
    std::array<double, 3> gyroBias{}; // subtracted from the angular velocity output
    int attitudeSets = 0;
    double setPitch = 0.0, setRoll = 0.0; // the last attitude set command, degrees
    int headingZeros = 0;
    // Offsets added to the true attitude in the reported Euler angles and quaternion.
    double pitchOffset = 0.0, rollOffset = 0.0, yawOffset = 0.0;
};

// Where a firmware update stands.
enum class UpdatePhase
{
    Idle,
    Receiving, // a start frame was accepted; output is stopped
    Restarting // the new firmware "boots": silence
};

struct UnitCounters
{
    std::uint64_t framesSent = 0;
    std::uint64_t framesSkipped = 0;
    std::uint64_t answersSent = 0;
    std::uint64_t answersDropped = 0;
    std::uint64_t commandsHandled = 0; // well-formed command frames
    std::uint64_t bytesReceived = 0;
    std::uint64_t updateFramesAcked = 0;
    std::uint64_t updatesCompleted = 0;
    int lastUpdateStatus = -1;
};

// The unit's behaviour without any I/O: settings, command handling and answers, the output
// frames, the firmware update responder and the fault shares that act on bytes. Not
// thread-safe; SimulatedUnit guards it. Times are seconds since the unit started.
class UnitCore
{
public:
    explicit UnitCore(const UnitConfig &config);

    // Bytes from the host, arrived at time now.
    void receive(const QByteArray &bytes, double now);
    // Advances timers (update time-out, end of the restart silence).
    void tick(double now);
    // Answers waiting to be sent, in order (fault shares applied).
    QByteArray takeAnswers();

    // True while output frames flow (not while updating or restarting).
    bool outputActive() const { return m_updatePhase == UpdatePhase::Idle; }
    // The output for time t and output tick n (consumes a TID): a binary frame, or an NMEA
    // sentence when the NMEA protocol is selected.
    QByteArray buildOutput(double t, std::uint64_t n);
    // A due frame that did not fit the line: its TID is used up.
    void skipFrame();
    // Garbage bytes to follow a frame of frameLength bytes (fault share), keyed by tick n.
    QByteArray garbageAfter(int frameLength, std::uint64_t n);
    // Flips bits in bytes about to leave (fault share).
    void flipBits(QByteArray &bytes);

    // Settings.
    int baudRate() const { return m_baud; }
    void setBaudRate(int baud) { m_baud = baud; }
    int frequencyCode() const { return m_frequencyCode; }
    bool setFrequencyCode(int code); // false for a code outside 1 … 14
    double configuredRateHz() const; // the rate of the frequency code
    double outputRateHz() const;     // the rate in effect (the low range caps it at 100 Hz)
    std::uint16_t contentMask() const { return m_mask; }
    void setContentMask(std::uint16_t mask) { m_mask = mask; }
    bool preciseLocation() const { return m_precise; }
    void setPreciseLocation(bool on) { m_precise = on; }
    int algorithmMode() const { return m_mode; }
    void setAlgorithmMode(int mode) { m_mode = mode; }
    int outputProtocol() const { return m_protocol; } // 1 binary, 2 NMEA 0183
    int rateRange() const { return m_rateRange; }     // 1 high, 2 low
    QByteArray productId() const { return m_productId; }
    QString version() const { return m_version; }
    void setIdentity(const QByteArray &productId, const QString &version);
    QString model() const;
    QString suffix() const;
    std::uint16_t nextTid() const { return m_tid; }

    const UnitCalibration &calibration() const { return m_cal; }
    MotionConfig motion() const { return m_model.config(); }
    void setMotion(const MotionConfig &motion) { m_model = MotionModel(motion); }
    const UnitFaults &faults() const { return m_faults; }
    void setFaults(const UnitFaults &faults) { m_faults = faults; }

    UpdatePhase updatePhase() const { return m_updatePhase; }
    const UnitCounters &counters() const { return m_counters; }
    UnitCounters &counters() { return m_counters; }
    // The last bytes received (at most 64 KiB).
    QByteArray receivedBytes() const { return m_received; }

    // What the unit reports for time t and tick n (calibration and offsets applied).
    struct Reported
    {
        std::array<double, 3> euler{}; // pitch, roll, yaw
        std::array<double, 4> quat{};
        std::array<double, 3> gyro{}, accel{}, magNormalised{}, magRaw{};
        MotionSample truth;
    };
    Reported reported(double t, std::uint64_t n) const;

    // Time-out of an update without frames.
    static constexpr double UpdateTimeoutSeconds = 30.0;
    // Frames claiming more data than this are not commands of this unit.
    static constexpr int MaxCommandData = 300;

private:
    void handle(std::uint8_t cls, std::uint8_t op, const QByteArray &data, double now);
    void answer(std::uint8_t cls, std::uint8_t op, const QByteArray &data);
    void updateAnswer(std::uint8_t op, int status, int frameIndex);
    void handleUpdate(std::uint8_t op, const QByteArray &data, double now);
    void handleCalibration(const QByteArray &data, double now);
    double roll01(); // the fault dice, deterministic for the seed

    MotionModel m_model;
    UnitFaults m_faults;
    int m_baud;
    int m_frequencyCode;
    std::uint16_t m_mask;
    bool m_precise;
    int m_mode;
    int m_protocol = 1;
    int m_rateRange = 1;
    QByteArray m_productId;
    QString m_version;
    double m_restartSeconds;
    std::uint16_t m_tid = 0;
    UnitCalibration m_cal;
    UnitCounters m_counters;

    QByteArray m_rx;
    double m_rxSince = 0.0; // when the oldest byte of m_rx arrived
    QByteArray m_tx;
    QByteArray m_received;
    std::uint64_t m_dice = 0;

    // Update responder.
    UpdatePhase m_updatePhase = UpdatePhase::Idle;
    double m_updateLast = 0.0; // last update frame, or start of the restart
    QByteArray m_image;        // bytes 0-3, then the data frames' bytes
    std::uint32_t m_imageSize = 0;
    int m_packets = 0;
    int m_nextPacket = 1;
    QByteArray m_lastPacket; // for resends of an acknowledged frame
    bool m_imageComplete = false;
    QString m_newVersion;
};
