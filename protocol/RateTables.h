#pragma once

#include <QString>

#include <cstdint>

// The unit's frequency and baud codes, both directions, written once.
namespace RateTables {

// Models whose code 10 means 400 Hz (and "ARV805" with suffix "UH", whose code 11
// means 800 Hz). Model strings keep the unit's trailing blank ("ARV806 ").
bool isFastModel(const QString &model, const QString &suffix);

// Frequency code read back from the unit → rate in Hz (0 for a code outside 1..14).
int rateForCode(int code, const QString &model, const QString &suffix);
// Rate in Hz → the code sent in the set-frequency command (8, i.e. 100 Hz, for a rate
// outside the table).
int codeForRate(int hz, const QString &model, const QString &suffix);

// Baud rate → baud code (4 for a rate outside the table), and back (0 for no such code).
int baudCode(int baud);
int baudForCode(int code);

// Algorithm mode code → name ("AHRS", "VRU", "IMU", "GeneralPos", "Automotive"; empty
// for another code).
QString modeName(int code);

} // namespace RateTables
