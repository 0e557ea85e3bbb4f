#include "store/LegacyMigration.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "store/Pref.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <utility>

namespace LegacyMigration {

namespace {

const std::array<std::pair<QLatin1String, QLatin1String>, 2> prefixes{{
    {QLatin1String("Quorvelin."), QLatin1String("Tessaroom.")},
    {QLatin1String("NSWindow Frame Quorvelin."), QLatin1String("NSWindow Frame Tessaroom.")},
}};

constexpr QDir::Filters everyEntry = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool occupied(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Copies a file, or a folder with its content; failures are skipped.
void copyEntry(const QString& from, const QString& to)
{
    if (!QFileInfo(from).isDir()) {
        // Whole or not at all: a full disk leaves no cut-off picture behind.
        QFile source(from);
        if (source.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = source.readAll();
            if (source.error() == QFileDevice::NoError)
                (void)platform::AtomicFile::write(to, bytes, {.replaceExisting = false});
        }
        return;
    }
    if (!platform::Folders::make(to))
        return;
    const QDir folder(from);
    for (const QString& name : folder.entryList(everyEntry))
        copyEntry(folder.filePath(name), QDir(to).filePath(name));
}

} // namespace

IconFolders defaultIconFolders()
{
    const QString support = platform::Folders::applicationSupport();
    return {support + QStringLiteral("/Quorvelin/icons"), support + QStringLiteral("/Tessaroom/icons")};
}

QString renamedKey(const QString& key)
{
    for (const auto& [oldPrefix, newPrefix] : prefixes) {
        if (key.startsWith(oldPrefix))
            return newPrefix + key.mid(oldPrefix.size());
    }
    return key;
}

qint64 run(platform::PreferenceDomain& defaults, const QString& legacyDomain, const std::optional<IconFolders>& icons)
{
    const QString guard = QLatin1String(guardKey);
    if (PrefValue<bool>::read(guard, defaults).value_or(false))
        return 0;
    // Set first: the import is tried once per account whatever happens next.
    defaults.setBool(guard, true);

    const QVariantMap values = platform::PreferenceDomain::named(legacyDomain).persistentDomain();
    if (values.isEmpty())
        return 0;

    qint64 count = 0;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        QStringList targets{it.key()};
        const QString renamed = renamedKey(it.key());
        if (renamed != it.key())
            targets.append(renamed);
        for (const QString& target : targets) {
            if (defaults.object(target).isValid())
                continue;
            defaults.setObject(target, it.value());
            ++count;
        }
    }
    if (icons)
        copyIcons(icons->source, icons->destination);
    platform::SystemLog::write(QStringLiteral("Tessaroom: imported ") + QString::number(count)
        + QStringLiteral(" preferences from ") + legacyDomain);
    return count;
}

qint64 run()
{
    return run(platform::PreferenceDomain::standard());
}

void copyIcons(const QString& source, const QString& destination)
{
    const QDir from(source);
    if (!from.exists())
        return;
    const QStringList names = from.entryList(everyEntry);
    if (names.isEmpty())
        return;
    (void)platform::Folders::make(destination);
    for (const QString& name : names) {
        const QString target = QDir(destination).filePath(name);
        if (!occupied(target))
            copyEntry(from.filePath(name), target);
    }
}

} // namespace LegacyMigration
