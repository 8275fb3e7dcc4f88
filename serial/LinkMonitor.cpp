#include "serial/LinkMonitor.h"

LinkMonitor::LinkMonitor(Hooks hooks, QObject *parent)
    : QObject(parent), m_hooks(std::move(hooks)), m_search(m_hooks.line)
{
    m_clock.start();
    m_timer.setInterval(PollMs);
    connect(&m_timer, &QTimer::timeout, this, &LinkMonitor::tick);
}

LinkState LinkMonitor::state() const
{
    return m_search.isRunning() ? LinkState::Searching : m_health.state();
}

void LinkMonitor::sessionStarted(bool notice)
{
    m_search.cancel();
    m_open = true;
    m_health.start(m_hooks.counts(), m_clock.elapsed(), notice);
    m_timer.start();
    emit stateChanged(state());
}

void LinkMonitor::sessionEnded()
{
    m_search.cancel();
    m_open = false;
    m_timer.stop();
    m_health.stop();
    emit stateChanged(state());
}

bool LinkMonitor::startBaudSearch(const QList<int> &rates, int currentBaud)
{
    if (!m_open || m_search.isRunning())
        return false;
    if (!m_search.start(rates, currentBaud, m_clock.elapsed())) {
        // Every rate failed to open: the search already ended.
        if (!rates.isEmpty())
            emit searchFinished(m_search.result());
        return !rates.isEmpty();
    }
    emit stateChanged(LinkState::Searching);
    emit searchListening(m_search.listeningBaud());
    return true;
}

void LinkMonitor::tick()
{
    const qint64 now = m_clock.elapsed();
    if (m_search.isRunning()) {
        const int before = m_search.listeningBaud();
        if (m_search.poll(now)) {
            if (m_search.listeningBaud() != before)
                emit searchListening(m_search.listeningBaud());
            return;
        }
        // Judged afresh at the rate the search left, before the owner hears of it. The owner
        // hears of it after this tick: it may ask the user (a nested event loop), and the
        // light must go on meanwhile.
        m_health.start(m_hooks.counts(), now, false);
        emit stateChanged(state());
        QMetaObject::invokeMethod(
            this, [this, result = m_search.result()] { emit searchFinished(result); },
            Qt::QueuedConnection);
        return;
    }
    if (m_health.sample(m_hooks.counts(), now))
        emit stateChanged(m_health.state());
    const QString text = m_health.takeNotice();
    if (!text.isEmpty())
        emit notice(text);
}
