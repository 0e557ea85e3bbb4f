#include "platform/LinkHandlers.h"
#include "platform/linux/LinkHandlers.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/linux/KeyFile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

namespace {

const QString entryName = QStringLiteral("tessaroom-links.desktop");
const QByteArray defaultsGroup = QByteArrayLiteral("[Default Applications]");

std::optional<QString> writeFile(const QString& path, const QByteArray& contents)
{
    (void)Folders::make(QFileInfo(path).path());
    return AtomicFile::write(path, contents);
}

} // namespace

QString host::linkHandlerEntryPath()
{
    return Folders::applicationSupport() + QStringLiteral("/applications/") + entryName;
}

QString host::mimeAppsListPath()
{
    // The preferences folder sits in the XDG config folder.
    return QFileInfo(Folders::preferences()).path() + QStringLiteral("/mimeapps.list");
}

std::optional<QString> host::desktopEntryArgument(const QString& program)
{
    if (program.contains(QLatin1Char('\n')) || program.contains(QLatin1Char('\r')))
        return std::nullopt;
    // Quoted as the entry format asks: within double quotes, a backslash
    // before ", `, $ and \; then every backslash doubled for the string
    // escapes, and % doubled for the field codes.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return quoted;
}

std::optional<QString> LinkHandlers::registerSchemes(const QStringList& schemes)
{
    const QString program = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    const std::optional<QString> exec = host::desktopEntryArgument(program.isEmpty() ? QStringLiteral("tessaroom") : program);
    if (!exec)
        return QStringLiteral("the program path cannot be named in a desktop entry");
    QStringList types;
    for (const QString& scheme : schemes)
        types.append(QStringLiteral("x-scheme-handler/") + scheme);
    const QByteArray entry = QByteArrayLiteral("[Desktop Entry]\nType=Application\nName=Tessaroom\nIcon=tessaroom\nExec=")
        + exec->toUtf8() + QByteArrayLiteral(" %u\nNoDisplay=true\nTerminal=false\nMimeType=")
        + (types.join(QLatin1Char(';')) + QLatin1Char(';')).toUtf8() + QByteArrayLiteral("\n");
    if (const auto error = writeFile(host::linkHandlerEntryPath(), entry))
        return QStringLiteral("The link handler could not be written: ") + *error;
    // The list holds every other program's defaults too: one that cannot be
    // read is left alone rather than replaced by the app's lines only.
    const QString list = host::mimeAppsListPath();
    QString why;
    const std::optional<QByteArray> current = host::KeyFile::read(list, &why);
    if (!current)
        return QStringLiteral("The link schemes were not made the default: %1 could not be read (%2) and is left "
                              "as it is")
            .arg(list, why);
    QList<std::pair<QByteArray, QByteArray>> defaults;
    for (const QString& type : types)
        defaults.append({type.toUtf8(), entryName.toUtf8()});
    if (const auto error = writeFile(list, host::KeyFile::withValues(*current, defaultsGroup, defaults)))
        return QStringLiteral("The link defaults could not be written: ") + *error;
    return std::nullopt;
}

} // namespace platform
