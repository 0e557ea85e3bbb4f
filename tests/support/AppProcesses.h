#pragma once

#include "support/TestProcesses.h"

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// Real processes of the app in one home that holds all they keep: config,
// data, state (logs), cache, the runtime folder (the link socket) and the
// temporary folder (TMPDIR, which copies tidy at launch), so the copies of
// one test meet only each other and never another test's files. A test that
// wants TMPDIR elsewhere sets it through adjust.
class AppProcesses : public TestProcesses {
public:
    // app: the app's program. home: the test's home, which the test process
    // may share (it then reads what the copies write in-process); empty: a
    // private temporary home of the set's own.
    explicit AppProcesses(QString app, const QString& home = {});
    // The copies end before their home goes.
    ~AppProcesses() { endLeftOvers(); }
    AppProcesses(const AppProcesses&) = delete;
    AppProcesses& operator=(const AppProcesses&) = delete;

    // Starts the app (or program) in the home; stateFolder is where the
    // process keeps its logs, under the home.
    QProcess& start(const QStringList& arguments, const QString& stateFolder = QStringLiteral("state"),
                    const QString& program = {});
    // Changes the environment of the processes started from then on.
    std::function<void(QProcessEnvironment&)> adjust;

    // Runs "--switch 3" in a new process and returns what it printed.
    QString askToSwitch();
    static QString asked(qint64 pid);

    QString log(const QString& name, const QString& stateFolder = QStringLiteral("state")) const;
    QString switchesLog(const QString& stateFolder = QStringLiteral("state")) const;
    QString systemLog(const QString& stateFolder = QStringLiteral("state")) const;

    // The names store as written to disk: entries by managed id.
    QJsonObject storedNames() const;
    double storedSeconds() const;
    bool storedName(const QString& name) const;

    QString home() const { return home_; }
    QString socketPath() const { return home_ + QStringLiteral("/tessaroom/links"); }
    // In the preferences folder, whatever the link folder holds.
    QString copyLockPath() const { return home_ + QStringLiteral("/config/tessaroom/copy.lock"); }

private:
    std::unique_ptr<QTemporaryDir> ownHome_;
    QString home_;
    QString app_;
};
