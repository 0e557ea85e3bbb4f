#include "support/ProcessState.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace {

std::optional<char> stateIn(const QString& statPath)
{
    QFile stat(statPath);
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return std::nullopt;
    return line[close + 2];
}

} // namespace

namespace ProcessState {

std::optional<char> ofProcess(qint64 pid)
{
    if (pid < 1)
        return std::nullopt;
    return stateIn(QStringLiteral("/proc/%1/stat").arg(pid));
}

std::optional<char> ofThread(qint64 threadID)
{
    return stateIn(QStringLiteral("/proc/self/task/%1/stat").arg(threadID));
}

bool ended(qint64 pid)
{
    const std::optional<char> state = ofProcess(pid);
    return !state || *state == 'Z' || *state == 'X';
}

} // namespace ProcessState
