#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <stdexcept>

#ifndef _WIN32
#include <unistd.h>
#endif

// What the import benchmark's parts share: printing a line, copying files, settling the disk.
namespace kestrel::bench {

inline void say(const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

inline void copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error(
            (QStringLiteral("cannot copy ") + from + QStringLiteral(" to ") + to).toStdString());
}

// Writes the copies out before anything is timed: a run that syncs while the system still
// writes back gigabytes of fresh copies waits for them, and each side would wait differently.
inline void settleDisk() {
#ifndef _WIN32
    ::sync();
#endif
}

} // namespace kestrel::bench
