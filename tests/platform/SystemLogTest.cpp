#include "platform/SystemLog.h"
#include "support/PlatformTest.h"

#include <QFile>

namespace SystemLog = platform::SystemLog;

class SystemLogTest : public PlatformTest {};

TEST_F(SystemLogTest, TheFileAndTheLinesInMemoryStaySmallAndWhole)
{
    // A flood of lines: four times what the file may hold.
    const QString filler(999, QLatin1Char('x'));
    const int count = int(4 * SystemLog::fileLimit / 1024);
    for (int line = 0; line < count; ++line)
        SystemLog::write(QStringLiteral("line %1 ").arg(line, 5, 10, QLatin1Char('0')) + filler);
    const QString newest = QStringLiteral("line %1 ").arg(count - 1, 5, 10, QLatin1Char('0')) + filler;

    QFile file(SystemLog::filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray onDisk = file.readAll();
    EXPECT_LE(onDisk.size(), SystemLog::fileLimit + 1024);
    EXPECT_TRUE(onDisk.startsWith("line ")) << onDisk.left(20).toStdString();
    EXPECT_TRUE(onDisk.endsWith(newest.toUtf8() + '\n'));

    const QStringList kept = SystemLog::lines();
    qsizetype size = 0;
    for (const QString& line : kept)
        size += line.size();
    EXPECT_LE(size, SystemLog::memoryLimit);
    EXPECT_LT(kept.size(), count);
    EXPECT_TRUE(kept.first().startsWith("line ") && kept.first().endsWith(filler));
    EXPECT_EQ(kept.last(), newest);
}
