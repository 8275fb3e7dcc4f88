#include "protocol/SampleHistory.h"

#include <algorithm>
#include <cstring>

void HistorySeries::clear()
{
    m_data.clear();
    m_head = 0;
}

void HistorySeries::trim(int limit)
{
    m_limit = std::size_t(std::max(limit, 0));
    if (std::size_t(size()) > m_limit)
        m_head = m_data.size() - m_limit;
    if (m_head > 0 && m_head >= m_data.size() / 2)
        compact();
}

void HistorySeries::compact()
{
    // Once the dropped part outweighs the kept part: each value is moved at most once per
    // value appended.
    m_data.erase(m_data.begin(), m_data.begin() + std::ptrdiff_t(m_head));
    m_head = 0;
}

QVector<double> HistorySeries::toVector() const
{
    QVector<double> v(size());
    if (size() > 0)
        std::memcpy(v.data(), m_data.data() + m_head, sizeof(double) * std::size_t(size()));
    return v;
}

void HistorySeries::copyTo(QVector<double> &dst) const
{
    dst.resize(size());
    if (size() > 0)
        std::memcpy(dst.data(), m_data.data() + m_head, sizeof(double) * std::size_t(size()));
}

void SampleHistory::trim(int limit)
{
    if (limit == m_limit)
        return; // the series have kept to it since the last trim
    m_limit = limit;
    for (HistorySeries &s : m_series)
        s.trim(limit);
}

void SampleHistory::clear()
{
    for (HistorySeries &s : m_series)
        s.clear();
}

void PassSeries::clear()
{
    tids.clear();
    for (std::size_t i = 0; m_used != 0; ++i, m_used >>= 1)
        if (m_used & 1u)
            m_series[i].clear();
}
