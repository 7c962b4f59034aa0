// SPDX-License-Identifier: GPL-3.0-or-later
#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int TemporaryAttempts = 100;
constexpr int SuffixLength = 6;

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// What stands under `name` in the folder that a file must not replace; links are not
// followed, so a link counts as a file whatever it points at.
std::optional<QString> Occupant(int folder, const char *name)
{
    struct stat status;
    if (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;   // nothing there, or nothing this can tell; the rename will say
    const char *what = nullptr;
    if (S_ISDIR(status.st_mode))
        what = "a folder";
    else if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        what = "a device";
    else if (S_ISFIFO(status.st_mode))
        what = "a pipe";
    else if (S_ISSOCK(status.st_mode))
        what = "a socket";
    if (!what)
        return std::nullopt;
    return QStringLiteral("it is %1, and velmora-lab replaces only files and symbolic links").arg(QLatin1String(what));
}

QByteArray RandomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(SuffixLength, '\0');
    for (char &c : suffix)
        c = letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return suffix;
}

int OpenFolder(const QString &fileName)
{
    return ::open(QFile::encodeName(QFileInfo(fileName).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

QString CannotWrite(const QString &fileName, const QString &reason)
{
    return QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), reason);
}

SaveFile::SaveFile(const QString &fileName)
    : fileName_(fileName)
    , name_(QFile::encodeName(QFileInfo(fileName).fileName()))
{
}

SaveFile::~SaveFile()
{
    discard();
}

bool SaveFile::fail(const QString &reason)
{
    error_ = reason;
    failed_ = true;
    discard();
    return false;
}

bool SaveFile::failWithErrno()
{
    return fail(ErrnoText(errno));
}

void SaveFile::discard()
{
    if (file_ >= 0) {
        ::close(file_);
        file_ = -1;
    }
    if (!temporary_.isEmpty()) {
        unlinkat(folder_, temporary_.constData(), 0);
        temporary_.clear();
    }
    if (folder_ >= 0) {
        ::close(folder_);
        folder_ = -1;
    }
}

bool SaveFile::open()
{
    if (file_ >= 0)
        return fail(QStringLiteral("it is already being written"));
    failed_ = false;
    error_.clear();
    if (name_.isEmpty() || name_ == "." || name_ == "..")
        return fail(QStringLiteral("it names a folder, not a file"));
    folder_ = OpenFolder(fileName_);
    if (folder_ < 0)
        return failWithErrno();
    if (const auto occupant = Occupant(folder_, name_.constData()))
        return fail(*occupant);
    for (int attempt = 0; attempt < TemporaryAttempts; ++attempt) {
        // Hidden, and never a name the Lab gives a file.
        const QByteArray temporary = '.' + name_ + '.' + RandomSuffix();
        file_ = openat(folder_, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file_ >= 0) {
            temporary_ = temporary;
            return true;
        }
        if (errno != EEXIST)
            return failWithErrno();
    }
    return fail(QStringLiteral("no free temporary name beside it"));
}

qint64 SaveFile::write(const char *data, qint64 size)
{
    if (failed_)
        return -1;
    if (file_ < 0) {
        fail(QStringLiteral("it is not open"));
        return -1;
    }
    for (;;) {
        const ssize_t written = ::write(file_, data, size_t(size));
        if (written >= 0)
            return written;
        if (errno != EINTR) {
            failWithErrno();
            return -1;
        }
    }
}

bool SaveFile::commit()
{
    if (failed_ || file_ < 0) {
        if (error_.isEmpty())
            error_ = QStringLiteral("it is not open");
        discard();
        return false;
    }
    // A file system that cannot sync says so with these; any other error is the data's.
    if (fsync(file_) != 0 && errno != EINVAL && errno != ENOTSUP && errno != ENOSYS)
        return failWithErrno();
    const int closed = ::close(file_);
    file_ = -1;
    if (closed != 0)   // where a network file system reports a failed write
        return failWithErrno();
    // Looked at again: something may have taken the name while the file was written.
    if (const auto occupant = Occupant(folder_, name_.constData()))
        return fail(*occupant);
    // rename() replaces the entry itself: a link there is gone, its target untouched.
    if (renameat(folder_, temporary_.constData(), folder_, name_.constData()) != 0)
        return failWithErrno();
    temporary_.clear();
    discard();
    return true;
}

void SaveFile::cancelWriting()
{
    discard();
}

std::optional<QString> NotReplaceable(const QString &fileName)
{
    const int folder = OpenFolder(fileName);
    if (folder < 0)
        return std::nullopt;
    const auto occupant = Occupant(folder, QFile::encodeName(QFileInfo(fileName).fileName()).constData());
    ::close(folder);
    return occupant;
}

bool OpenForWriting(SaveFile &file)
{
    return file.open();
}

WriteError OpenForAppending(QFile &file)
{
    // Not blocking: opening a pipe to write would wait for a reader.
    const int handle = ::open(QFile::encodeName(file.fileName()).constData(),
                              O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        if (errno == ELOOP)
            return CannotWrite(file.fileName(), QStringLiteral("it is a symbolic link, and velmora-lab appends only "
                                                               "to a file itself"));
        // ENXIO: a pipe that no one reads, or a device that is not there.
        return CannotWrite(file.fileName(), errno == ENXIO ? QStringLiteral("it is not a file") : ErrnoText(errno));
    }
    struct stat status;
    if (fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(handle);
        return CannotWrite(file.fileName(), QStringLiteral("it is not a file"));
    }
    if (!file.open(handle, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return CannotWrite(file.fileName(), file.errorString());
    }
    return std::nullopt;
}

namespace {

// A write that fills the disk writes what fits and reports nothing; the next one fails
// with the reason.
template <typename File>
bool WriteEvery(File &file, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

bool WriteAll(SaveFile &file, const QByteArray &bytes)
{
    return WriteEvery(file, bytes);
}

bool WriteAll(QFileDevice &file, const QByteArray &bytes)
{
    return WriteEvery(file, bytes);
}

WriteError SaveWhole(const QString &fileName, const QByteArray &bytes)
{
    SaveFile file(fileName);
    if (!OpenForWriting(file) || !WriteAll(file, bytes) || !file.commit())
        return CannotWrite(fileName, file.errorString());
    return std::nullopt;
}
