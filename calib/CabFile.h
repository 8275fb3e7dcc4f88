#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

struct Calib3DInput;

// "cab.txt": the samples of the last 3D magnetometer calibration, for looking at them later.
namespace CabFile {

// Written in the working directory, replaced on every run.
constexpr const char *kFileName = "cab.txt";

// The file's text: one line per sample present in all nine series (input.commonCount()),
//     gyroX gyroY gyroZ magX magY magZ pitch roll yaw
// separated by single blanks, each number in the text stream's default real format (6
// significant digits, the shorter of fixed and scientific notation), each line ended by '\n'.
// Returns an empty array when `stop` is raised (read every 4096 lines). Any thread; about
// 2 us and 80 bytes per line here (2 s for 10^6 samples), far more than the computation:
// a worker hands its result over first and writes the file after.
QByteArray format(const Calib3DInput &input, const std::atomic<bool> &stop);

struct WriteResult
{
    bool ok = false;
    QString error; // why the file could not be written (empty when ok)
    // The message-list text for a failure, in the current interface language.
    QString message(const QString &path) const;
};

// Replaces the file at `path` with `text`: opened write-only, truncating, in text mode (so
// line ends are the platform's). A failure to open or to write all bytes is returned, and
// logged as a warning; it never throws. Any thread.
WriteResult write(const QString &path, const QByteArray &text);

} // namespace CabFile
