#pragma once

#include <QByteArray>
#include <QMutex>
#include <QtGlobal>

// What the hand-over buffer has seen since the port was opened (or the last reset).
struct HandOverStatistics
{
    qint64 capacity = 0;        // the most bytes it holds
    qint64 held = 0;            // bytes waiting now
    qint64 highWater = 0;       // the most bytes that ever waited at once
    quint64 bytesIn = 0;        // bytes offered by the reader of the port
    quint64 overflowBytes = 0;  // bytes dropped because it was full
    quint64 overflowEvents = 0; // appends that had to drop bytes
};

// The bytes the I/O thread has read from the port and the GUI thread has not yet parsed.
// Bounded: what does not fit is dropped and counted, never silently. One writer (the I/O
// thread) and one reader (the GUI thread); every method is thread-safe and O(bytes moved).
//
// Notification is coalesced: append() returns true only when the reader has not been told
// since its last takeAll(), so that at most one notification is on its way at any time, and
// every byte appended after a takeAll() leads to a notification.
class HandOverBuffer
{
public:
    explicit HandOverBuffer(qint64 capacity);

    // Appends n bytes, as many as fit. True when the reader must now be notified.
    bool append(const char *data, qint64 n);
    // Everything waiting, moved into `into` (whose previous bytes are dropped; its storage is
    // reused, so taking allocates nothing once the buffers have grown). Clears the
    // notification mark.
    void takeAll(QByteArray &into);
    // Drops what waits (the port's buffers were cleared); the statistics stay.
    void clear();
    // A new session: empty, statistics from zero, nothing notified.
    void reset();

    HandOverStatistics statistics() const;

private:
    mutable QMutex m_mutex;
    QByteArray m_bytes;
    HandOverStatistics m_stats;
    bool m_notified = false;
};
