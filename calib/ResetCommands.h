#pragma once

#include "calib/CalibrationHost.h"

#include <QString>

// The commands of the attitude and heading reset, behind the main window's slots
// slotresetcourse and slotresetposture: checked, written through the command sender, and a
// message box where the user must act (no port open, input that is not an angle). What became
// of a write (written, with the angles sent, or why not) is said in the message list. GUI
// thread only; the message boxes are modal.
namespace ResetCommands {

// The heading zero command (51 56 01 09 00 02 0C 21).
void zeroHeading(const CalibrationHost &host);
// The attitude set command from the typed pitch and roll (see AttitudeInput): nothing is sent
// for input that is not two angles strictly between -180 and 180 degrees.
void setAttitude(const CalibrationHost &host, const QString &pitchText, const QString &rollText);

} // namespace ResetCommands
