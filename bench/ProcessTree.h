#pragma once

// The memory of a process and everything it started (the web engine's
// processes among them), from /proc: Linux only, as the benchmarks.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace ProcessTree {

// A process's parent, 0 once it has gone.
inline qint64 parentOf(qint64 p) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

// Children of a process, and theirs.
inline QList<qint64> descendants(qint64 pid) {
    QList<qint64> result;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 child = entry.toLongLong(&ok);
        if (ok && parentOf(child) == pid)
            result += QList<qint64>{child} + descendants(child);
    }
    return result;
}

// User and system CPU ticks from a /proc/PID/stat (or task) line.
inline qint64 statTicks(const QByteArray& line) {
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : 0;
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
        sum += double(statTicks(stat.readAll())) / tick;
    }
    return sum;
}

// kB of the physical pages the process and everything it started have in
// memory, each page counted once however many of them map it: from the
// page frame numbers in /proc/PID/pagemap, which only root can read (0
// otherwise). Only mappings with resident pages are read.
inline qint64 uniqueResident(qint64 pid) {
    std::vector<std::uint64_t> frames;
    for (qint64 p : QList<qint64>{pid} + descendants(pid)) {
        QFile smaps(QStringLiteral("/proc/%1/smaps").arg(p));
        QFile pagemap(QStringLiteral("/proc/%1/pagemap").arg(p));
        if (!smaps.open(QIODevice::ReadOnly) || !pagemap.open(QIODevice::ReadOnly))
            continue;
        const qint64 page = sysconf(_SC_PAGESIZE);
        quint64 start = 0, end = 0;
        for (const QByteArray& line : smaps.readAll().split('\n')) {
            const int dash = line.indexOf('-');
            const int space = line.indexOf(' ');
            if (dash > 0 && space > dash) { // a mapping's first line: "start-end perms ..."
                bool ok1 = false, ok2 = false;
                start = line.left(dash).toULongLong(&ok1, 16);
                end = line.mid(dash + 1, space - dash - 1).toULongLong(&ok2, 16);
                if (!ok1 || !ok2)
                    start = end = 0;
            } else if (line.startsWith("Rss:") && end > start &&
                       line.mid(4).trimmed().split(' ').first().toLongLong() > 0) {
                if (!pagemap.seek(qint64(start / page * 8)))
                    continue;
                const QByteArray entries = pagemap.read(qint64((end - start) / page * 8));
                for (qsizetype at = 0; at + 8 <= entries.size(); at += 8) {
                    std::uint64_t e;
                    std::memcpy(&e, entries.constData() + at, 8);
                    const std::uint64_t frame = e & ((std::uint64_t(1) << 55) - 1);
                    if ((e >> 63) & 1 && frame != 0)
                        frames.push_back(frame);
                }
            }
        }
    }
    std::sort(frames.begin(), frames.end());
    const auto distinct = std::unique(frames.begin(), frames.end()) - frames.begin();
    return qint64(distinct) * sysconf(_SC_PAGESIZE) / 1024;
}

// The kind a process's command line names: the web engine's --type, or its
// program's name; empty once it has gone.
inline QString commandKind(qint64 p) {
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> args = cmdline.readAll().split('\0');
    QString kind = QFileInfo(QString::fromLocal8Bit(args.value(0))).fileName();
    for (const QByteArray& a : args)
        if (a.startsWith("--type="))
            kind = QString::fromLatin1(a.mid(7));
    return kind;
}

// A process's kind: as its command line names it, except that what a zygote
// forks keeps the zygote's command line and is a renderer.
inline QString processKind(qint64 p) {
    const QString kind = commandKind(p);
    if (kind != QLatin1String("zygote"))
        return kind;
    const qint64 parent = parentOf(p);
    return parent > 0 && commandKind(parent) == kind ? QStringLiteral("renderer") : kind;
}

// A field of smaps_rollup (KiB) summed by process kind over the tree.
inline QHash<QString, qint64> rollupByKind(qint64 pid, const QByteArray& field) {
    QHash<QString, qint64> sums;
    for (qint64 p : QList<qint64>{pid} + descendants(pid)) {
        const QString kind = processKind(p);
        if (!kind.isEmpty())
            sums[kind] += rollup(p, field);
    }
    return sums;
}

// CPU ticks each thread of the tree has used so far, by "process kind /
// thread name".
inline QHash<QString, qint64> threadTicks(qint64 pid) {
    QHash<QString, qint64> ticks;
    for (qint64 p : QList<qint64>{pid} + descendants(pid)) {
        const QString kind = processKind(p);
        if (kind.isEmpty())
            continue;
        const QString taskDir = QStringLiteral("/proc/%1/task").arg(p);
        for (const QString& tid : QDir(taskDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(taskDir + u'/' + tid + QStringLiteral("/stat"));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            // A process's first thread is named after its program: "main thread".
            const QString name =
                tid == QString::number(p)
                    ? QStringLiteral("main thread")
                    : QString::fromLatin1(line.mid(line.indexOf('(') + 1,
                                                   line.lastIndexOf(')') - line.indexOf('(') - 1));
            ticks[kind + QStringLiteral(" / ") + name] += statTicks(line);
        }
    }
    return ticks;
}

} // namespace ProcessTree
