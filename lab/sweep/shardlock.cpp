// SPDX-License-Identifier: GPL-3.0-or-later
#include "shardlock.h"

#include "shardfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

#ifdef F_OFD_SETLK
constexpr int SetLock = F_OFD_SETLK;
constexpr int GetLock = F_OFD_GETLK;
#else
constexpr int SetLock = F_SETLK;   // per process: a second lock in one process then passes
constexpr int GetLock = F_GETLK;
#endif

// Lock files of other splits looked at to name a writer, at most.
constexpr int HoldersLooked = 4096;
// What a holder writes about itself; the first line is read back.
constexpr qint64 HolderBytes = 512;

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

int OpenLockFile(const QString &path, int flags)
{
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

struct flock Range(short type, off_t start, off_t length)
{
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;   // 0: to the end, however far the file grows
    return lock;
}

bool Busy(int error)
{
    return error == EAGAIN || error == EACCES;
}

// Some lock held on the range that a write lock would meet, or F_UNLCK.
std::optional<struct flock> HeldOn(int fd, off_t start, off_t length)
{
    struct flock lock = Range(F_WRLCK, start, length);
    if (fcntl(fd, GetLock, &lock) != 0)
        return std::nullopt;
    return lock;
}

// The first line of a shard's lock file: who holds it, as the holder wrote it.
QString HolderOf(int fd)
{
    char text[HolderBytes];
    const ssize_t read = pread(fd, text, sizeof text, 0);
    if (read <= 0)
        return {};
    const QByteArray bytes(text, qsizetype(read));
    const qsizetype end = bytes.indexOf('\n');
    return end > 0 ? QString::fromUtf8(bytes.left(end)) : QString();
}

QString Unnamed(const QString &holder)
{
    return holder.isEmpty() ? QStringLiteral("a process that has not yet said which") : holder;
}

ShardLock::Refusal NoLocks(const QString &path, int error)
{
    return {false, QStringLiteral("cannot lock %1 (%2): the file system of the sweep's folder gives no locks, so "
                                  "nothing would keep two processes from writing one shard. Use a folder on a file "
                                  "system with working locks (NFS with its lock manager, Lustre mounted with "
                                  "-o flock), or give each process a folder of its own and copy their shards/ "
                                  "into one folder to merge")
                           .arg(Native(path), QString::fromLocal8Bit(std::strerror(error)))};
}

QString ShardName(Shard shard)
{
    return shard.count > 1 ? QStringLiteral("shard %1 of %2").arg(shard.index).arg(shard.count)
                           : QStringLiteral("the sweep");
}

ShardLock::Refusal ShardBusy(const QString &sweepFolder, Shard shard, const QString &holder)
{
    return {true, QStringLiteral("%1 in %2 is being written by another process (%3); a shard has one writer at a "
                                 "time: wait for it to end, or stop it, then go on with --resume")
                      .arg(ShardName(shard), Native(sweepFolder), Unnamed(holder))};
}

QString WriterOfSplit(const QDir &folder, quint32 count);

ShardLock::Refusal SplitBusy(const QString &sweepFolder, const QDir &folder, quint32 other)
{
    const QString split = other == 1 ? QStringLiteral("whole, not split into shards,") : QStringLiteral("as %1 shards").arg(other);
    return {true, QStringLiteral("the sweep in %1 is being written %2 now (by %3): shards of two splits hold the same "
                                 "runs, so one split is written at a time; wait for its writers to end, or stop them, "
                                 "then go on with --resume")
                      .arg(Native(sweepFolder), split, WriterOfSplit(folder, other))};
}

// The ranges of sweep.lock that belong to the other splits: start and length (0: to the end).
std::vector<std::pair<off_t, off_t>> OtherSplits(Shard shard)
{
    const off_t ours = off_t(shard.count);
    std::vector<std::pair<off_t, off_t>> others;
    if (ours > 1)
        others.push_back({1, ours - 1});
    others.push_back({ours + 1, 0});
    return others;
}

// Who writes a shard of a split into `count`: the first of its lock files that is held.
QString WriterOfSplit(const QDir &folder, quint32 count)
{
    const QStringList names = folder.entryList({QStringLiteral("shard-*-of-%1.lock").arg(count)}, QDir::Files, QDir::Name);
    int looked = 0;
    for (const QString &name : names) {
        if (++looked > HoldersLooked)
            break;
        const int fd = OpenLockFile(folder.filePath(name), O_RDONLY);
        if (fd < 0)
            continue;
        const auto held = HeldOn(fd, 0, 0);
        QString holder;
        if (held && held->l_type != F_UNLCK)
            holder = Unnamed(HolderOf(fd));
        ::close(fd);
        if (!holder.isEmpty())
            return holder;
    }
    return Unnamed(QString());
}

} // namespace

