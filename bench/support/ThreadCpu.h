#pragma once

// CPU time of each thread of this process, from /proc/self/task/*/schedstat (nanoseconds on a
// processor, and waiting for one) and comm (the thread's name), and its split into the program's
// own threads, the simulated unit's thread, the OpenGL driver's threads and the rest (Qt's and the
// system's).
#include <QDir>
#include <QFile>
#include <QString>

#include <map>
#include <unistd.h>

struct ThreadTime
{
    QString name;
    double seconds = 0.0;
    double waiting = 0.0; // seconds runnable but waiting for a processor
};

// Every live thread of the process: id -> name and CPU seconds so far.
inline std::map<int, ThreadTime> threadTimes()
{
    std::map<int, ThreadTime> times;
    const QStringList tids =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        QFile stat(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        if (!stat.open(QIODevice::ReadOnly) || !comm.open(QIODevice::ReadOnly))
            continue; // ended meanwhile
        ThreadTime t;
        const QList<QByteArray> fields = stat.readAll().split(' ');
        t.seconds = fields.value(0).toDouble() * 1e-9;
        t.waiting = fields.value(1).toDouble() * 1e-9;
        t.name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        times[tid.toInt()] = t;
    }
    return times;
}

enum class ThreadClass
{
    Program,  // the GUI thread and the program's named threads (arv-serial-io, arv-queries)
    Unit,     // the built-in simulated unit (arv-sim-unit)
    GlDriver, // Mesa's software renderer (llvmpipe-N)
    Other,    // Qt's and the system's helpers (QXcbEventQueue, QDBusConnection, gmain, ...)
};

inline ThreadClass classify(int tid, const QString &name)
{
    if (name == QLatin1String("arv-sim-unit"))
        return ThreadClass::Unit;
    if (tid == int(::getpid()) || name.startsWith(QLatin1String("arv-")))
        return ThreadClass::Program;
    if (name.startsWith(QLatin1String("llvmpipe")))
        return ThreadClass::GlDriver;
    return ThreadClass::Other;
}

// CPU seconds per class between two samples; threads that ended in between are missing from
// `after` and so from the split (the process total of getrusage still has them).
struct CpuSplit
{
    double program = 0.0, unit = 0.0, gl = 0.0, other = 0.0;
    QStringList otherNames;
    double sum() const { return program + unit + gl + other; }
};

inline CpuSplit cpuSplit(const std::map<int, ThreadTime> &before,
                         const std::map<int, ThreadTime> &after)
{
    CpuSplit split;
    for (const auto &entry : after) {
        const auto it = before.find(entry.first);
        const double used = entry.second.seconds - (it == before.end() ? 0.0 : it->second.seconds);
        switch (classify(entry.first, entry.second.name)) {
        case ThreadClass::Program:
            split.program += used;
            break;
        case ThreadClass::Unit:
            split.unit += used;
            break;
        case ThreadClass::GlDriver:
            split.gl += used;
            break;
        case ThreadClass::Other:
            split.other += used;
            if (!split.otherNames.contains(entry.second.name))
                split.otherNames << entry.second.name;
            break;
        }
    }
    return split;
}

// Resident memory of the process in kB (VmRSS).
inline long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}
