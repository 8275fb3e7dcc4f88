#include "sim/SimulatedUnit.h"

#include "protocol/RateTables.h"
#include "sim/LineGarbler.h"
#include "sim/SimLog.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int hostSpeed(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return 0;
    return SimulatedUnit::speedToBaud(static_cast<unsigned int>(cfgetospeed(&t)));
}

// Waits for fd (or just sleeps when fd < 0) up to seconds.
int waitFor(int fd, short events, double seconds, short &revents)
{
    if (seconds < 0.0)
        seconds = 0.0;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    pollfd p{fd, events, 0};
    const int r = ppoll(fd >= 0 ? &p : nullptr, fd >= 0 ? 1 : 0, &ts, nullptr);
    revents = p.revents;
    return r;
}

} // namespace

int SimulatedUnit::speedToBaud(unsigned int speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    case B460800:
        return 460800;
    case B500000:
        return 500000;
    case B576000:
        return 576000;
    case B921600:
        return 921600;
    case B1000000:
        return 1000000;
    case B1500000:
        return 1500000;
    case B2000000:
        return 2000000;
    default:
        return 0;
    }
}

SimulatedUnit::SimulatedUnit(const UnitConfig &config) : m_core(config), m_unpaced(config.unpaced)
{
}

SimulatedUnit::~SimulatedUnit()
{
    stop();
}

