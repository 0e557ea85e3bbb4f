#include "support/AppProcesses.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>

#include <utility>

AppProcesses::AppProcesses(QString app, const QString& home)
    : ownHome_(home.isEmpty() ? std::make_unique<QTemporaryDir>() : nullptr)
    , home_(home.isEmpty() ? ownHome_->path() : home)
    , app_(std::move(app))
{
    // The user's alone, as every folder the app makes is.
    const QString temporary = home_ + QStringLiteral("/tmp");
    QDir().mkpath(temporary);
    QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QProcess& AppProcesses::start(const QStringList& arguments, const QString& stateFolder, const QString& program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home_);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home_ + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home_ + QLatin1Char('/') + stateFolder);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home_ + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_);
    environment.insert(QStringLiteral("TMPDIR"), home_ + QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("TESSAROOM_SIM_WORLD"));
    // The update check must not reach the network: nothing listens there.
    environment.insert(QStringLiteral("TESSAROOM_UPDATE_FEED"), QStringLiteral("http://127.0.0.1:9/update.json"));
    if (adjust)
        adjust(environment);
    return TestProcesses::start(program.isEmpty() ? app_ : program, arguments, environment);
}

QString AppProcesses::askToSwitch()
{
    QProcess& asker = start({QStringLiteral("--switch"), QStringLiteral("3")}, QStringLiteral("asker-state"));
    if (!asker.waitForFinished(generous))
        return QStringLiteral("(still running)");
    return QString::fromUtf8(asker.readAllStandardOutput());
}

QString AppProcesses::asked(qint64 pid)
{
    return QStringLiteral("asked Tessaroom (pid %1) to open tessaroom://switch/3\n").arg(pid);
}

QString AppProcesses::log(const QString& name, const QString& stateFolder) const
{
    QFile file(home_ + QLatin1Char('/') + stateFolder + QStringLiteral("/tessaroom/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString AppProcesses::switchesLog(const QString& stateFolder) const
{
    return log(QStringLiteral("logs/switches.log"), stateFolder);
}

QString AppProcesses::systemLog(const QString& stateFolder) const
{
    return log(QStringLiteral("system.log"), stateFolder);
}

QJsonObject AppProcesses::storedNames() const
{
    QFile file(home_ + QStringLiteral("/config/tessaroom/app.tessaroom.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject domain = QJsonDocument::fromJson(file.readAll()).object();
    const QByteArray data = QByteArray::fromBase64(
        domain.value(QStringLiteral("Tessaroom.meta.v2")).toObject().value(QStringLiteral("data")).toString().toLatin1());
    return QJsonDocument::fromJson(data).object();
}

double AppProcesses::storedSeconds() const
{
    double seconds = 0;
    for (const QJsonValue& entry : storedNames())
        seconds += entry.toObject().value(QStringLiteral("seconds")).toDouble();
    return seconds;
}

bool AppProcesses::storedName(const QString& name) const
{
    for (const QJsonValue& entry : storedNames()) {
        if (entry.toObject().value(QStringLiteral("name")).toString() == name)
            return true;
    }
    return false;
}
