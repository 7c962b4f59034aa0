// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;
class QFileDevice;

// What a writer of a file returns: nothing when the file is written, else one line that
// names the file and says why it is not, ready for the user.
using WriteError = std::optional<QString>;

QString CannotWrite(const QString &fileName, const QString &reason);

// A file written under a temporary name in its folder and given its name by commit(). The
// name is only ever a directory entry of that folder: a symbolic link there is replaced,
// never followed, and a folder, a device, a pipe or a socket under the name is refused.
// (QSaveFile writes through links to their targets, and would replace a pipe.) There is no
// fallback to writing in place when no temporary file can be made: a file is whole or absent.
// Writes go straight to the system, so a full disk shows in the write that meets it.
class SaveFile
{
public:
    explicit SaveFile(const QString &fileName);
    ~SaveFile();   // an uncommitted file is removed
    SaveFile(const SaveFile &) = delete;
    SaveFile &operator=(const SaveFile &) = delete;

    bool open();
    // What was written, or -1 with the reason set; after a failure commit() refuses.
    qint64 write(const char *data, qint64 size);
    bool commit();
    void cancelWriting();

    QString fileName() const { return fileName_; }
    QString errorString() const { return error_; }

private:
    bool fail(const QString &reason);
    bool failWithErrno();
    void discard();

    QString fileName_;
    QByteArray name_;        // the entry in the folder
    QByteArray temporary_;   // the temporary entry beside it
    int folder_ = -1;        // held open, so every name is resolved in the same folder
    int file_ = -1;
    bool failed_ = false;
    QString error_;
};

// Why a file the Lab writes cannot take the place of what `fileName` names (it is a folder,
// a device, a pipe or a socket), or nullopt: nothing, a file or a symbolic link.
std::optional<QString> NotReplaceable(const QString &fileName);

bool OpenForWriting(SaveFile &file);

// Opens the file `file` names to append to it, unbuffered, as a table that grows by whole
// rows. Only a file that is there is opened: a symbolic link is refused rather than
// followed, and so is a folder, a device or a pipe.
WriteError OpenForAppending(QFile &file);

// Writes all the bytes; when they do not all fit, false with the file's reason set.
bool WriteAll(SaveFile &file, const QByteArray &bytes);
bool WriteAll(QFileDevice &file, const QByteArray &bytes);

// The whole file in one go: under a temporary name, renamed when complete.
WriteError SaveWhole(const QString &fileName, const QByteArray &bytes);
