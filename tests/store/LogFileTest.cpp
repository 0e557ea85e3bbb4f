#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/SystemLog.h"
#include "store/LogFile.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class LogFileTest : public PlatformTest {
protected:
    QString path() const { return home() + "/test.log"; }
};

TEST_F(LogFileTest, WritesTimestampedLinesInUtcWithWholeSeconds)
{
    LogFile log(path());
    advance(5.7);
    log.write("switched to 2");
    log.write("line one\nline two");
    EXPECT_EQ(readAll(path()), QByteArray("[2026-05-01T08:30:05Z] switched to 2\n"
                                          "[2026-05-01T08:30:05Z] line one\nline two\n"));
    EXPECT_EQ(LogFile::timestamp(0.999), "1970-01-01T00:00:00Z");
}

TEST_F(LogFileTest, AppendAddsTextWithoutTimestampAndCreatesTheFile)
{
    LogFile log(path());
    log.append(QString::fromUtf8("été"));
    EXPECT_EQ(readAll(path()), QByteArray("\xc3\xa9t\xc3\xa9\n"));
}

TEST_F(LogFileTest, TrimsOnlyWhenTheFileIsLargerThanTheLimit)
{
    LogFile log(path());
    writeAll(path(), QByteArray(63999, 'a') + '\n');
    log.append("x");
    EXPECT_EQ(QFileInfo(path()).size(), 64002);

    writeAll(path(), QByteArray(32000, 'b') + '\n' + QByteArray(31999, 'c') + '\n');
    log.append("y");
    EXPECT_EQ(readAll(path()), QByteArray(31999, 'c') + "\ny\n");
}

TEST_F(LogFileTest, LimitOfZeroNeverTrims)
{
    LogFile log(path(), 0);
    writeAll(path(), QByteArray(70000, 'a'));
    log.append("b");
    log.trim();
    EXPECT_EQ(QFileInfo(path()).size(), 70002);
}

TEST_F(LogFileTest, TailGivesTheLastCharactersOrAPlaceholder)
{
    LogFile log(path());
    EXPECT_EQ(log.tail(6000), "(no log yet)");
    writeAll(path(), QByteArray(99, 'a') + "\n");
    EXPECT_EQ(log.tail(6000).size(), 100);
    EXPECT_EQ(log.tail(3), "aa\n");
    EXPECT_EQ(log.tail(0), "");
    writeAll(path(), "ok\xff");
    EXPECT_EQ(log.tail(10), "(no log yet)");
}

TEST_F(LogFileTest, ClearThenWriteLeavesOneLine)
{
    LogFile log(path());
    log.clear();
    EXPECT_TRUE(QFileInfo::exists(path()));
    EXPECT_EQ(QFileInfo(path()).size(), 0);
    log.write("one");
    log.write("two");
    log.clear();
    log.write("three");
    EXPECT_EQ(readAll(path()), QByteArray("[2026-05-01T08:30:00Z] three\n"));
}

TEST_F(LogFileTest, SharedLogsLiveInTheLogsFolderMadeOnce)
{
    EXPECT_EQ(LogFile::directory(), platform::Folders::logs());
    EXPECT_TRUE(QFileInfo(LogFile::directory()).isDir());
    EXPECT_EQ(LogFile::switches().path(), LogFile::directory() + "/switches.log");
    EXPECT_EQ(LogFile::missionControl().path(), LogFile::directory() + "/mission-control.log");
    EXPECT_EQ(LogFile::updates().path(), LogFile::directory() + "/updates.log");
    EXPECT_EQ(LogFile::switches().limit(), 64000);
    EXPECT_EQ(&LogFile::switches(), &LogFile::switches());

    LogFile::updates().write("checked");
    EXPECT_TRUE(QFileInfo::exists(LogFile::updates().path()));

    // The folder is not made again: later entries are lost without a fuss.
    QDir(LogFile::directory()).removeRecursively();
    LogFile::switches().write("lost");
    EXPECT_FALSE(QFileInfo::exists(LogFile::switches().path()));
    EXPECT_EQ(LogFile::switches().tail(10), "(no log yet)");
}

TEST_F(LogFileTest, UnwritablePathLosesTheEntrySilently)
{
    QDir().mkpath(path()); // a folder where the file should be
    LogFile log(path(), 1);
    log.write("nowhere");
    log.clear();
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_EQ(log.tail(5), "(no log yet)");
}

