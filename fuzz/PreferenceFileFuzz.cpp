// Any bytes as a preference file on disk, read through a domain, then one
// write on top: never a crash, and an unreadable file is kept aside.
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir home;
    static const bool pointed = qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit())
        && qputenv("XDG_STATE_HOME", home.path().toLocal8Bit());
    (void)pointed;
    platform::PreferenceDomain domain(QStringLiteral("fuzz"));
    const QString path = domain.filePath();
    QDir().mkpath(home.path() + QStringLiteral("/tessaroom"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    (void)domain.persistentDomain();
    domain.setBool(QStringLiteral("written"), true);
    // Clean up the kept-aside copies so the folder does not fill up.
    QDir folder(home.path() + QStringLiteral("/tessaroom"));
    for (const QString& name : folder.entryList({QStringLiteral("*.corrupt")}, QDir::Files))
        folder.remove(name);
    // The system log keeps its lines in memory until the shared state goes.
    platform::resetSharedInstances();
    return 0;
}