bool SimulatedUnit::start(QString *error)
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    if (m_thread.joinable()) {
        if (m_running.load()) {
            if (error)
                *error = QStringLiteral("the simulated unit is already running");
            return false;
        }
        m_thread.join(); // ended by a disconnect
    }
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    // A raw line.
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetspeed(&t, B0); // no speed until the host sets one: nothing readable gets through
        tcsetattr(slave, TCSANOW, &t);
    }
    ::close(slave); // the host opens the device by its path
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_path = QString::fromLocal8Bit(name);
        m_core.powerUp();
    }
    m_stop = false;
    m_disconnected = false;
    m_disconnectRequest = false;
    m_hostConnected = false;
    m_running = true;
    try {
        m_thread = std::thread([this, master] { run(master); });
    } catch (const std::system_error &e) {
        m_running = false;
        ::close(master);
        if (error)
            *error = QStringLiteral("cannot start the unit's thread: %1")
                         .arg(QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

void SimulatedUnit::stop()
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

void SimulatedUnit::run(int master)
{
    // Named, so that measurements can tell the unit's CPU time from the host's.
    pthread_setname_np(pthread_self(), "arv-sim-unit");
    const Clock::time_point begin = Clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - begin).count(); };

    // The line runs on its own clock: every byte takes 10 bit times at the unit's baud rate.
    // A byte leaves for the host once its time has come, even when this thread woke late.
    QByteArray tx;          // bytes waiting for the line
    double txStart = 0.0;   // when the first byte of tx starts on the line
    double lineFree = 0.0;  // when the line has sent everything before tx
    double nextDue = 0.0;   // next output tick (paced)
    double modelTime = 0.0; // unpaced: the model's time goes by the ticks
    bool hup = true;
    char buf[4096];
    // Line start times of the output frames in tx (oldest first), for the UART's queue
    // depth: one frame on the wire and at most one waiting behind it.
    std::deque<double> frameStarts;
    double byteTime = 0.0; // line time of one byte at the unit's baud rate

    // Queues bytes made at time at; returns when their first byte starts on the line.
    auto queue = [&](const QByteArray &bytes, double at) {
        if (bytes.isEmpty())
            return at;
        if (tx.isEmpty())
            txStart = std::max(at, lineFree);
        const double start = txStart + tx.size() * byteTime;
        tx.append(bytes);
        return std::max(start, at);
    };

    while (!m_stop.load()) {
        const double now = elapsed();
        UnitFaults faults;
        int unitBaud;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            faults = m_core.faults();
            unitBaud = m_core.baudRate();
        }
        if (m_disconnectRequest.load() ||
            (faults.disconnectAfterSeconds > 0.0 && now >= faults.disconnectAfterSeconds)) {
            m_disconnected = true;
            qCDebug(lcSim) << "the line is cut";
            break;
        }
        byteTime = 10.0 / std::max(unitBaud, 1);

        // Is a host there, and at which speed?
        short rev = 0;
        waitFor(master, POLLIN, 0.0, rev);
        hup = (rev & POLLHUP) != 0;
        m_hostConnected = !hup;
        const int hostBaud = hostSpeed(master);
        m_hostBaud = hostBaud;

        // Host → unit.
        if (!hup) {
            for (;;) {
                const ssize_t r = ::read(master, buf, sizeof buf);
                if (r <= 0)
                    break;
                const QByteArray heard =
                    LineGarbler::receive(QByteArray(buf, static_cast<int>(r)), hostBaud, unitBaud);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_core.receive(heard, now);
            }
        }

        // Unit → host: answers, then output frames.
        const bool unpaced = m_unpaced && !hup;
        bool active = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_core.tick(now);
            QByteArray answers = m_core.takeAnswers();
            if (!answers.isEmpty()) {
                m_core.flipBits(answers);
                queue(LineGarbler::receive(answers, unitBaud, hostBaud), now);
            }
            const double rate = m_core.outputRateHz();
            const double period = rate > 0.0 ? 1.0 / rate : 1.0;
            active = m_core.outputActive() && rate > 0.0;
            auto makeFrame = [&](double t) {
                QByteArray frame = m_core.buildOutput(t, m_tick);
                const int length = frame.size();
                m_core.flipBits(frame);
                frame.append(m_core.garbageAfter(length, m_tick));
                return LineGarbler::receive(frame, unitBaud, hostBaud);
            };
            if (!active) {
                nextDue = now;
            } else if (unpaced) {
                if (tx.isEmpty()) {
                    queue(makeFrame(modelTime), now);
                    ++m_tick;
                    modelTime += period;
                }
                nextDue = now;
            } else {
                if (now - nextDue > 0.5)
                    nextDue = now; // the unit was held up (not a line limit): start again
                while (now >= nextDue) {
                    // As a UART: a frame due while another is on the wire waits behind it;
                    // it is skipped, TID and all, only when one is already waiting. Line
                    // times are the bytes' own, so a late wake-up skips nothing that fits.
                    while (!frameStarts.empty() && frameStarts.front() <= nextDue + 1e-9)
                        frameStarts.pop_front(); // on the wire (or sent) by the due time
                    if (!frameStarts.empty())
                        m_core.skipFrame();
                    else
                        frameStarts.push_back(queue(makeFrame(nextDue), nextDue));
                    ++m_tick;
                    modelTime = nextDue;
                    nextDue += period;
                }
            }
        }

        // Put the bytes whose time has come on the line.
        if (!tx.isEmpty()) {
            int allowed = tx.size();
            if (!unpaced) {
                const double due = (now - txStart) / byteTime;
                allowed = due <= 0.0 ? 0 : static_cast<int>(std::min<double>(tx.size(), due));
            }
            if (allowed > 0) {
                ssize_t w = allowed;
                if (!hup) {
                    w = ::write(master, tx.constData(), static_cast<size_t>(allowed));
                    if (w < 0)
                        w = (errno == EAGAIN || errno == EINTR) ? 0 : allowed;
                    if (!unpaced) {
                        // What the host's buffer did not take is lost (overrun).
                        m_bytesOverrun += static_cast<std::uint64_t>(allowed - w);
                        w = allowed;
                    }
                }
                if (w > 0) {
                    tx.remove(0, static_cast<int>(w));
                    txStart += static_cast<double>(w) * byteTime;
                    m_bytesSent += static_cast<std::uint64_t>(w);
                }
            }
            if (tx.isEmpty())
                lineFree = unpaced ? now : txStart;
        }

        // Sleep until something is due.
        double wait = 0.005;
        if (!unpaced && !tx.isEmpty())
            wait = std::min(wait, std::max(0.0005, txStart + byteTime - elapsed()));
        if (active && !unpaced && nextDue - elapsed() < wait)
            wait = nextDue - elapsed();
        if (hup) {
            waitFor(-1, 0, std::min(wait, 0.002), rev);
        } else {
            short events = POLLIN;
            if (unpaced)
                events |= POLLOUT;
            waitFor(master, events, unpaced && active && tx.isEmpty() ? 0.0 : wait, rev);
        }
    }
    ::close(master);
    m_hostConnected = false;
    m_running = false;
}

