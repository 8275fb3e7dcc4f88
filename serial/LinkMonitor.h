#pragma once

#include "serial/BaudSearch.h"
#include "serial/LinkHealth.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Watches an open port session for the main window: classifies the link (LinkHealth) every
// PollMs, says once per session what a link without valid data shows, and runs the baud
// rate finder (BaudSearch) on the same tick. The port and the parser are reached only
// through the hooks; everything happens on the owner's thread.
class LinkMonitor : public QObject
{
    Q_OBJECT
public:
    static constexpr int PollMs = 100;

    struct Hooks
    {
        std::function<LinkHealth::Counts()> counts; // the parser's running counters
        BaudSearch::Line line;                      // reopen, clearBuffers, valid frames
    };

    explicit LinkMonitor(Hooks hooks, QObject *parent = nullptr);

    // A port session began (or the port was put at another rate): judged afresh, with a new
    // notice unless notice is false.
    void sessionStarted(bool notice = true);
    // The port closed (or was lost): a running search is cancelled, the state is Closed.
    void sessionEnded();

    // Starts the finder on the open port (see BaudSearch); the caller has stopped anything
    // that writes. False when no session is open, a search runs, or there is no rate.
    bool startBaudSearch(const QList<int> &rates, int currentBaud);
    bool isSearching() const { return m_search.isRunning(); }
    int listeningBaud() const { return m_search.listeningBaud(); }

    LinkState state() const;

signals:
    void stateChanged(LinkState state);
    // The session's one silent-link message (LinkHealth::takeNotice).
    void notice(const QString &text);
    // The finder moved to another rate.
    void searchListening(int baud);
    // The finder ended; the port is at result.foundBaud, or back at result.originalBaud.
    // Emitted from the event loop after the last tick of the search, so that a handler may
    // ask the user while the monitor goes on watching.
    void searchFinished(const BaudSearch::Result &result);

private:
    void tick();

    Hooks m_hooks;
    LinkHealth m_health;
    BaudSearch m_search;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_open = false;
};
