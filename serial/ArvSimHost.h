#pragma once

#include "serial/SimulatedUnitHost.h"
#include "sim/SimulatedUnit.h"

// The built-in "ARV-SIM" port: the simulated unit of the sim library on a pseudo-terminal.
// The unit keeps its settings and identity across opens, as a unit keeps its memory; it is
// put on the baud rate the port is opened with, so that the two always understand each
// other.
class ArvSimHost : public SimulatedUnitHost
{
public:
    explicit ArvSimHost(const UnitConfig &config = UnitConfig());

    QString start(int baud, QString *error) override;
    void stop() override;
    void disconnectUnit() override;

    SimulatedUnit &unit() { return m_unit; }

private:
    SimulatedUnit m_unit;
};
