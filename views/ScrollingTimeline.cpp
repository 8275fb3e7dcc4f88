#include "views/ScrollingTimeline.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double pointsPerSecond = 100.0; // neighbouring keys are 0.01 s apart
}

ScrollingTimeline::ScrollingTimeline(int displayLength)
{
    setDisplayLength(displayLength);
    // Before the first move the ticks sit on the whole seconds 0 to 9.
    m_ticks.clear();
    for (int i = 0; i < m_length && i < 10 * pointsPerSecond; i += int(pointsPerSecond))
        m_ticks.append(double(i / int(pointsPerSecond)));
}

void ScrollingTimeline::setDisplayLength(int length)
{
    length = std::max(length, 0);
    if (length == m_length && m_x.size() == length)
        return;
    const int old = m_x.size();
    m_x.resize(length);
    for (int i = old; i < length; ++i)
        m_x[i] = i == 0 ? 0.0 : m_x[i - 1] + 1.0 / pointsPerSecond;
    if (old == 0) {
        // Fresh positions are exact hundredths, so that the first ticks are whole seconds.
        for (int i = 0; i < length; ++i)
            m_x[i] = i / pointsPerSecond;
    }
    m_length = length;
    if (m_keys.size() > length)
        m_keys.resize(length);
    if (!m_keys.isEmpty())
        pickTicks();
}

void ScrollingTimeline::advance(qint64 elapsedMs)
{
    const double shift = double(elapsedMs) / 1000.0;
    for (double &x : m_x)
        x += shift;
    m_keys.resize(m_x.size());
    std::copy(m_x.cbegin(), m_x.cend(), m_keys.begin());
    pickTicks();
}

void ScrollingTimeline::pickTicks()
{
    // Ten ticks over the display length; a length below ten still gets a tick per point
    // instead of a step of zero.
    const int step = std::max(1, m_length / 10);
    m_ticks.resize(0);
    for (int i = 0; i < m_length; i += step)
        m_ticks.append(m_x[i]);
}

SeriesBounds seriesBounds(std::initializer_list<const QVector<double> *> series)
{
    SeriesBounds bounds;
    bool any = false;
    for (const QVector<double> *values : series) {
        for (double v : *values) {
            if (!std::isfinite(v))
                continue;
            if (!any) {
                bounds.lower = bounds.upper = v;
                any = true;
            } else {
                bounds.lower = std::min(bounds.lower, v);
                bounds.upper = std::max(bounds.upper, v);
            }
        }
    }
    return bounds;
}

void copySeries(QVector<double> &dst, const QVector<double> &src)
{
    dst.resize(src.size());
    std::copy(src.cbegin(), src.cend(), dst.begin());
}
