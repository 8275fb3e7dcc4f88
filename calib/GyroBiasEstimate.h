#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>

// The gyro bias estimate: the mean angular velocity of a unit lying still, and the command
// that writes it.
//
// Buffer: the collector keeps consecutive triples (X, Y, Z of item 0x20, deg/s), emptied when
// an estimation starts, and appends a triple only while it holds fewer than
// sampleLimit(seconds, rate) triples, so that the estimate spans the chosen duration at the
// unit's real output rate.
//
// Stillness: a resting MEMS gyro of this class shows a noise of 0.01 to 0.1 deg/s (standard
// deviation per output sample, higher at higher output rates; the simulated unit 0.02 deg/s).
// The unit counts as still while, on every axis, the standard deviation stays at or below
// kStillDeviation = 0.25 deg/s (2.5 to 25 times that noise) and no sample lies more than
// kStillPeak = 1.5 deg/s from the mean (beyond the largest of 20,000 noise samples even
// at the deviation limit). A hand-held unit, a running vehicle or a knock on the table shows
// deviations of several deg/s. A unit turning at a steady rate is not detected; the
// window tells the user to keep the unit still.
//
// Everything here is a pure function of its inputs: any thread.
class GyroBiasEstimate
{
public:
    static constexpr double kStillDeviation = 0.25; // deg/s, per axis
    static constexpr double kStillPeak = 1.5;       // deg/s, from the mean
    // The fastest output rate of the units (Hz): the ceiling of the buffer, and the rate
    // assumed when the unit's rate is not known.
    static constexpr int kMaxRateHz = 2000;
    static constexpr int kMinSeconds = 1;
    static constexpr int kMaxSeconds = 10;

    // The number of triples the buffer holds for an estimate of `seconds` (clamped to 1 ... 10)
    // at `outputRateHz` (the rate read from the unit; 0 or less when unknown, then the
    // ceiling rate): seconds x rate, rounded up, at most 10 x 2000.
    static int sampleLimit(int seconds, double outputRateHz);

    enum class Status
    {
        Done,
        NoAngularVelocity, // not one whole triple: nothing to send
        OutOfRange,        // a mean does not fit the command (non-finite, or beyond 2147 deg/s)
    };
    struct Result
    {
        Status status = Status::NoAngularVelocity;
        int tripleCount = 0;  // samples in the mean (whole triples; a partial one is ignored)
        double seconds = 0.0; // the time they span; NaN when neither measured nor known
        std::array<double, 3> mean{{0.0, 0.0, 0.0}};      // deg/s, the bias to write
        std::array<double, 3> deviation{{0.0, 0.0, 0.0}}; // standard deviation, deg/s
        double peak = 0.0; // the largest distance of a sample from its axis' mean, deg/s
        bool still = false;
        QByteArray command; // the 21-byte write command; empty unless status is Done

        // Message-list lines, in the current interface language.
        // "Gyro bias from N samples over S s: X ..., Y ..., Z ... deg/s".
        QString summaryText() const;
        // Why the unit does not look still, and the question whether to write anyway.
        QString notStillText() const;
        // The refusal for NoAngularVelocity / OutOfRange.
        QString refusalText() const;
        // The debug line: "陀螺零偏校准指令为：0x" and the command in hexadecimal.
        QString debugLine() const;
    };

    // The estimate over the whole triples of `samples`. `seconds`: the span the collector
    // measured; when negative, the span is tripleCount / outputRateHz (NaN when the rate is
    // not positive either).
    static Result estimate(const QVector<double> &samples, double outputRateHz,
                           double seconds = -1.0);
};
