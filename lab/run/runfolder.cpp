// SPDX-License-Identifier: GPL-3.0-or-later
#include "runfolder.h"

#include "runplanjson.h"
#include "runrecorder.h"
#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Names in a message before "and N more".
constexpr qsizetype NamesShown = 4;
const char *const ProbeName = ".velmora-lab-probe";

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

enum class Kind { Missing, File, Link, Other };

Kind KindOf(int folder, const QString &name)
{
    struct stat status;
    if (fstatat(folder, QFile::encodeName(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Missing;
    if (S_ISREG(status.st_mode))
        return Kind::File;
    return S_ISLNK(status.st_mode) ? Kind::Link : Kind::Other;
}

QString Names(QStringList names)
{
    names.sort();
    const qsizetype more = names.size() - NamesShown;
    if (more <= 0)
        return names.join(QStringLiteral(", "));
    return QStringLiteral("%1 and %2 more").arg(names.mid(0, NamesShown).join(QStringLiteral(", "))).arg(more);
}

QStringList Entries(int folder)
{
    QStringList names;
    const int copy = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR *listing = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        return names;
    }
    while (const dirent *entry = readdir(listing)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names << name;
    }
    closedir(listing);
    return names;
}

// What a run.json in the folder says, read without following a link or waiting on a pipe.
struct Record
{
    QString problem;        // why it is not a record of velmora-lab; empty when it is
    QString summary;        // what run it records, in words
    QStringList files;
};

std::optional<QByteArray> ReadWhole(int folder, const char *name, QString *problem)
{
    const int file = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (file < 0 || fstat(file, &status) != 0) {
        *problem = QStringLiteral("it cannot be read: %1").arg(ErrnoText(errno));
        if (file >= 0)
            ::close(file);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode) || status.st_size > RunFolder::LargestRecord) {
        ::close(file);
        *problem = S_ISREG(status.st_mode) ? QStringLiteral("it is larger than %1 MiB").arg(RunFolder::LargestRecord >> 20)
                                           : QStringLiteral("it is not a file");
        return std::nullopt;
    }
    QByteArray bytes;
    char block[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *problem = QStringLiteral("it cannot be read: %1").arg(ErrnoText(errno));
            ::close(file);
            return std::nullopt;
        }
        if (got == 0 || bytes.size() + got > RunFolder::LargestRecord)
            break;
        bytes.append(block, got);
    }
    ::close(file);
    return bytes;
}

Record ReadRecord(int folder)
{
    Record record;
    const auto bytes = ReadWhole(folder, RunRecorder::RunFile, &record.problem);
    if (!bytes)
        return record;
    const QJsonObject run = QJsonDocument::fromJson(*bytes).object();
    const QJsonValue files = run[QLatin1String("files")];
    if (run[QLatin1String("program")].toString() != QLatin1String("velmora-lab")
        || run[QLatin1String("format")].toInt() != 1 || !files.isArray()) {
        record.problem = QStringLiteral("it is not one that velmora-lab wrote");
        return record;
    }
    for (const QJsonValue &file : files.toArray())
        record.files << file.toString();

    // Records from before "state" were written only by runs that finished.
    const QString state = run[QLatin1String("state")].toString(QLatin1String(RunRecorder::Finished));
    const auto seed = JsonWholeNumber(run[QLatin1String("seed")], 0, 0xffffffffLL);
    const auto planned = JsonWholeNumber(run[QLatin1String("parameters")].toObject()[QLatin1String("generations")],
                                         0, RunLimits::MaxGenerations);
    const auto done = JsonWholeNumber(run[QLatin1String("generations_run")], 0, RunLimits::MaxGenerations);
    QStringList details;
    if (seed)
        details << QStringLiteral("seed %1").arg(*seed);
    if (state == QLatin1String(RunRecorder::Finished) && planned)
        details << QStringLiteral("%1 generations").arg(*planned);
    else if (state == QLatin1String(RunRecorder::Interrupted) && done && planned)
        details << QStringLiteral("stopped after generation %1 of %2").arg(*done).arg(*planned);
    if (state == QLatin1String(RunRecorder::Finished))
        record.summary = QStringLiteral("a finished run of velmora-lab");
    else if (state == QLatin1String(RunRecorder::Interrupted))
        record.summary = QStringLiteral("an interrupted run of velmora-lab");
    else if (state == QLatin1String(RunRecorder::Failed))
        record.summary = QStringLiteral("a run of velmora-lab that failed");
    else
        record.summary = QStringLiteral("a run of velmora-lab that never ended, killed or going on elsewhere");
    if (!details.isEmpty())
        record.summary += QStringLiteral(" (%1)").arg(details.join(QStringLiteral(", ")));
    return record;
}

} // namespace

