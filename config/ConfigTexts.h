#pragma once

#include "config/SettingSender.h"

#include <QString>

// The message list's lines of the configuration, in the current interface language.
namespace ConfigTexts {

// The result items of the main window's result slots.
enum class Result
{
    Baudrate,   // slotApplyBaudrate: the baud command was written (or not)
    Frequency,  // slotApplyFrequency: the unit's answer to the frequency command
    Algorithm,  // slotApplyAlgorithm: the unit's answer to the algorithm mode command
    Contents,   // slotApplyContents: the unit's answer to the contents command
    ModeSwitch, // slotModelSwitch: the mode command was written
    Agreement,  // slotAgreement: the output protocol command was written
    HighLow,    // slotHighLow: the rate range command was written
};
QString result(Result which, bool success);

// A setting that the unit did not answer within the answer time-out.
QString noAnswer(Setting setting, int timeoutMs);
// After a baud command: the rate the host must use from now on.
QString baudAdvice(int unitBaud);

QString dataSettingsDone(); // the data settings dialog was accepted
QString notConnected();     // the data settings need an open port
QString restartSoon();      // the port is about to be restarted (message box)

} // namespace ConfigTexts
