#pragma once

// A pseudo-terminal pair for tests: the program opens the slave path as its serial port,
// the test plays the unit on the master side.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTest>

#include <utility>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        if (::openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ttyname(slave));
        ::close(slave);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }

    // Everything the program has written so far.
    QByteArray readAll()
    {
        QByteArray all;
        char buf[4096];
        ssize_t n;
        while (m_master >= 0 && (n = ::read(m_master, buf, sizeof buf)) > 0)
            all.append(buf, int(n));
        return all;
    }

    // Writes everything, waiting while the pseudo-terminal's buffer is full (the program
    // reads on its event loop, which keeps running meanwhile).
    bool write(const QByteArray &bytes)
    {
        int done = 0;
        QElapsedTimer clock;
        clock.start();
        while (m_master >= 0 && done < bytes.size() && clock.elapsed() < 10000) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += int(n);
            else
                QTest::qWait(1);
        }
        return done == bytes.size();
    }

    // The unit vanishes, as with a pulled cable.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(std::exchange(m_master, -1));
    }

private:
    int m_master = -1;
    QString m_slavePath;
};
