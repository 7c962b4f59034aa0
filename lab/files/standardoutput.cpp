// SPDX-License-Identifier: GPL-3.0-or-later
#include "standardoutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

WriteError WriteStandardOutput(const QByteArray &bytes, const QString &what)
{
    errno = 0;
    const size_t size = size_t(bytes.size());
    const bool written = std::fwrite(bytes.constData(), 1, size, stdout) == size;
    // The stream's error flag also keeps a failure of an earlier write.
    if (written && std::fflush(stdout) == 0 && !std::ferror(stdout))
        return std::nullopt;
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(stdout);
    return QStringLiteral("cannot write %1 to standard output: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

void KeepStandardStreamsTaken()
{
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() gives the lowest free number: this one.
        const int taken = ::open("/dev/null", O_RDONLY);
        if (taken >= 0 && taken != stream)
            ::close(taken);
    }
}
