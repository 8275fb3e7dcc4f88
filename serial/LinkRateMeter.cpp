#include "serial/LinkRateMeter.h"

void LinkRateMeter::sample(quint64 frames, quint64 bytes, qint64 elapsedMs)
{
    if (elapsedMs > 0 && frames >= m_frames && bytes >= m_bytes) {
        m_framesPerSecond = double(frames - m_frames) * 1000.0 / double(elapsedMs);
        m_bytesPerSecond = double(bytes - m_bytes) * 1000.0 / double(elapsedMs);
    } else {
        m_framesPerSecond = 0;
        m_bytesPerSecond = 0;
    }
    m_frames = frames;
    m_bytes = bytes;
}
