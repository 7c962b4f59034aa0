// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFileDevice;
class QSaveFile;

// What a writer of a file returns: nothing when the file is written, else one line that
// names the file and says why it is not, ready for the user.
using WriteError = std::optional<QString>;

QString CannotWrite(const QString &fileName, const QString &reason);

// Opens a file to be written under a temporary name in its folder and renamed by commit().
// Unbuffered: a full disk then shows in the write that meets it, with its reason, rather
// than as a short write that a buffer's flush reports without one.
bool OpenForWriting(QSaveFile &file);

// Writes all the bytes; when they do not all fit, false with the file's reason set.
bool WriteAll(QFileDevice &file, const QByteArray &bytes);

// The whole file in one go: under a temporary name, renamed when complete.
WriteError SaveWhole(const QString &fileName, const QByteArray &bytes);