RunFolder::~RunFolder()
{
    if (folder_ >= 0)
        ::close(folder_);   // and with it the lock
}

std::optional<RunFolderProblem> RunFolder::Prepare(const RunPlan &plan, bool force)
{
    const QString path = QString::fromStdString(plan.outDir);
    auto refuse = [&](const QString &why) {
        return RunFolderProblem{true, QStringLiteral("--out '%1': %2").arg(path, why)};
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        return refuse(QStringLiteral("is a file, not a folder"));
    if (!QDir().mkpath(path))
        return refuse(QStringLiteral("cannot create the folder"));
    folder_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        return refuse(QStringLiteral("cannot open the folder (%1)").arg(ErrnoText(errno)));
    // Where the file system cannot lock, the run goes on unlocked.
    if (flock(folder_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return refuse(QStringLiteral("another velmora-lab run is writing into it"));

    QSet<QString> planned;
    for (const QString &name : RunRecorder::PlannedFiles(plan))
        planned.insert(name);
    planned.insert(QLatin1String(RunRecorder::RunFile));

    QStringList inTheWay;     // not files, under names this run writes
    QStringList unlisted;     // plain files under a run's names that no record lists
    QStringList listed;       // plain files the record lists
    std::optional<Record> record;
    if (KindOf(folder_, QLatin1String(RunRecorder::RunFile)) == Kind::File)
        record = ReadRecord(folder_);
    const bool ours = record && record->problem.isEmpty();
    for (const QString &name : Entries(folder_)) {
        if (!RunRecorder::IsRunFileName(name))
            continue;
        const Kind kind = KindOf(folder_, name);
        if (kind == Kind::Other && planned.contains(name))
            inTheWay << name;
        else if (kind == Kind::File && name != QLatin1String(RunRecorder::RunFile))
            (ours && record->files.contains(name) ? listed : unlisted) << name;
    }

    if (!inTheWay.isEmpty())
        return refuse(QStringLiteral("%1 there %2 not a file, and velmora-lab replaces only files and symbolic links: "
                                     "move %3 away or choose another folder")
                          .arg(Names(inTheWay), inTheWay.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                               inTheWay.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")));
    if (record && !ours)
        return refuse(QStringLiteral("holds a run.json that is not the record of a velmora-lab run (%1); even with "
                                     "--force velmora-lab replaces only what its own record lists: move it away or "
                                     "choose another folder")
                          .arg(record->problem));
    if (!unlisted.isEmpty())
        return refuse(QStringLiteral("holds %1, %2 (another program's files, or an older version's); even with "
                                     "--force velmora-lab replaces only what its own record lists: move them away or "
                                     "choose another folder")
                          .arg(Names(unlisted), ours ? QStringLiteral("which its run.json does not list")
                                                     : QStringLiteral("and no run.json of velmora-lab lists them")));
    if (record && !force)
        return refuse(QStringLiteral("holds %1: run.json and %2 more files (%3); give --force to "
                                     "replace it, or choose another folder")
                          .arg(record->summary)
                          .arg(listed.size())
                          .arg(Names(listed)));

    SaveFile probe(QDir(path).filePath(QLatin1String(ProbeName)));
    if (!probe.open())
        return refuse(QStringLiteral("cannot write in the folder (%1)").arg(probe.errorString()));
    probe.cancelWriting();

    if (record) {
        // The record last, so that whatever is left stays on record if this stops half-way.
        listed << QLatin1String(RunRecorder::RunFile);
        for (const QString &name : listed) {
            if (KindOf(folder_, name) != Kind::File)
                continue;
            if (unlinkat(folder_, QFile::encodeName(name).constData(), 0) != 0 && errno != ENOENT)
                return RunFolderProblem{false, QStringLiteral("cannot remove %1 of the run that was there: %2")
                                                   .arg(QDir::toNativeSeparators(QDir(path).filePath(name)),
                                                        ErrnoText(errno))};
            removed_ << name;
        }
    }
    return std::nullopt;
}
