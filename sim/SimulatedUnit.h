#pragma once

#include "sim/UnitConfig.h"
#include "sim/UnitCore.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

// A simulated ARV unit on a pseudo-terminal, run by its own thread. A host opens
// devicePath() like any serial port; every byte goes through the terminal as with a unit on
// a cable, at the unit's baud rate (10 bits a byte). Bytes between host and unit are
// garbled when the host's port speed differs from the unit's. When the rate and content ask
// more than the line carries, the line is kept busy as by a UART: one frame on the wire and
// at most one waiting; a frame due beyond that is skipped, TID included.
//
// Every public method may be called from any thread. start() and stop() may be repeated:
// each start opens a new pseudo-terminal (a new device path) and restarts the unit's clock;
// settings, identity and calibration persist like a unit's own memory. The destructor stops.
class SimulatedUnit
{
public:
    explicit SimulatedUnit(const UnitConfig &config = UnitConfig());
    ~SimulatedUnit();
    SimulatedUnit(const SimulatedUnit &) = delete;
    SimulatedUnit &operator=(const SimulatedUnit &) = delete;

    // Creates the pseudo-terminal and starts the unit. False (with a reason) when it is
    // already running or the terminal cannot be made.
    bool start(QString *error = nullptr);
    // Stops the thread and closes the terminal; harmless when not running.
    void stop();
    // True from start() until stop() or a disconnect.
    bool isRunning() const { return m_running.load(); }
    // True after the line was cut (fault or disconnectNow()).
    bool isDisconnected() const { return m_disconnected.load(); }
    // The serial device a host opens (/dev/pts/N); empty before the first start.
    QString devicePath() const;

    // Settings, read and changed as if the unit had received the command.
    int baudRate() const;
    void setBaudRate(int baud);
    int frequencyCode() const;
    bool setFrequencyCode(int code); // false for a code outside 1 … 14
    bool setOutputRate(int hz);      // false for a rate the unit's frequency table lacks
    double outputRateHz() const;     // the rate in effect
    std::uint16_t contentMask() const;
    void setContentMask(std::uint16_t mask);
    bool preciseLocation() const;
    void setPreciseLocation(bool on);
    int algorithmMode() const;
    void setAlgorithmMode(int mode);
    int outputProtocol() const;
    int rateRange() const;
    QByteArray productId() const;
    QString version() const;
    void setIdentity(const QByteArray &productId, const QString &version);

    // What calibration and reset commands told the unit.
    UnitCalibration calibration() const;
    // The physical model (the sensor's own gyro bias, noise, magnetometer distortion, seed).
    MotionConfig motion() const;
    void setMotion(const MotionConfig &motion);
    void setGyroBias(double x, double y, double z); // the sensor's own bias, deg/s

    UnitFaults faults() const;
    void setFaults(const UnitFaults &faults);
    // Cuts the line now, as a pulled cable: the host's port fails.
    void disconnectNow();

    UpdatePhase updatePhase() const;
    UnitCounters counters() const;
    std::uint64_t bytesSent() const { return m_bytesSent.load(); }
    // Bytes the host's side of the terminal had no room for (a host that did not read in
    // time), dropped as a UART's receiver overrun drops them.
    std::uint64_t bytesOverrun() const { return m_bytesOverrun.load(); }
    QByteArray receivedBytes() const; // the last 64 KiB the host sent
    std::uint16_t nextTid() const;
    // The port speed the host has set on its side (0 before it set one it can tell).
    int hostBaudRate() const { return m_hostBaud.load(); }
    bool hostConnected() const { return m_hostConnected.load(); }

    // A termios speed constant as a number (0 for one it does not know).
    static int speedToBaud(unsigned int speed);

private:
    void run(int master);

    mutable std::mutex m_mutex; // guards m_core and m_path
    UnitCore m_core;
    bool m_unpaced;
    QString m_path;
    std::thread m_thread;
    std::mutex m_lifeMutex; // serialises start() and stop()
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_disconnected{false};
    std::atomic<bool> m_disconnectRequest{false};
    std::atomic<bool> m_hostConnected{false};
    std::atomic<int> m_hostBaud{0};
    std::atomic<std::uint64_t> m_bytesSent{0};
    std::atomic<std::uint64_t> m_bytesOverrun{0};
    std::uint64_t m_tick = 0; // output ticks, across starts (keys the model's noise)
};
