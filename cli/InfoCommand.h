#pragma once

#include "cli/CliCommand.h"

// arv-cli info: the unit's identity and settings, as text or one JSON object. Opens the port,
// sends the four identification queries, waits for their answers and for one output frame
// (its contents), and prints serial number, version, model, suffix, output rate, algorithm
// mode and output contents. NoAnswer, with the diagnosis, when the unit did not identify
// itself within CliCommand::IdentifyTimeoutMs.
CommandResult runInfo(const QStringList &arguments, CliOutput &io);
