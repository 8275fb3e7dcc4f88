#pragma once

#include <QtGlobal>

// Frames and bytes a second of the link, from the parser's running counters read at
// intervals (the status bar's statistics). Plain arithmetic: the owner keeps the clock.
class LinkRateMeter
{
public:
    // A new port session: the counters start again from 0.
    void restart()
    {
        m_frames = 0;
        m_bytes = 0;
        m_framesPerSecond = 0;
        m_bytesPerSecond = 0;
    }

    // The counters now and the milliseconds since the previous sample (or restart). The rates
    // are the growth over that time; 0 when no time passed or a counter went back (the
    // parser was reset in between).
    void sample(quint64 frames, quint64 bytes, qint64 elapsedMs);

    double framesPerSecond() const { return m_framesPerSecond; }
    double bytesPerSecond() const { return m_bytesPerSecond; }

private:
    quint64 m_frames = 0;
    quint64 m_bytes = 0;
    double m_framesPerSecond = 0;
    double m_bytesPerSecond = 0;
};
