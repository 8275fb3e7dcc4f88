#pragma once

#include "cli/CliCommand.h"

// arv-cli record: the main window's recording without the window. The same controller,
// writer, header, formats and file naming (ARV<date>_NNN.csv, the next free number, in --dir);
// or exactly the file --out names, which must end in ".csv" and must not exist yet.
// Runs until --duration or SIGINT/SIGTERM; the file is then complete and closed. Prints a live
// status line once a second when standard error is a terminal, and a one-line summary on
// standard output at the end.
//
// Exit: Success; NoAnswer when no frame came; FileError when rows could not be written;
// PortError when the port went away (the file holds every row until then); Interrupted when a
// signal came before --duration ran out (without --duration a signal is the normal end).
CommandResult runRecord(const QStringList &arguments, CliOutput &io);
