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
QMutex& mutex()
{
    static QMutex m;
    return m;
}
QStringList*& memory()
{
    static QStringList* list = nullptr;
    return list;
}
QStringList& lineStore()
{
    if (!memory()) {
        memory() = new QStringList;
        registerSharedReset([] {
            QMutexLocker lock(&mutex());
            delete memory();
            memory() = nullptr;
        });
    }
    return *memory();
}
} // namespace

QString filePath()
{
    return QFileInfo(Folders::logs()).dir().filePath(QStringLiteral("system.log"));
}

void write(const QString& message)
{
    QMutexLocker lock(&mutex());
    lineStore().append(message);
    const QString path = filePath();
    QDir().mkpath(QFileInfo(path).path());
    // A line that cannot be written (a full disk) stays in memory only.
    (void)AtomicFile::append(path, message.toUtf8() + '\n');
}

QStringList lines()
{
    QMutexLocker lock(&mutex());
    return memory() ? *memory() : QStringList();
}

} // namespace platform::SystemLog
