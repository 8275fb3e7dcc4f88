#include "views/FixedTimeTicker.h"

#include <algorithm>

namespace {
constexpr int subTicks = 5;
}

FixedTimeTicker::FixedTimeTicker()
{
    setDateTimeFormat(QStringLiteral("mm:ss:zzz"));
}

void FixedTimeTicker::setTickPositions(const QVector<double> &positions, int stride)
{
    stride = std::max(stride, 1);
    m_positions.resize((positions.size() + stride - 1) / stride);
    for (int i = 0; i < m_positions.size(); ++i)
        m_positions[i] = positions[i * stride];
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
