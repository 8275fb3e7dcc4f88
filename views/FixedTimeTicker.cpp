#include "views/FixedTimeTicker.h"

#include <algorithm>

namespace {
constexpr int subTicks = 5;
}

FixedTimeTicker::FixedTimeTicker()
{
    setDateTimeFormat(QStringLiteral("mm:ss:zzz"));
}

void FixedTimeTicker::setTickPositions(const QVector<double> &positions)
{
    m_positions.resize(positions.size());
    std::copy(positions.cbegin(), positions.cend(), m_positions.begin());
}

double FixedTimeTicker::getTickStep(const QCPRange &)
{
    return 1.0;
}

int FixedTimeTicker::getSubTickCount(double)
{
    return subTicks;
}

QVector<double> FixedTimeTicker::createTickVector(double, const QCPRange &)
{
    return m_positions;
}
