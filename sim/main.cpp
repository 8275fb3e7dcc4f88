// arv-unit-sim: a simulated ARV unit on a pseudo-terminal. The first line of standard output
// is the serial device a host opens.

#include "protocol/RateTables.h"
#include "sim/FirmwareImage.h"
#include "sim/SimulatedUnit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "arv-unit-sim: %s\n", qPrintable(message));
    std::exit(2);
}

double number(const QCommandLineParser &p, const QString &name, double low, double high)
{
    bool ok = false;
    const double v = p.value(name).toDouble(&ok);
    if (!ok || !(v >= low && v <= high))
        fail(QStringLiteral("--%1 wants a number from %2 to %3").arg(name).arg(low).arg(high));
    return v;
}

template <std::size_t N>
std::array<double, N> numbers(const QCommandLineParser &p, const QString &name)
{
    const QStringList parts = p.value(name).split(',');
    if (parts.size() != static_cast<int>(N))
        fail(QStringLiteral("--%1 wants %2 comma-separated numbers").arg(name).arg(N));
    std::array<double, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        bool ok = false;
        out[i] = parts[static_cast<int>(i)].trimmed().toDouble(&ok);
        if (!ok)
            fail(
                QStringLiteral("--%1: '%2' is not a number").arg(name, parts[static_cast<int>(i)]));
    }
    return out;
}

