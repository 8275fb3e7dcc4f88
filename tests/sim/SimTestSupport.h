#pragma once

// Host-side helpers of the simulated unit's tests: a plain POSIX serial line on the
// pseudo-terminal and a decoder of the byte stream built on the protocol core.

#include "protocol/Checksum.h"
#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"
#include "protocol/OutputFrame.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QVector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <functional>

struct DecodedFrame
{
    int tid = 0;
    QMap<int, QVector<double>> items; // item ID → decoded values
    qint64 atMs = 0;                  // when the host had it
};

struct DecodedAnswer
{
    int cls = 0;
    int op = 0;
    QByteArray data;
};

// Splits a stream into output frames and command-layout answers; other bytes are skipped.
// Output frames are tried first; a frame is accepted only when every item is known and
// fits. rest (optional) receives the unfinished tail.
inline void decodeStream(const QByteArray &stream, QVector<DecodedFrame> &frames,
                         QVector<DecodedAnswer> &answers, int *skipped = nullptr)
{
    const auto *b = reinterpret_cast<const std::uint8_t *>(stream.constData());
    const int size = stream.size();
    int skip = 0;
    int p = 0;
    while (p + 7 <= size) {
        if (b[p] != 0x51 || b[p + 1] != 0x56) {
            ++p;
            ++skip;
            continue;
        }
        if (OutputFrame::isValidAt(b + p, size - p)) {
            const int L = b[p + 4];
            DecodedFrame f;
            f.tid = b[p + 2] | (b[p + 3] << 8);
            bool ok = true;
            for (int q = p + 5; q < p + 5 + L;) {
                const ItemKind *kind = ItemKind::find(b[q]);
                if (!kind || b[q + 1] != kind->length || q + 2 + kind->length > p + 5 + L) {
                    ok = false;
                    break;
                }
                QVector<double> v(kind->valueCount);
                ItemCodec::decode(*kind, b + q + 2, v.data());
                f.items.insert(kind->id, v);
                q += 2 + kind->length;
            }
            if (ok) {
                frames.append(f);
                p += L + 7;
                continue;
            }
        }
        const int n = (b[p + 3] | (b[p + 4] << 8)) >> 3;
        if (p + n + 7 <= size) {
            const Checksum c = Checksum::over(b + p + 2, static_cast<std::size_t>(n + 3));
            if (c.ck1 == b[p + n + 5] && c.ck2 == b[p + n + 6]) {
                answers.append({b[p + 2], (b[p + 3] | (b[p + 4] << 8)) & 7, stream.mid(p + 5, n)});
                p += n + 7;
                continue;
            }
        }
        ++p;
        ++skip;
    }
    if (skipped)
        *skipped = skip;
}

// The host's end of the line: the slave device opened as a raw serial port.
class HostLine
{
public:
    HostLine() = default;
    ~HostLine() { close(); }
    HostLine(const HostLine &) = delete;
    HostLine &operator=(const HostLine &) = delete;

    bool open(const QString &path, speed_t speed)
    {
        close();
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        return setSpeed(speed);
    }
    bool setSpeed(speed_t speed)
    {
        termios t{};
        if (tcgetattr(m_fd, &t) != 0)
            return false;
        cfmakeraw(&t);
        cfsetspeed(&t, speed);
        return tcsetattr(m_fd, TCSANOW, &t) == 0;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Reads for ms milliseconds (or until done() says so), appending to the stream.
    QByteArray readFor(int ms, const std::function<bool(const QByteArray &)> &done = nullptr)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        char buf[4096];
        while (timer.elapsed() < ms) {
            pollfd p{m_fd, POLLIN, 0};
            ::poll(&p, 1, 5);
            const ssize_t r = ::read(m_fd, buf, sizeof buf);
            if (r > 0) {
                got.append(buf, static_cast<int>(r));
                if (done && done(got))
                    break;
            } else if (r == 0 || (r < 0 && errno != EAGAIN)) {
                m_failed = true;
                break;
            }
        }
        return got;
    }
    // Throws away what is buffered.
    void drain()
    {
        tcflush(m_fd, TCIFLUSH);
        readFor(20);
    }
    bool failed() const { return m_failed; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    bool m_failed = false;
};

// Answers of one class in a stream.
inline QVector<DecodedAnswer> answersOf(const QByteArray &stream, int cls)
{
    QVector<DecodedFrame> frames;
    QVector<DecodedAnswer> answers, out;
    decodeStream(stream, frames, answers);
    for (const DecodedAnswer &a : answers)
        if (a.cls == cls)
            out.append(a);
    return out;
}

inline QVector<DecodedFrame> framesOf(const QByteArray &stream)
{
    QVector<DecodedFrame> frames;
    QVector<DecodedAnswer> answers;
    decodeStream(stream, frames, answers);
    return frames;
}

inline double norm(const QVector<double> &v)
{
    double s = 0.0;
    for (double x : v)
        s += x * x;
    return std::sqrt(s);
}
