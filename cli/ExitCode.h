#pragma once

// The exit status of arv-cli, the same for every sub-command (README, "Command line").
enum class ExitCode : int
{
    Success = 0,
    BadArguments = 2, // unknown option, missing or malformed value, a setting this unit lacks
    PortError = 3,    // the port cannot be opened, or went away during the run
    NoAnswer = 4,     // nothing valid came from the unit in time (wrong baud rate, no unit)
    Refused = 5,      // the unit answered with a failure (setting refused, image rejected)
    FileError = 6,    // the image cannot be read, the record file cannot be written
    Interrupted = 130 // SIGINT or SIGTERM ended the run before it was done
};

inline int exitStatus(ExitCode code)
{
    return static_cast<int>(code);
}
