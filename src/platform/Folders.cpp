#include "platform/Folders.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::Folders {

namespace {
QString fromEnvironment(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(home() + QLatin1Char('/') + fallbackUnderHome);
}
} // namespace

QString home()
{
    const QString value = qEnvironmentVariable("HOME");
    return value.isEmpty() ? QDir::homePath() : QDir::cleanPath(value);
}

QString preferences()
{
    return fromEnvironment("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/tessaroom");
}

QString applicationSupport()
{
    return fromEnvironment("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString logs()
{
    return fromEnvironment("XDG_STATE_HOME", QStringLiteral(".local/state")) + QStringLiteral("/tessaroom/logs");
}

bool make(const QString& folder)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    struct stat info {};
    if (::stat(path.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    // Each missing part in turn, from the top: one made by another process
    // meanwhile is taken as it is.
    for (qsizetype end = path.indexOf('/', 1); ; end = path.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? path : path.left(end);
        if (::mkdir(part.constData(), 0700) == 0) {
            // The umask may have taken bits from the owner; others get none either way.
            const int fd = ::open(part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                (void)::fchmod(fd, 0700);
                ::close(fd);
            }
        } else if (errno != EEXIST) {
            return false;
        }
        if (end < 0)
            break;
    }
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace platform::Folders
