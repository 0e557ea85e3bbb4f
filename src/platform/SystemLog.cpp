#include "platform/SystemLog.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/Lifetime.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace platform::SystemLog {

namespace {

struct Memory {
    QStringList lines;
    // Characters in lines.
    qsizetype size = 0;
};

QMutex& mutex()
{
    static QMutex m;
    return m;
}

Memory*& memory()
{
    static Memory* kept = nullptr;
    return kept;
}

Memory& lineStore()
{
    if (!memory()) {
        memory() = new Memory;
        registerSharedReset([] {
            QMutexLocker lock(&mutex());
            delete memory();
            memory() = nullptr;
        });
    }
    return *memory();
}

void keep(const QString& message)
{
    Memory& kept = lineStore();
    kept.lines.append(message);
    kept.size += message.size();
    while (kept.size > memoryLimit && kept.lines.size() > 1)
        kept.size -= kept.lines.takeFirst().size();
}

} // namespace

QString filePath()
{
    return QFileInfo(Folders::logs()).dir().filePath(QStringLiteral("system.log"));
}

void write(const QString& message)
{
    QMutexLocker lock(&mutex());
    keep(message);
    const QString path = filePath();
    (void)Folders::make(QFileInfo(path).path());
    // A line that cannot be written (a full disk) stays in memory only.
    (void)AtomicFile::appendTrimming(path, message.toUtf8() + '\n', fileLimit);
}

QStringList lines()
{
    QMutexLocker lock(&mutex());
    return memory() ? memory()->lines : QStringList();
}

} // namespace platform::SystemLog
