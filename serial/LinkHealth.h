#pragma once

#include <QString>
#include <QtGlobal>

#include <deque>

// What the open link carries, at a glance (the status bar's light).
enum class LinkState
{
    Closed,    // no port open
    Waiting,   // just opened: nothing valid yet, too early to judge
    Flowing,   // valid frames or answers arrived within the last LinkHealth::WindowMs
    Garbled,   // bytes arrived within the window, none of them a valid frame or answer
    Silent,    // no byte at all within the window
    Searching, // the baud rate finder is listening (set by its owner, never by LinkHealth)
};

// The status bar's light for a state: a short label, a longer explanation for the tool tip
// (both in the current language) and its colour. Closed has none (all empty).
struct LinkStateLook
{
    QString label;
    QString explanation;
    QString colour; // "#rrggbb"
};
LinkStateLook linkStateLook(LinkState state);

// Classifies a port session from the parser's running counters, sampled with a clock that
// the owner keeps (milliseconds, any origin, never going back). Plain arithmetic, one
// thread; a sample costs O(1) amortised, memory is bounded by the samples of one window.
//
// The state is judged over the last WindowMs: Flowing when valid frames or answers grew in
// it; else, until a whole window has been seen, the state stays (Waiting after start());
// else Garbled when bytes grew, Silent when none did. Counters that go back (the parser was
// reset) start a new baseline; the session and its notice stay.
//
// The notice: once per session, when the state first turns Garbled or Silent and not one
// valid frame or answer has arrived since the session started, takeNotice() hands out the
// message-list text that says what is seen.
class LinkHealth
{
public:
    static constexpr qint64 WindowMs = 2000;

    struct Counts
    {
        quint64 bytes = 0;   // bytes received
        quint64 frames = 0;  // valid output frames
        quint64 answers = 0; // valid answers to queries and commands
    };

    // A new session (a port opened, or reopened at another rate) at nowMs with the counters
    // as they are then; notice false: the session gives no notice (the owner has said it).
    void start(const Counts &counts, qint64 nowMs, bool notice = true);
    // No session: the state is Closed and stays so until start().
    void stop();
    // The counters at nowMs. Returns true when the state changed.
    bool sample(const Counts &counts, qint64 nowMs);

    LinkState state() const { return m_state; }
    // The session's notice, once; empty when there is none (yet).
    QString takeNotice();

    // The message-list texts, in the current language.
    static QString garbledNotice(quint64 bytes, qint64 ms);
    static QString silentNotice(qint64 ms);

private:
    struct Sample
    {
        qint64 t;
        quint64 bytes;
        quint64 valid; // frames + answers
    };

    LinkState m_state = LinkState::Closed;
    std::deque<Sample> m_samples; // the newest last; the first is the window's reference
    qint64 m_startMs = 0;
    quint64 m_bytesSinceStart = 0; // bytes of the session (across baselines)
    bool m_everValid = false;
    bool m_noticeGiven = false;
    QString m_notice; // handed out by takeNotice()
};
