#include "store/LogFile.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/Graphemes.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/SystemLog.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include <sys/stat.h>

namespace {

// The logs folder and the three shared logs, made together on first use.
struct SharedLogs {
    QString directory;
    LogFile switches;
    LogFile missionControl;
    LogFile updates;
};

std::unique_ptr<SharedLogs>& sharedSlot()
{
    static std::unique_ptr<SharedLogs> logs;
    return logs;
}

SharedLogs& shared()
{
    auto& slot = sharedSlot();
    if (!slot) {
        // Made once; a folder that cannot be made is not tried again.
        const QString folder = platform::Folders::logs();
        (void)platform::Folders::make(folder);
        auto in = [&folder](const char* name) { return LogFile(folder + QLatin1Char('/') + QLatin1String(name)); };
        slot.reset(new SharedLogs{folder, in("switches.log"), in("mission-control.log"), in("updates.log")});
        platform::registerSharedReset([] { sharedSlot().reset(); });
    }
    return *slot;
}

// A log with a link in its place gets no lines; the system log says so once
// per file, not once per line.
void noteLinkInPlace(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISLNK(status.st_mode))
        return;
    static QMutex mutex;
    static QSet<QString> noted;
    {
        const QMutexLocker lock(&mutex);
        if (noted.contains(path))
            return;
        noted.insert(path);
    }
    platform::SystemLog::write(QStringLiteral("log: not writing %1: a symbolic link is in its place").arg(path));
}

// The file read as UTF-8, or none when it cannot be read. `valid` tells
// whether the bytes were well-formed; ill-formed ones decode as U+FFFD.
std::optional<QString> readText(const QString& path, bool* valid)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    *valid = !decoder.hasError();
    return text;
}

} // namespace

LogFile::LogFile(QString path, qint64 limit)
    : path_(std::move(path))
    , limit_(limit)
{
}

QString LogFile::timestamp(double secondsSince1970)
{
    const auto whole = static_cast<qint64>(std::floor(secondsSince1970));
    return QDateTime::fromSecsSinceEpoch(whole, Qt::UTC).toString(Qt::ISODate);
}

void LogFile::write(const QString& message) const
{
    append(QLatin1Char('[') + timestamp(platform::now()) + QStringLiteral("] ") + message);
}

void LogFile::append(const QString& text) const
{
    // A line that cannot be written whole is dropped: the file keeps the
    // lines it had.
    const auto failure = platform::AtomicFile::appendTrimming(path_, text.toUtf8() + '\n', limit_);
    if (!failure)
        return;
    // So is one whose file another process keeps locked, rather than hold up
    // the main thread; unlike a full disk, that is worth a word.
    if (*failure == QLatin1String(platform::AtomicFile::lockedElsewhere))
        platform::SystemLog::write(QStringLiteral("%1: a line was dropped: %2").arg(path_, *failure));
    else
        noteLinkInPlace(path_);
}

void LogFile::trim() const
{
    // A log made without a limit is never cut, also when asked directly.
    if (limit_ <= 0)
        return;
    // A failed write leaves the file whole and untrimmed.
    (void)platform::AtomicFile::keepLastLines(path_, limit_ / 2);
}

void LogFile::clear() const
{
    // Under the log's lock, so a trim under way cannot bring cleared lines back.
    (void)platform::AtomicFile::clear(path_);
}

QString LogFile::tail(qint64 characters) const
{
    bool valid = true;
    const std::optional<QString> text = readText(path_, &valid);
    if (!text || !valid)
        return QStringLiteral("(no log yet)");
    return platform::Graphemes::last(*text, std::max<qint64>(characters, 0));
}

LogFile& LogFile::switches()
{
    return shared().switches;
}

LogFile& LogFile::missionControl()
{
    return shared().missionControl;
}

LogFile& LogFile::updates()
{
    return shared().updates;
}

QString LogFile::directory()
{
    return shared().directory;
}
