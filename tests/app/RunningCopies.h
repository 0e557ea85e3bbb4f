#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

// Real processes of the app in one private home and runtime folder. Every
// wait is for an event (a line, a file, the process's end) with a generous
// bound; a copy is ended with SIGTERM once what the test waits for happened.
class RunningCopiesTest : public ::testing::Test {
protected:
    static constexpr int generous = 30000; // ms

    ~RunningCopiesTest() override
    {
        for (const auto& process : started_) {
            if (process->state() != QProcess::NotRunning) {
                ::kill(pid_t(process->processId()), SIGCONT);
                process->kill();
                process->waitForFinished(generous);
            }
        }
    }

    // Starts the app (or program) in the home; stateFolder is where the
    // process keeps its logs, under the home. adjust changes the environment
    // of the processes started from then on.
    QProcess& start(const QStringList& arguments, const QString& stateFolder = QStringLiteral("state"),
                    const QString& program = QStringLiteral(TESSAROOM_APP))
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.path() + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), home_.path() + QLatin1Char('/') + stateFolder);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home_.path() + QStringLiteral("/cache"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The update check must not reach the network: nothing listens there.
        environment.insert(QStringLiteral("TESSAROOM_UPDATE_FEED"), QStringLiteral("http://127.0.0.1:9/update.json"));
        if (adjust)
            adjust(environment);
        started_.push_back(std::make_unique<QProcess>());
        QProcess& process = *started_.back();
        process.setProcessEnvironment(environment);
        process.setReadChannel(QProcess::StandardError);
        process.start(program, arguments);
        return process;
    }

    // Waits until the process has written line on standard error: a copy
    // listens from its launch line on.
    static bool waitForLine(QProcess& process, const QByteArray& line)
    {
        // What came while the test was waiting for something else counts.
        QByteArray seen = process.readAllStandardError();
        while (!seen.contains(line) && process.waitForReadyRead(generous))
            seen += process.readAllStandardError();
        return seen.contains(line);
    }
    static bool waitForLaunch(QProcess& process) { return waitForLine(process, "launched"); }

    // Waits, while the process runs, until ready() holds.
    static bool waitUntil(QProcess& process, const std::function<bool()>& ready)
    {
        for (int slice = 0; slice < generous / 50; ++slice) {
            if (ready())
                return true;
            if (process.state() == QProcess::NotRunning)
                return ready();
            process.waitForFinished(50);
        }
        return ready();
    }

    // Sends the signal to the process while it has a pid: once it is known
    // to have ended it has none (0), and kill(0, ...) would reach the whole
    // process group, every other test run beside this one included.
    static void signal(const QProcess& process, int number)
    {
        if (const qint64 pid = process.processId(); pid > 0)
            ::kill(pid_t(pid), number);
    }

    // Ends the process the normal way; true when it exited with 0.
    static bool stop(QProcess& process)
    {
        signal(process, SIGTERM);
        return process.waitForFinished(generous) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    }

    // Runs "--switch 3" in a new process and returns what it printed.
    QString askToSwitch()
    {
        QProcess& asker = start({QStringLiteral("--switch"), QStringLiteral("3")}, QStringLiteral("asker-state"));
        if (!asker.waitForFinished(generous))
            return QStringLiteral("(still running)");
        return QString::fromUtf8(asker.readAllStandardOutput());
    }
    static QString asked(qint64 pid)
    {
        return QStringLiteral("asked Tessaroom (pid %1) to open tessaroom://switch/3\n").arg(pid);
    }

    QString log(const QString& name, const QString& stateFolder = QStringLiteral("state")) const
    {
        QFile file(home_.path() + QLatin1Char('/') + stateFolder + QStringLiteral("/tessaroom/") + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString switchesLog(const QString& stateFolder = QStringLiteral("state")) const
    {
        return log(QStringLiteral("logs/switches.log"), stateFolder);
    }
    QString systemLog(const QString& stateFolder = QStringLiteral("state")) const
    {
        return log(QStringLiteral("system.log"), stateFolder);
    }

    // The names store as written to disk: entries by managed id.
    QJsonObject storedNames() const
    {
        QFile file(home_.path() + QStringLiteral("/config/tessaroom/app.tessaroom.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QJsonObject domain = QJsonDocument::fromJson(file.readAll()).object();
        const QByteArray data = QByteArray::fromBase64(
            domain.value(QStringLiteral("Tessaroom.meta.v2")).toObject().value(QStringLiteral("data")).toString().toLatin1());
        return QJsonDocument::fromJson(data).object();
    }
    double storedSeconds() const
    {
        double seconds = 0;
        for (const QJsonValue& entry : storedNames())
            seconds += entry.toObject().value(QStringLiteral("seconds")).toDouble();
        return seconds;
    }
    bool storedName(const QString& name) const
    {
        for (const QJsonValue& entry : storedNames()) {
            if (entry.toObject().value(QStringLiteral("name")).toString() == name)
                return true;
        }
        return false;
    }

    // The process has ended: gone, or a zombie not reaped yet.
    static bool ended(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close > 0 && close + 2 < line.size() && line[close + 2] == 'Z';
    }

    QString home() const { return home_.path(); }
    QString socketPath() const { return home_.path() + QStringLiteral("/tessaroom/links"); }
    // In the preferences folder, whatever the link folder holds.
    QString copyLockPath() const { return home_.path() + QStringLiteral("/config/tessaroom/copy.lock"); }

    std::function<void(QProcessEnvironment&)> adjust;

private:
    QTemporaryDir home_;
    std::vector<std::unique_ptr<QProcess>> started_;
};
