#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// Fault injection of the simulated unit. Every share is a probability from 0 to 1.
struct UnitFaults
{
    double garbageShare = 0.0;       // random bytes between frames, as a share of the frame bytes
    double bitFlipShare = 0.0;       // share of sent bytes that get one bit flipped
    double dropAnswerShare = 0.0;    // share of configuration/identification answers not sent
    double dropUpdateAckShare = 0.0; // share of update answers not sent
    int updateErrorStatus = -1;      // status sent instead of an acknowledgement (-1: none)
    int updateErrorFrame = 1;        // ... to this update frame: 0 start, k data frame k, -1 finish
    double disconnectAfterSeconds = 0.0; // the line is cut after this time (0: never)
};

// The physical model's parameters.
struct MotionConfig
{
    std::uint64_t seed = 1;
    double restSeconds = 3.0; // the unit lies still first
    double turnSeconds = 8.0; // then turns about X, Y and Z, this long each
    std::array<double, 3> gyroBias{{0.05, -0.03, 0.02}}; // deg/s, the sensor's own bias
    double gyroNoise = 0.02;                             // deg/s, standard deviation
    double accelNoise = 0.005;                           // m/s², standard deviation
    double magNoise = 0.05;                              // raw field units, standard deviation
    double magStrength = 50.0;                           // magnitude of the earth's field
    // Raw reading m = softIron · field + hardIron (row-major 3×3).
    std::array<double, 9> softIron{{1.08, 0.04, -0.02, 0.04, 0.93, 0.03, -0.02, 0.03, 1.02}};
    std::array<double, 3> hardIron{{6.0, -4.0, 9.0}};
    double latitude = 31.2304; // start of the GNSS track, degrees
    double longitude = 121.4737;
    double altitude = 12.0; // metres
};

// Everything a unit starts with.
struct UnitConfig
{
    int baudRate = 460800;
    int frequencyCode = 8; // 100 Hz
    std::uint16_t contentMask = 0x8CFF;
    bool preciseLocation = false; // position bit gives item 0x68 instead of 0x60
    int algorithmMode = 1;        // AHRS
    QByteArray productId = QByteArray::fromHex("4152563830365a0012345678");
    QString version = QStringLiteral("V2.8.7-20240105-ARV806 -A");
    bool unpaced = false;        // send as fast as the host reads
    double restartSeconds = 1.5; // silence after a successful update
    MotionConfig motion;
    UnitFaults faults;

    // Model and suffix the version text gives ("ARV806 " and "A" by default).
    QString model() const;
    QString suffix() const;
};
