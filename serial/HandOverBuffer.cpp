#include "serial/HandOverBuffer.h"

#include <algorithm>

namespace {

// Marks a byte array's storage as reserved, so that resize(0) keeps it (QByteArray frees it
// otherwise); at least atLeast bytes.
void keepStorage(QByteArray &bytes, int atLeast)
{
    bytes.reserve(std::max(bytes.capacity(), atLeast));
}

} // namespace

HandOverBuffer::HandOverBuffer(qint64 capacity)
{
    m_stats.capacity = std::max<qint64>(capacity, 1);
    keepStorage(m_bytes, 4096);
}

bool HandOverBuffer::append(const char *data, qint64 n)
{
    if (n <= 0)
        return false;
    QMutexLocker lock(&m_mutex);
    m_stats.bytesIn += quint64(n);
    const qint64 room = m_stats.capacity - m_bytes.size();
    const qint64 taken = std::min(n, room);
    if (taken > 0)
        m_bytes.append(data, int(taken));
    if (taken < n) {
        m_stats.overflowBytes += quint64(n - taken);
        ++m_stats.overflowEvents;
    }
    m_stats.held = m_bytes.size();
    m_stats.highWater = std::max(m_stats.highWater, m_stats.held);
    if (m_notified)
        return false;
    m_notified = true;
    return true;
}

void HandOverBuffer::takeAll(QByteArray &into)
{
    keepStorage(into, 4096);
    into.resize(0);
    QMutexLocker lock(&m_mutex);
    // The two arrays trade storage: no copy, no allocation.
    m_bytes.swap(into);
    keepStorage(m_bytes, 4096);
    m_stats.held = 0;
    m_notified = false;
}

void HandOverBuffer::clear()
{
    QMutexLocker lock(&m_mutex);
    m_bytes.resize(0);
    m_stats.held = 0;
}

void HandOverBuffer::reset()
{
    QMutexLocker lock(&m_mutex);
    m_bytes.resize(0);
    const qint64 capacity = m_stats.capacity;
    m_stats = HandOverStatistics();
    m_stats.capacity = capacity;
    m_notified = false;
}

HandOverStatistics HandOverBuffer::statistics() const
{
    QMutexLocker lock(&m_mutex);
    return m_stats;
}