QString ShardLock::ShardFile(Shard shard)
{
    return QStringLiteral("shard-%1-of-%2.lock").arg(shard.index).arg(shard.count);
}

ShardLock::ShardLock(int splitFile, int shardFile)
    : splitFile_(splitFile)
    , shardFile_(shardFile)
{
}

ShardLock::~ShardLock()
{
    ::close(shardFile_);
    ::close(splitFile_);
}

std::variant<std::unique_ptr<ShardLock>, ShardLock::Refusal> ShardLock::Take(const QString &sweepFolder, Shard shard)
{
    const QDir folder(ShardFiles::ShardsFolder(sweepFolder));
    if (!QDir().mkpath(folder.path()))
        return Refusal{false, QStringLiteral("cannot create the folder %1").arg(Native(folder.path()))};
    const QString splitPath = folder.filePath(QLatin1String(SweepFile));
    const int splitFile = OpenLockFile(splitPath, O_RDWR | O_CREAT);
    if (splitFile < 0)
        return Refusal{false, QStringLiteral("cannot open %1: %2").arg(Native(splitPath), QString::fromLocal8Bit(std::strerror(errno)))};
    // Our split's byte first, then a look at the others: of two splits starting at once,
    // the later look sees the earlier byte, so they never both go on.
    const off_t ours = off_t(shard.count);
    struct flock share = Range(F_RDLCK, ours, 1);
    if (fcntl(splitFile, SetLock, &share) != 0) {
        const int error = errno;
        ::close(splitFile);
        return NoLocks(splitPath, error);
    }
    for (const auto &[start, length] : OtherSplits(shard)) {
        const auto held = HeldOn(splitFile, start, length);
        if (!held) {
            const int error = errno;
            ::close(splitFile);
            return NoLocks(splitPath, error);
        }
        if (held->l_type != F_UNLCK) {
            ::close(splitFile);
            return SplitBusy(sweepFolder, folder, quint32(held->l_start));
        }
    }

    const QString shardPath = folder.filePath(ShardFile(shard));
    const int shardFile = OpenLockFile(shardPath, O_RDWR | O_CREAT);
    if (shardFile < 0) {
        const int error = errno;
        ::close(splitFile);
        return Refusal{false, QStringLiteral("cannot open %1: %2").arg(Native(shardPath), QString::fromLocal8Bit(std::strerror(error)))};
    }
    struct flock alone = Range(F_WRLCK, 0, 0);
    if (fcntl(shardFile, SetLock, &alone) != 0) {
        const int error = errno;
        const QString holder = HolderOf(shardFile);
        ::close(shardFile);
        ::close(splitFile);
        if (Busy(error))
            return ShardBusy(sweepFolder, shard, holder);
        return NoLocks(shardPath, error);
    }
    // Who we are, for the message of a second writer. One short write over the start, then
    // the rest of an earlier holder's longer line cut off: the first line is always whole.
    const QByteArray holder = QStringLiteral("velmora-lab pid %1 on %2, since %3\n")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QSysInfo::machineHostName(),
                                       QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
                                  .toUtf8()
                                  .left(HolderBytes);
    if (pwrite(shardFile, holder.constData(), size_t(holder.size()), 0) == holder.size())
        (void)ftruncate(shardFile, holder.size());
    return std::unique_ptr<ShardLock>(new ShardLock(splitFile, shardFile));
}

std::optional<ShardLock::Refusal> ShardLock::Held(const QString &sweepFolder, Shard shard)
{
    const QDir folder(ShardFiles::ShardsFolder(sweepFolder));
    const int shardFile = OpenLockFile(folder.filePath(ShardFile(shard)), O_RDONLY);
    if (shardFile >= 0) {
        const auto held = HeldOn(shardFile, 0, 0);
        const QString holder = held && held->l_type != F_UNLCK ? HolderOf(shardFile) : QString();
        const bool busy = held && held->l_type != F_UNLCK;
        ::close(shardFile);
        if (busy)
            return ShardBusy(sweepFolder, shard, holder);
    }
    const int splitFile = OpenLockFile(folder.filePath(QLatin1String(SweepFile)), O_RDONLY);
    if (splitFile < 0)
        return std::nullopt;
    std::optional<quint32> other;
    for (const auto &[start, length] : OtherSplits(shard)) {
        const auto held = HeldOn(splitFile, start, length);
        if (held && held->l_type != F_UNLCK) {
            other = quint32(held->l_start);
            break;
        }
    }
    ::close(splitFile);
    if (other)
        return SplitBusy(sweepFolder, folder, *other);
    return std::nullopt;
}
