#include "config/PortRestart.h"

#include "config/ConfigLog.h"

#include <utility>

PortRestart::PortRestart(Steps steps, QObject *parent) : QObject(parent), m_steps(std::move(steps))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DelayMs);
    connect(&m_timer, &QTimer::timeout, this, &PortRestart::step);
}

bool PortRestart::start()
{
    if (m_state != State::Idle)
        return false;
    m_state = State::BeforeClose;
    m_timer.start();
    qCDebug(lcConfig) << "port restart: closing in" << m_timer.interval() << "ms";
    return true;
}

void PortRestart::step()
{
    switch (m_state) {
    case State::Idle:
        return;
    case State::BeforeClose:
        if (!m_steps.isOpen()) {
            m_state = State::Idle;
            qCDebug(lcConfig) << "port restart: the port was closed meanwhile";
            emit finished(false);
            return;
        }
        m_steps.close();
        m_state = State::BeforeOpen;
        m_timer.start();
        return;
    case State::BeforeOpen:
        if (!m_steps.isOpen())
            m_steps.open();
        m_state = State::Idle;
        qCDebug(lcConfig) << "port restart: done, open" << m_steps.isOpen();
        emit finished(m_steps.isOpen());
        return;
    }
}
