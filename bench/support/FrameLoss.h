#pragma once

// Frames the program lost, counted exactly over a window of the simulated unit's TIDs. The
// unit uses one TID per output tick: it sends the frame, or skips it when the line has no room
// (its own skip, no loss of the program). The window is read from the unit's counters at its
// two ends (position = frames sent + skipped so far); every TID in it was skipped by the unit,
// received by the program or lost by the program. Frames on their way at the end are waited
// for (complete()), so that nothing in flight counts as lost.
#include "sim/SimulatedUnit.h"

#include <cstdint>

class FrameLoss
{
public:
    explicit FrameLoss(SimulatedUnit &unit) : m_unit(unit) {}

    // Every frame the program parsed, in order (GUI thread).
    void frameSeen(int tid)
    {
        if (m_posValid) {
            m_pos += (tid - m_lastTid) & 0xFFFF;
        } else if (m_begun) {
            m_pos = m_begin + offset(tid);
            m_posValid = true;
        }
        m_lastTid = tid;
        if (m_posValid && m_pos >= m_begin && (!m_ended || m_pos < m_end))
            ++m_received;
    }

    void begin()
    {
        const Mark m = mark();
        m_begin = m.position;
        m_beginTid = m.tid;
        m_skippedAtBegin = m.skipped;
        m_overrunAtBegin = m_unit.bytesOverrun();
        m_begun = true;
        m_posValid = m_lastTid >= 0;
        if (m_posValid)
            m_pos = m_begin + offset(m_lastTid);
        m_received = 0;
    }

    void end()
    {
        const Mark m = mark();
        m_end = m.position;
        m_skipped = m.skipped - m_skippedAtBegin;
        m_overrun = std::int64_t(m_unit.bytesOverrun() - m_overrunAtBegin);
        m_ended = true;
    }

    // True once a frame at or beyond the window's last TID arrived.
    bool complete() const { return m_ended && m_posValid && m_pos >= m_end - 1; }

    std::int64_t tids() const { return m_end - m_begin; }
    std::int64_t skippedByUnit() const { return m_skipped; }
    std::int64_t received() const { return m_received; }
    std::int64_t lost() const { return tids() - m_skipped - m_received; }
    // Bytes the unit could not put on the terminal because the program's side was full: the
    // program (its I/O thread) did not read for as long as the terminal holds bytes.
    std::int64_t overrunBytes() const { return m_overrun; }

private:
    struct Mark
    {
        std::int64_t position = 0, skipped = 0;
        int tid = 0;
    };
    // The unit's counters and its next TID at one moment (read again until two reads agree).
    Mark mark() const
    {
        for (;;) {
            const UnitCounters a = m_unit.counters();
            const int tid = m_unit.nextTid();
            const UnitCounters b = m_unit.counters();
            if (a.framesSent == b.framesSent && a.framesSkipped == b.framesSkipped)
                return {std::int64_t(a.framesSent + a.framesSkipped), std::int64_t(a.framesSkipped),
                        tid};
        }
    }
    // Position of a TID near the window's start, relative to it.
    std::int64_t offset(int tid) const
    {
        return std::int64_t(std::int16_t(std::uint16_t(tid - m_beginTid)));
    }

    SimulatedUnit &m_unit;
    bool m_begun = false, m_ended = false, m_posValid = false;
    std::int64_t m_begin = 0, m_end = 0, m_skipped = 0, m_skippedAtBegin = 0, m_received = 0;
    std::int64_t m_pos = 0;
    std::uint64_t m_overrunAtBegin = 0;
    std::int64_t m_overrun = 0;
    int m_beginTid = 0;
    int m_lastTid = -1;
};
