#pragma once

#include "protocol/ItemCodec.h"

#include <QString>
#include <QStringList>

// Turns what a parse pass decoded into the texts the main window and the read-out windows
// show: the output-contents label of the state dock, the temperature in both scales, the UTC
// clock and the fusion state names. Plain functions of their arguments; the language is
// given, not read.
namespace ReadoutTexts {

// The item groups joined by " , ", three a line in Chinese and two in English, without a
// separator or line break at the end.
QString contents(const QStringList &groups, bool chinese);

// "25.00 °C" and "77.00 °F" for 25 degrees Celsius.
QString celsius(double celsius);
QString fahrenheit(double celsius);

// The local time of a UTC item, "yyyy-MM-dd HH:mm:ss.zzz"; empty for fields that are no
// valid date and time.
QString utc(const UtcFields &fields);

// The names of the INS state and of the GNSS solution; empty for a nibble without a name.
QString insState(FusionState state);
QString gnssState(FusionState state);

} // namespace ReadoutTexts
