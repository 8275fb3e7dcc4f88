#pragma once

// Host-side helpers of the simulated unit's tests: a plain POSIX serial line on the
// pseudo-terminal and a decoder of the byte stream built on the protocol core.

#include "protocol/Answer.h"
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
    int end = 0;                      // offset just past the frame in the stream
};

struct DecodedAnswer
{
    int cls = 0;
    int op = 0;
    QByteArray data;
};

struct Decoded
{
    QVector<DecodedFrame> frames;
    QVector<DecodedAnswer> answers;
    int skipped = 0; // bytes passed over, an unfinished frame at the end not included
};

// Splits a stream into output frames and command-layout answers; other bytes are skipped.
// A frame is accepted only when every item is known and fits.
inline Decoded decodeStream(const QByteArray &stream)
{
    Decoded d;
    const auto *b = reinterpret_cast<const std::uint8_t *>(stream.constData());
    const int size = stream.size();
    for (int p = 0; p + 7 <= size;) {
        if (b[p] == 0x51 && b[p + 1] == 0x56) {
            if (OutputFrame::isValidAt(b + p, size - p)) {
                const int L = b[p + 4];
                DecodedFrame f;
                f.tid = b[p + 2] | (b[p + 3] << 8);
                int q = p + 5;
                for (const ItemKind *k = nullptr; q < p + 5 + L; q += 2 + k->length) {
                    k = ItemKind::find(b[q]);
                    if (!k || b[q + 1] != k->length || q + 2 + k->length > p + 5 + L)
                        break;
                    QVector<double> v(k->valueCount);
                    ItemCodec::decode(*k, b + q + 2, v.data());
                    f.items.insert(k->id, v);
                }
                if (q == p + 5 + L) {
                    f.end = p + L + 7;
                    d.frames.append(f);
                    p += L + 7;
                    continue;
                }
            }
            Answer a;
            if (Answer::readAt(b + p, size - p, a)) {
                d.answers.append({a.cls, a.op, stream.mid(p + 5, a.dataLength)});
                p += a.totalLength();
                continue;
            }
            if (p + b[p + 4] + 7 > size)
                break; // an unfinished frame at the end
        }
        ++p;
        ++d.skipped;
    }
    return d;
}

inline QVector<DecodedFrame> framesOf(const QByteArray &stream)
{
    return decodeStream(stream).frames;
}

// Answers of one class in a stream.
inline QVector<DecodedAnswer> answersOf(const QByteArray &stream, int cls)
{
    QVector<DecodedAnswer> out;
    for (const DecodedAnswer &a : decodeStream(stream).answers)
        if (a.cls == cls)
            out.append(a);
    return out;
}

// The host's end of the line: the slave device opened as a raw serial port.
class HostLine
{
public:
    ~HostLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool open(const QString &path, speed_t speed)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return m_fd >= 0 && setSpeed(speed);
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
    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Reads for ms milliseconds (or until done() says so).
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

private:
    int m_fd = -1;
    bool m_failed = false;
};

inline double norm(const QVector<double> &v)
{
    double s = 0.0;
    for (double x : v)
        s += x * x;
    return std::sqrt(s);
}
