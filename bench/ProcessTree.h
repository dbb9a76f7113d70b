#pragma once

// The memory of a process and everything it started (the web engine's
// processes among them), from /proc: Linux only, as the benchmarks.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <unistd.h>

namespace ProcessTree {

// Children of a process, and theirs.
inline QList<qint64> descendants(qint64 pid) {
    QList<qint64> result;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 child = entry.toLongLong(&ok);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        if (!ok || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            result += QList<qint64>{child} + descendants(child);
    }
    return result;
}

// kB of a field of /proc/PID/smaps_rollup ("Rss:", "Pss:").
inline qint64 rollup(qint64 pid, const QByteArray& field) {
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
    return 0;
}

// kB of the field summed over the process and everything it started.
inline qint64 total(qint64 pid, const QByteArray& field) {
    qint64 sum = 0;
    for (qint64 p : QList<qint64>{pid} + descendants(pid))
        sum += rollup(p, field);
    return sum;
}

// CPU seconds (user and system) the process and everything it started have
// used so far; processes that ended are not counted.
inline double cpuSeconds(qint64 pid) {
    const double tick = double(sysconf(_SC_CLK_TCK));
    double sum = 0;
    for (qint64 p : QList<qint64>{pid} + descendants(pid)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            sum += double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / tick;
    }
    return sum;
}

} // namespace ProcessTree
