#pragma once
// What the soak runs watch in their own process: resident memory, open file
// descriptors and processor time. Linux reads /proc; elsewhere the figures
// are -1 (the soak runs are a Linux bench).

#include <QDir>
#include <QFile>
#include <cstdio>
#include <ctime>

namespace qrn::soak {

inline long residentKb() {
#ifdef __linux__
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> v = f.readAll().split(' ');
    return v.size() > 1 ? v[1].toLong() * 4 : -1;
#else
    return -1;
#endif
}

inline int openFiles() {
#ifdef __linux__
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
#else
    return -1;
#endif
}

// Processor time of the process (all threads), in ms: unlike the wall clock it
// does not grow when other jobs take the cores (Windows' clock() is the wall
// clock).
inline double cpuMs() { return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC; }

// With --trace, one line per cycle on stderr: cycle, wall and processor ms,
// resident kB and open files, to see a trend the averages hide.
inline void trace(bool on, int cycle, double wallMs, double cpu) {
    if (on)
        std::fprintf(stderr, "%d %.1f %.1f %ld %d\n", cycle, wallMs, cpu, residentKb(),
                     openFiles());
}

}  // namespace qrn::soak
