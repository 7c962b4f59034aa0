// SPDX-License-Identifier: GPL-3.0-or-later
#include "savefile.h"

#include <QDir>
#include <QSaveFile>

QString CannotWrite(const QString &fileName, const QString &reason)
{
    return QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), reason);
}

bool OpenForWriting(QSaveFile &file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool WriteAll(QFileDevice &file, const QByteArray &bytes)
{
    // A write that fills the disk writes what fits and reports nothing; the next one
    // fails with the reason.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

WriteError SaveWhole(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (!OpenForWriting(file) || !WriteAll(file, bytes) || !file.commit())
        return CannotWrite(fileName, file.errorString());
    return std::nullopt;
}
