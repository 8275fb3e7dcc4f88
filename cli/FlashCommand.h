#pragma once

#include "cli/CliCommand.h"

// arv-cli flash: the update dialog's transfer without the dialog. Loads and checks the image
// (UpdateImage), then runs UpdateTransfer over the link exactly as the dialog drives it: the
// parser in update mode and both buffers emptied around the transfer, each frame written
// with the transfer's time-out, the unit's update answers handed to the transfer. Shows a
// progress line (redrawn in place on a terminal, every 10 % otherwise).
//
// Exit: Success only on the unit's success answer to the finish frame; FileError for an image
// that cannot be read or sent; Refused for the unit's error answer; NoAnswer when a frame went
// unanswered after its resends; PortError when a frame could not be written or the port went
// away; Interrupted on SIGINT/SIGTERM (the transfer is cancelled).
CommandResult runFlash(const QStringList &arguments, CliOutput &io);
