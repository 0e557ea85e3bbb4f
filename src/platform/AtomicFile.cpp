#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::AtomicFile {
namespace {

std::optional<InjectedFailure> injected;

// One write's progress through the steps, with the injected failure it may meet.
class Attempt {
public:
    explicit Attempt(std::optional<InjectedFailure> failure) : failure_(failure) {}

    // The error code the step fails with, or 0 when it may go on.
    int fault(Step step, int writeIndex = 0) const
    {
        if (!failure_ || failure_->step != step || (step == Step::write && failure_->writeIndex != writeIndex))
            return 0;
        return failure_->errorCode;
    }

private:
    std::optional<InjectedFailure> failure_;
};

QString reason(const char* what, int code)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(code)));
}

// The process's umask, read without changing it (umask() would, for a moment,
// for every thread).
int currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const int mask = line.mid(6).trimmed().toInt(&ok, 8);
                if (ok)
                    return mask & 0777;
            }
        }
    }
    return 022;
}

// The file that really gets the bytes: a link's target, else the path itself.
QString resolvedTarget(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

int syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int code = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

} // namespace

std::optional<QString> write(const QString& path, const QByteArray& bytes, const Options& options)
{
    const Attempt attempt(std::exchange(injected, std::nullopt));
    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();

    QByteArray temporary =
        QFile::encodeName(folder + QLatin1Char('/') + QLatin1Char('.') + targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    if (const int code = attempt.fault(Step::create))
        return reason("could not create a temporary file", code);
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return reason("could not create a temporary file", errno);

    const auto discard = [&] {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
    };
    const auto fail = [&](const char* what, int code) {
        discard();
        return reason(what, code);
    };
    // The buffered file reports the system's own words for what went wrong.
    const auto failWriting = [&](const QFile& buffered) {
        const QString why = buffered.errorString();
        discard();
        return QStringLiteral("could not write: ") + why;
    };

    struct stat existing {};
    const bool exists = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
    const int mode = exists ? int(existing.st_mode & 0777) : options.newFileMode.value_or(0666 & ~currentUmask());
    if (::fchmod(fd, mode_t(mode)) != 0)
        return fail("could not set the temporary file's permissions", errno);

    // Chunks go through a buffered file so the flush is a step of its own, as
    // it is for every buffered writer; a short or failed write stops here.
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return fail("could not open the temporary file", EIO);
    int index = 0;
    for (qsizetype at = 0; at < bytes.size(); at += chunkSize, ++index) {
        const qsizetype size = std::min(chunkSize, bytes.size() - at);
        if (const int code = attempt.fault(Step::write, index))
            return fail("could not write", code);
        if (file.write(bytes.constData() + at, size) != size)
            return failWriting(file);
    }
    if (const int code = attempt.fault(Step::flush))
        return fail("could not write", code);
    if (!file.flush())
        return failWriting(file);
    file.close();
    // What the buffer held is out; anything it failed to write is caught
    // above, anything the disk refuses later is caught by the fsync.
    if (const int code = attempt.fault(Step::sync))
        return fail("could not sync the file to disk", code);
    if (::fsync(fd) != 0)
        return fail("could not sync the file to disk", errno);
    const int closing = attempt.fault(Step::close);
    const int closed = ::close(fd);
    fd = -1;
    if (closing)
        return fail("could not close the file", closing);
    if (closed != 0)
        return fail("could not close the file", errno);

    if (const int code = attempt.fault(Step::rename))
        return fail("could not replace the file", code);
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0)
        return fail("could not replace the file", errno);

    if (const int code = attempt.fault(Step::syncFolder))
        return reason("the new file may not survive a power loss: could not sync its folder", code);
    if (const int code = syncFolder(folder))
        return reason("the new file may not survive a power loss: could not sync its folder", code);
    return std::nullopt;
}

void failNextWrite(const InjectedFailure& failure)
{
    injected = failure;
}

void clearInjectedFailure()
{
    injected.reset();
}

} // namespace platform::AtomicFile
