#include "readers/memory.h"

#include <limits>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(__linux__)
#include <QFile>

#include "dataset/numbers.h"
#endif

namespace qrn {

std::uint64_t availableMemoryBytes() {
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) return static_cast<std::uint64_t>(status.ullAvailPhys);
#elif defined(__linux__)
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!f.atEnd()) {
            const QByteArray line = f.readLine();
            if (!line.startsWith("MemAvailable:")) continue;
            const QByteArray rest = line.mid(13);
            const double kib = num::leadingValue(
                std::string_view(rest.constData(), static_cast<std::size_t>(rest.size())));
            if (kib > 0.0 && kib < 1e15) return static_cast<std::uint64_t>(kib) * 1024u;
        }
    }
#endif
    return std::numeric_limits<std::uint64_t>::max();
}

}  // namespace qrn
