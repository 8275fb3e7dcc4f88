#pragma once

#include <QString>

// Runs a simulated unit inside the program on a pseudo-terminal; the port layer opens
// the returned device like any serial port.
class SimulatedUnitHost
{
public:
    virtual ~SimulatedUnitHost() = default;
    // Starts the unit at the given baud rate; returns the device path to open, or an
    // empty string with *error set.
    virtual QString start(int baud, QString *error) = 0;
    // Stops the unit and joins its thread. Safe when it is not running.
    virtual void stop() = 0;
    // Makes the running unit vanish as a pulled cable would (for tests and demos).
    virtual void disconnectUnit() {}
};