int integer(const QCommandLineParser &p, const QString &name, int base = 10)
{
    bool ok = false;
    const int v = p.value(name).toInt(&ok, base);
    if (!ok)
        fail(QStringLiteral("--%1 wants an integer").arg(name));
    return v;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("arv-unit-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.8.7"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A simulated ARV unit on a pseudo-terminal. Prints the serial device to open as the\n"
        "first line of its output and runs until interrupted (SIGINT/SIGTERM) or --duration."));
    p.addHelpOption();
    p.addVersionOption();
    const UnitConfig d;
    const QList<QCommandLineOption> options = {
        {"link", "Make PATH a symbolic link to the serial device.", "PATH"},
        {"duration", "Run this many seconds, then end (default: until interrupted).", "SECONDS"},
        {"baud", "The unit's baud rate (default 460800).", "BAUD", "460800"},
        {"rate", "Output rate in Hz, one of the frequency table (default 100).", "HZ", "100"},
        {"mask", "Content mask, hexadecimal (default 8CFF: every kind).", "HEX", "8CFF"},
        {"precise-location", "The position bit gives item 0x68 instead of 0x60."},
        {"mode", "Algorithm mode code 1-5 (default 1, AHRS).", "CODE", "1"},
        {"product-id", "Product ID bytes, hexadecimal.", "HEX",
         QString::fromLatin1(d.productId.toHex())},
        {"firmware-version", "The unit's version text (default \"" + d.version + "\").", "TEXT",
         d.version},
        {"model", "Model part of the version text (e.g. \"ARV806 \").", "TEXT"},
        {"suffix", "Suffix part of the version text (e.g. A).", "TEXT"},
        {"unpaced", "Send frames as fast as the host reads (throughput tests)."},
        {"seed", "Seed of the physical model's noise (default 1).", "N", "1"},
        {"rest", "Seconds at rest before the motion starts (default 3).", "SECONDS", "3"},
        {"turn", "Seconds of each turn about X, Y and Z (default 8).", "SECONDS", "8"},
        {"gyro-bias", "The gyro's own bias X,Y,Z in deg/s (default 0.05,-0.03,0.02).", "X,Y,Z"},
        {"gyro-noise", "Gyro noise, deg/s (default 0.02).", "SD"},
        {"accel-noise", "Accelerometer noise, m/s² (default 0.005).", "SD"},
        {"mag-noise", "Magnetometer noise (default 0.05).", "SD"},
        {"mag-strength", "Magnitude of the earth's field in raw units (default 50).", "VALUE"},
        {"soft-iron", "Soft-iron matrix, nine numbers row by row.", "A,B,C,D,E,F,G,H,I"},
        {"hard-iron", "Hard-iron offset X,Y,Z (default 6,-4,9).", "X,Y,Z"},
        {"restart-seconds", "Silence after a successful update (default 1.5).", "SECONDS"},
        {"garbage", "Random garbage bytes between frames, as a share of frame bytes.", "SHARE"},
        {"bit-flips", "Share of sent bytes that get one bit flipped.", "SHARE"},
        {"drop-answers", "Share of answers to queries and commands not sent.", "SHARE"},
        {"drop-update-acks", "Share of firmware-update answers not sent.", "SHARE"},
        {"update-error", "Answer this status (e.g. E4) instead of an update acknowledgement.",
         "HEX"},
        {"update-error-frame",
         "The update frame that gets --update-error: 0 start, k data frame k, -1 finish "
         "(default 1).",
         "N", "1"},
        {"disconnect-after", "Cut the line after this many seconds, as a pulled cable.", "SECONDS"},
        {"make-image", "Write a firmware image the unit accepts to FILE and end.", "FILE"},
        {"image-version", "Version text of --make-image (default V2.8.8-20240301-ARV806 -A).",
         "TEXT", "V2.8.8-20240301-ARV806 -A"},
        {"image-size", "Payload bytes of --make-image (default 4096).", "BYTES", "4096"},
    };
    p.addOptions(options);
    p.process(app);
    if (!p.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1' (see --help)")
                 .arg(p.positionalArguments()[0]));

    if (p.isSet("make-image")) {
        const QByteArray image =
            FirmwareImage::make(p.value("image-version"), integer(p, "image-size"));
        QFile f(p.value("make-image"));
        if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size())
            fail(QStringLiteral("cannot write %1: %2").arg(f.fileName(), f.errorString()));
        return 0;
    }

    UnitConfig c;
    c.baudRate = integer(p, "baud");
    if (c.baudRate <= 0)
        fail(QStringLiteral("--baud wants a positive rate"));
    c.version = p.value("firmware-version");
    if (p.isSet("model") || p.isSet("suffix")) {
        QStringList parts = c.version.split('-');
        while (parts.size() < 4)
            parts.append(QString());
        if (p.isSet("model"))
            parts[2] = p.value("model");
        if (p.isSet("suffix"))
            parts[3] = p.value("suffix");
        c.version = parts.join('-');
    }
    const int rate = integer(p, "rate");
    const QString model = c.model(), suffix = c.suffix();
    c.frequencyCode = RateTables::codeForRate(rate, model, suffix);
    if (RateTables::rateForCode(c.frequencyCode, model, suffix) != rate)
        fail(QStringLiteral("--rate %1 Hz is not in this model's frequency table").arg(rate));
    c.contentMask = static_cast<std::uint16_t>(integer(p, "mask", 16));
    c.preciseLocation = p.isSet("precise-location");
    c.algorithmMode = integer(p, "mode");
    c.productId = QByteArray::fromHex(p.value("product-id").toLatin1());
    c.unpaced = p.isSet("unpaced");
    c.motion.seed = static_cast<std::uint64_t>(p.value("seed").toULongLong());
    c.motion.restSeconds = number(p, "rest", 0, 1e6);
    c.motion.turnSeconds = number(p, "turn", 0.1, 1e6);
    if (p.isSet("gyro-bias"))
        c.motion.gyroBias = numbers<3>(p, "gyro-bias");
    if (p.isSet("gyro-noise"))
        c.motion.gyroNoise = number(p, "gyro-noise", 0, 1e6);
    if (p.isSet("accel-noise"))
        c.motion.accelNoise = number(p, "accel-noise", 0, 1e6);
    if (p.isSet("mag-noise"))
        c.motion.magNoise = number(p, "mag-noise", 0, 1e6);
    if (p.isSet("mag-strength"))
        c.motion.magStrength = number(p, "mag-strength", 1e-6, 1e6);
    if (p.isSet("soft-iron"))
        c.motion.softIron = numbers<9>(p, "soft-iron");
    if (p.isSet("hard-iron"))
        c.motion.hardIron = numbers<3>(p, "hard-iron");
    if (p.isSet("restart-seconds"))
        c.restartSeconds = number(p, "restart-seconds", 0, 3600);
    if (p.isSet("garbage"))
        c.faults.garbageShare = number(p, "garbage", 0, 100);
    if (p.isSet("bit-flips"))
        c.faults.bitFlipShare = number(p, "bit-flips", 0, 1);
    if (p.isSet("drop-answers"))
        c.faults.dropAnswerShare = number(p, "drop-answers", 0, 1);
    if (p.isSet("drop-update-acks"))
        c.faults.dropUpdateAckShare = number(p, "drop-update-acks", 0, 1);
    if (p.isSet("update-error")) {
        c.faults.updateErrorStatus = integer(p, "update-error", 16);
        if (c.faults.updateErrorStatus < 0 || c.faults.updateErrorStatus > 255)
            fail(QStringLiteral("--update-error wants a status byte"));
    }
    c.faults.updateErrorFrame = integer(p, "update-error-frame");
    if (p.isSet("disconnect-after"))
        c.faults.disconnectAfterSeconds = number(p, "disconnect-after", 0.001, 1e9);

    // SIGINT and SIGTERM are taken by sigtimedwait below, on this thread only.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // Read before the unit starts: a bad value ends the program through exit().
    const double duration = p.isSet("duration") ? number(p, "duration", 0, 1e9) : -1.0;

    SimulatedUnit unit(c);
    QString error;
    if (!unit.start(&error))
        fail(error);
    const QString device = unit.devicePath();
    QString link;
    if (p.isSet("link")) {
        link = p.value("link");
        const QByteArray l = QFile::encodeName(link);
        ::unlink(l.constData()); // a stale link of an earlier run
        if (::symlink(QFile::encodeName(device).constData(), l.constData()) != 0) {
            const QString reason = QString::fromLocal8Bit(strerror(errno));
            // exit() does not join the unit's thread: stop it before the statics go.
            unit.stop();
            fail(QStringLiteral("cannot make the link %1: %2").arg(link, reason));
        }
    }
    std::printf("%s\n", qPrintable(device));
    std::fflush(stdout);

    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    int signal = 0;
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double ran = (now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9;
        if (duration >= 0.0 && ran >= duration)
            break;
        if (!unit.isRunning()) {
            std::fprintf(stderr, "arv-unit-sim: the line was cut\n");
            break;
        }
        const timespec step{0, 100 * 1000 * 1000};
        const int s = sigtimedwait(&stopSignals, nullptr, &step);
        if (s > 0) {
            signal = s;
            break;
        }
    }
    unit.stop();
    if (!link.isEmpty())
        ::unlink(QFile::encodeName(link).constData());
    const UnitCounters n = unit.counters();
    std::fprintf(stderr,
                 "arv-unit-sim: %llu frames sent, %llu skipped, %llu answers, %llu bytes received, "
                 "%llu bytes the host's terminal had no room for\n",
                 static_cast<unsigned long long>(n.framesSent),
                 static_cast<unsigned long long>(n.framesSkipped),
                 static_cast<unsigned long long>(n.answersSent),
                 static_cast<unsigned long long>(n.bytesReceived),
                 static_cast<unsigned long long>(unit.bytesOverrun()));
    (void)signal;
    return 0;
}
