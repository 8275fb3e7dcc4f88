#pragma once

#include "cli/CliCommand.h"

// arv-cli set: the configuration dialogs' settings from a script. Identifies the unit first
// (its model and suffix choose the frequency table and what it offers, exactly as in the
// dialogs), then sends each requested setting in the order contents, rate, mode, unit baud
// rate, and waits for the unit's confirmation of each before the next:
//  - contents, rate and mode are answered by the unit: Success on its success answer, Refused
//    on its failure answer, NoAnswer when none came within SettingSender::AnswerTimeoutMs;
//  - the unit does not answer a baud rate: the port is opened again at the new rate and the
//    setting counts as confirmed when the unit identifies itself there.
// A value this unit does not offer is refused before anything is sent (BadArguments).
CommandResult runSet(const QStringList &arguments, CliOutput &io);
