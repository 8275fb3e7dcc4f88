#include "serial/ArvSimHost.h"

ArvSimHost::ArvSimHost(const UnitConfig &config) : m_unit(config) {}

QString ArvSimHost::start(int baud, QString *error)
{
    m_unit.stop();
    m_unit.setBaudRate(baud);
    if (!m_unit.start(error))
        return QString();
    return m_unit.devicePath();
}

void ArvSimHost::stop()
{
    m_unit.stop();
}

void ArvSimHost::disconnectUnit()
{
    m_unit.disconnectNow();
}