TEST_F(LogFileTest, ALinkAtThePathIsNeverWrittenThroughAndTheSystemLogSaysSoOnce)
{
    // Another user put it there, pointing at one of the user's own files.
    const QString profile = home() + "/profile";
    const QByteArray precious = QByteArray(200, 'p') + "\n";
    writeAll(profile, precious);
    ASSERT_TRUE(QFile::link(profile, path()));
    LogFile log(path(), 100);
    log.write("switched to 2");
    log.append("again");
    log.trim();
    log.clear();
    EXPECT_EQ(readAll(profile), precious);
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(platform::SystemLog::lines().filter("a symbolic link is in its place").size(), 1)
        << platform::SystemLog::lines().join('\n').toStdString();
}

// --- trimming at line starts ---

struct TrimCase {
    const char* name;
    QByteArray content;
    qint64 limit;
    QByteArray kept;
};

class LogTrimTest : public LogFileTest, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(LogTrimTest, KeepsTheLastWholeLinesWithinHalfTheLimit)
{
    writeAll(path(), GetParam().content);
    LogFile(path(), GetParam().limit).trim();
    EXPECT_EQ(readAll(path()), GetParam().kept);
}

const QByteArray flag("\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa\n"); // a flag and a line feed: 9 bytes

INSTANTIATE_TEST_SUITE_P(
    Cuts, LogTrimTest,
    ::testing::Values(TrimCase{"insideALineMovesToTheNext", "first line\nsecond\nthird\n", 20, "third\n"},
                      TrimCase{"atALineStartKeepsThatLine", "aaaa\nbbbb\n", 10, "bbbb\n"},
                      TrimCase{"farIntoALongFileKeepsCharactersWhole", QByteArray(100000, 'a') + '\n' + flag.repeated(20),
                               100, flag.repeated(5)},
                      TrimCase{"aLineLongerThanHalfTheLimitGoesWhole", "before\n" + QByteArray(200, 'x') + "\nafter\n",
                               100, "after\n"},
                      TrimCase{"withoutALineFeedNothingIsKept", QByteArray(1024 * 1024, '\xff'), 1000, ""},
                      TrimCase{"bytesThatAreNotUtf8BecomeReplacementCharacters", "old\n\xff ok\n", 16,
                               "\xef\xbf\xbd ok\n"}),
    [](const auto& test) { return std::string(test.param.name); });

// --- a full disk ---

class LogFileFullDiskTest : public LogFileTest {
protected:
    ~LogFileFullDiskTest() override { platform::AtomicFile::clearInjectedFailure(); }
};

TEST_F(LogFileFullDiskTest, ALineThatCannotBeWrittenWholeIsDroppedAndTheOldLinesStay)
{
    LogFile log(path(), 0);
    log.write("kept");
    const QByteArray before = readAll(path());
    // The first chunk goes in, the second meets the full disk.
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::write, .writeIndex = 1});
    log.append(QString(platform::AtomicFile::chunkSize + 10, 'x'));
    EXPECT_EQ(readAll(path()), before);
    log.write("next");
    EXPECT_EQ(readAll(path()), before + "[2026-05-01T08:30:00Z] next\n");
}

TEST_F(LogFileFullDiskTest, ATrimThatCannotBeWrittenLeavesTheLogWhole)
{
    LogFile log(path(), 100);
    const QByteArray full = QByteArray(150, 'a') + "\n";
    writeAll(path(), full);
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush});
    log.trim();
    EXPECT_EQ(readAll(path()), full);
    EXPECT_EQ(QDir(home()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.log"});
}

TEST_F(LogFileFullDiskTest, ClearingOnAFullDiskKeepsTheLog)
{
    LogFile log(path(), 0);
    log.write("kept");
    const QByteArray before = readAll(path());
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::sync});
    log.clear();
    EXPECT_EQ(readAll(path()), before);
}

TEST_F(LogFileTest, ALineWhoseFileAnotherHolderKeepsLockedIsDroppedAndTheSystemLogSaysSo)
{
    writeAll(path(), "kept\n");
    // Another open file of the log holds its lock, as a stopped writer would.
    const int holder = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    LogFile(path()).append("not now");
    EXPECT_EQ(readAll(path()), QByteArray("kept\n"));
    EXPECT_EQ(platform::SystemLog::lines().filter("a line was dropped").size(), 1)
        << platform::SystemLog::lines().join('\n').toStdString();
    ::close(holder);
    LogFile(path()).append("later");
    EXPECT_EQ(readAll(path()), QByteArray("kept\nlater\n"));
}
