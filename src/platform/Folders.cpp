#include "platform/Folders.h"

#include <QDir>

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

} // namespace platform::Folders
