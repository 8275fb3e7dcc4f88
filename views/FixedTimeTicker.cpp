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

double FixedTimeTicker::getTickStep(const QCPRange &range)
{
    return m_followsRange ? QCPAxisTickerDateTime::getTickStep(range) : 1.0;
}

int FixedTimeTicker::getSubTickCount(double tickStep)
{
    return m_followsRange ? QCPAxisTickerDateTime::getSubTickCount(tickStep) : subTicks;
}

QVector<double> FixedTimeTicker::createTickVector(double tickStep, const QCPRange &range)
{
    if (m_followsRange)
        return QCPAxisTickerDateTime::createTickVector(tickStep, range);
    return m_positions;
}