// --- accessors ----------------------------------------------------------------------------

#define LOCKED(expr)                                                                               \
    std::lock_guard<std::mutex> lock(m_mutex);                                                     \
    return expr

QString SimulatedUnit::devicePath() const
{
    LOCKED(m_path);
}
int SimulatedUnit::baudRate() const
{
    LOCKED(m_core.baudRate());
}
void SimulatedUnit::setBaudRate(int baud)
{
    LOCKED(m_core.setBaudRate(baud));
}
int SimulatedUnit::frequencyCode() const
{
    LOCKED(m_core.frequencyCode());
}
bool SimulatedUnit::setFrequencyCode(int code)
{
    LOCKED(m_core.setFrequencyCode(code));
}
double SimulatedUnit::outputRateHz() const
{
    LOCKED(m_core.outputRateHz());
}
std::uint16_t SimulatedUnit::contentMask() const
{
    LOCKED(m_core.contentMask());
}
void SimulatedUnit::setContentMask(std::uint16_t mask)
{
    LOCKED(m_core.setContentMask(mask));
}
bool SimulatedUnit::preciseLocation() const
{
    LOCKED(m_core.preciseLocation());
}
void SimulatedUnit::setPreciseLocation(bool on)
{
    LOCKED(m_core.setPreciseLocation(on));
}
int SimulatedUnit::algorithmMode() const
{
    LOCKED(m_core.algorithmMode());
}
void SimulatedUnit::setAlgorithmMode(int mode)
{
    LOCKED(m_core.setAlgorithmMode(mode));
}
int SimulatedUnit::outputProtocol() const
{
    LOCKED(m_core.outputProtocol());
}
int SimulatedUnit::rateRange() const
{
    LOCKED(m_core.rateRange());
}
QByteArray SimulatedUnit::productId() const
{
    LOCKED(m_core.productId());
}
QString SimulatedUnit::version() const
{
    LOCKED(m_core.version());
}
UnitCalibration SimulatedUnit::calibration() const
{
    LOCKED(m_core.calibration());
}
MotionConfig SimulatedUnit::motion() const
{
    LOCKED(m_core.motion());
}
void SimulatedUnit::setMotion(const MotionConfig &motion)
{
    LOCKED(m_core.setMotion(motion));
}
UnitFaults SimulatedUnit::faults() const
{
    LOCKED(m_core.faults());
}
void SimulatedUnit::setFaults(const UnitFaults &faults)
{
    LOCKED(m_core.setFaults(faults));
}
UpdatePhase SimulatedUnit::updatePhase() const
{
    LOCKED(m_core.updatePhase());
}
UnitCounters SimulatedUnit::counters() const
{
    LOCKED(m_core.counters());
}
QByteArray SimulatedUnit::receivedBytes() const
{
    LOCKED(m_core.receivedBytes());
}
std::uint16_t SimulatedUnit::nextTid() const
{
    LOCKED(m_core.nextTid());
}

#undef LOCKED

void SimulatedUnit::setIdentity(const QByteArray &productId, const QString &version)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_core.setIdentity(productId, version);
}

bool SimulatedUnit::setOutputRate(int hz)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString model = m_core.model(), suffix = m_core.suffix();
    const int code = RateTables::codeForRate(hz, model, suffix);
    if (RateTables::rateForCode(code, model, suffix) != hz)
        return false;
    return m_core.setFrequencyCode(code);
}

void SimulatedUnit::setGyroBias(double x, double y, double z)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    MotionConfig m = m_core.motion();
    m.gyroBias = {x, y, z};
    m_core.setMotion(m);
}

void SimulatedUnit::disconnectNow()
{
    m_disconnectRequest = true;
}
