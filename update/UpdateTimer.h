#pragma once

#include <QtGlobal>

#include <functional>

// The clock and the one single-shot timer of an update transfer. The transfer reads the time
// and arms the timer; whoever owns the timer calls the callback when the armed interval has
// passed. Tests drive a fake one; QtUpdateTimer is the real one.
class UpdateTimer
{
public:
    virtual ~UpdateTimer() = default;

    // Milliseconds since some fixed point; never decreases.
    virtual qint64 nowMs() const = 0;
    // Arms the timer to fire once after ms milliseconds, replacing any armed time.
    virtual void start(int ms) = 0;
    // Disarms the timer; no callback follows until the next start().
    virtual void stop() = 0;

    // Called when an armed interval has passed. Set once by the transfer.
    void setCallback(std::function<void()> callback) { m_callback = std::move(callback); }

protected:
    void fire()
    {
        if (m_callback)
            m_callback();
    }

private:
    std::function<void()> m_callback;
};
