#include "serial/BaudSearch.h"

#include <utility>

BaudSearch::BaudSearch(Line line) : m_line(std::move(line)) {}

bool BaudSearch::start(const QList<int> &rates, int originalBaud, qint64 nowMs)
{
    if (m_running || rates.isEmpty())
        return false;
    m_order.clear();
    for (int baud : rates)
        if (baud != originalBaud && !m_order.contains(baud))
            m_order.append(baud);
    if (rates.contains(originalBaud))
        m_order.append(originalBaud);
    m_result = Result();
    m_result.originalBaud = originalBaud;
    m_bestBaud = 0;
    m_bestFrames = 0;
    m_atBaud = originalBaud;
    m_running = true;
    listenAt(0, nowMs);
    return m_running;
}

int BaudSearch::listeningBaud() const
{
    return m_running && m_index >= 0 && m_index < m_order.size() ? m_order[m_index] : 0;
}

void BaudSearch::listenAt(int index, qint64 nowMs)
{
    for (m_index = index; m_index < m_order.size(); ++m_index) {
        const int baud = m_order[m_index];
        QString message;
        if (baud != m_atBaud && !m_line.reopen(baud, &message)) {
            m_atBaud = 0; // passed over; the next rate reopens
            continue;
        }
        m_atBaud = baud;
        m_line.clearBuffers();
        m_baseline = m_line.validFrames();
        m_listenStart = nowMs;
        return;
    }
    finish();
}

bool BaudSearch::poll(qint64 nowMs)
{
    if (!m_running)
        return false;
    const quint64 now = m_line.validFrames();
    const quint64 frames = now >= m_baseline ? now - m_baseline : 0;
    if (frames >= EnoughFrames) {
        m_bestBaud = m_order[m_index];
        m_bestFrames = frames;
        finish();
        return false;
    }
    if (nowMs - m_listenStart < ListenMs)
        return true;
    if (frames > m_bestFrames) {
        m_bestBaud = m_order[m_index];
        m_bestFrames = frames;
    }
    listenAt(m_index + 1, nowMs);
    return m_running;
}

void BaudSearch::finish()
{
    m_running = false;
    m_result.foundBaud = m_bestBaud;
    m_result.frames = m_bestFrames;
    const int target = m_bestBaud != 0 ? m_bestBaud : m_result.originalBaud;
    if (target != m_atBaud) {
        QString message;
        m_result.portOk = m_line.reopen(target, &message);
        m_result.failure = message;
        if (m_result.portOk)
            m_line.clearBuffers();
    }
    m_atBaud = target;
}
