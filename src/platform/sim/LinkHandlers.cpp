#include "platform/LinkHandlers.h"
#include "platform/sim/LinkHandlers.h"

#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

const QString entryName = QStringLiteral("tessaroom-links.desktop");
const QString defaultsSection = QStringLiteral("[Default Applications]");

bool writeAtomically(const QString& path, const QByteArray& contents, QString* error)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Sets "<type>=<entry>" for each type in the defaults section, keeping every
// other line as it was.
QByteArray withDefaults(const QString& existing, const QStringList& types)
{
    QStringList lines = existing.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    qsizetype section = lines.indexOf(defaultsSection);
    if (section < 0) {
        lines.append(defaultsSection);
        section = lines.size() - 1;
    }
    qsizetype end = section + 1;
    while (end < lines.size() && !lines[end].startsWith(QLatin1Char('[')))
        ++end;
    for (const QString& type : types) {
        const QString line = type + QLatin1Char('=') + entryName;
        bool replaced = false;
        for (qsizetype i = section + 1; i < end; ++i) {
            if (lines[i].section(QLatin1Char('='), 0, 0).trimmed() == type) {
                lines[i] = line;
                replaced = true;
            }
        }
        if (!replaced) {
            lines.insert(end, line);
            ++end;
        }
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace

QString sim::linkHandlerEntryPath()
{
    return Folders::applicationSupport() + QStringLiteral("/applications/") + entryName;
}

QString sim::mimeAppsListPath()
{
    // The preferences folder sits in the XDG config folder.
    return QFileInfo(Folders::preferences()).path() + QStringLiteral("/mimeapps.list");
}

std::optional<QString> sim::desktopEntryArgument(const QString& program)
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
    const std::optional<QString> exec = sim::desktopEntryArgument(program.isEmpty() ? QStringLiteral("tessaroom") : program);
    if (!exec)
        return QStringLiteral("the program path cannot be named in a desktop entry");
    QStringList types;
    for (const QString& scheme : schemes)
        types.append(QStringLiteral("x-scheme-handler/") + scheme);
    const QByteArray entry = QByteArrayLiteral("[Desktop Entry]\nType=Application\nName=Tessaroom\nIcon=tessaroom\nExec=")
        + exec->toUtf8() + QByteArrayLiteral(" %u\nNoDisplay=true\nTerminal=false\nMimeType=")
        + (types.join(QLatin1Char(';')) + QLatin1Char(';')).toUtf8() + QByteArrayLiteral("\n");
    QString error;
    if (!writeAtomically(sim::linkHandlerEntryPath(), entry, &error))
        return QStringLiteral("The link handler could not be written: ") + error;
    QFile existing(sim::mimeAppsListPath());
    QString current;
    if (existing.open(QIODevice::ReadOnly))
        current = QString::fromUtf8(existing.readAll());
    existing.close();
    if (!writeAtomically(sim::mimeAppsListPath(), withDefaults(current, types), &error))
        return QStringLiteral("The link defaults could not be written: ") + error;
    return std::nullopt;
}

} // namespace platform
