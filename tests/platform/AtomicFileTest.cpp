#include "platform/AtomicFile.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace AtomicFile = platform::AtomicFile;
using AtomicFile::Step;

class AtomicFileTest : public PlatformTest {
protected:
    ~AtomicFileTest() override { AtomicFile::clearInjectedFailure(); }

    QString path(const QString& name = QStringLiteral("prefs.json")) const { return home() + QLatin1Char('/') + name; }

    static QByteArray read(const QString& file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
    }

    static void put(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

    // Every entry of home (pipes too), so a left-over temporary file shows.
    QStringList entries() const
    {
        return QDir(home()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
};

// --- success ---

TEST_F(AtomicFileTest, ReplacesTheWholeFileAndLeavesNothingBeside)
{
    put(path(), "precious and rather longer than what replaces it");
    EXPECT_EQ(AtomicFile::write(path(), "new"), std::nullopt);
    EXPECT_EQ(read(path()), "new");
    EXPECT_EQ(entries(), QStringList{"prefs.json"});
}

TEST_F(AtomicFileTest, WritesLongFilesInSeveralChunksAndEmptyOnes)
{
    const QByteArray big(AtomicFile::chunkSize * 3 + 17, 'x');
    EXPECT_EQ(AtomicFile::write(path(), big), std::nullopt);
    EXPECT_EQ(read(path()), big);
    EXPECT_EQ(AtomicFile::write(path(), QByteArray()), std::nullopt);
    EXPECT_EQ(QFileInfo(path()).size(), 0);
}

TEST_F(AtomicFileTest, KeepsAnExistingFilesModeAndGivesNewOnesTheAskedMode)
{
    put(path(), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    ASSERT_EQ(AtomicFile::write(path(), "new"), std::nullopt);
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    ASSERT_EQ(AtomicFile::write(path("entry.desktop"), "x", {.newFileMode = 0644}), std::nullopt);
    ASSERT_EQ(::stat(QFile::encodeName(path("entry.desktop")).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
}

TEST_F(AtomicFileTest, WritesThroughALinkAndKeepsTheLink)
{
    QDir(home()).mkdir("dotfiles");
    put(path("dotfiles/mimeapps.list"), "old");
    ASSERT_TRUE(QFile::link(path("dotfiles/mimeapps.list"), path("mimeapps.list")));
    ASSERT_EQ(AtomicFile::write(path("mimeapps.list"), "new"), std::nullopt);
    EXPECT_TRUE(QFileInfo(path("mimeapps.list")).isSymLink());
    EXPECT_EQ(read(path("dotfiles/mimeapps.list")), "new");
}

// --- failures leave the old file as it was ---

struct FailureCase {
    Step step;
    int writeIndex;
};

class AtomicFileFailureTest : public AtomicFileTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AtomicFileFailureTest, LeavesTheOldBytesAndNoTemporaryFile)
{
    put(path(), "precious");
    const QByteArray replacement(AtomicFile::chunkSize * 2 + 5, 'n');
    AtomicFile::failNextWrite({.step = GetParam().step, .writeIndex = GetParam().writeIndex});
    const auto error = AtomicFile::write(path(), replacement);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("No space left on device")) << error->toStdString();
    EXPECT_EQ(read(path()), "precious");
    EXPECT_EQ(entries(), QStringList{"prefs.json"});
    // The failure was used up: the next write goes through.
    EXPECT_EQ(AtomicFile::write(path(), replacement), std::nullopt);
    EXPECT_EQ(read(path()), replacement);
}

INSTANTIATE_TEST_SUITE_P(EveryStepBeforeTheRename, AtomicFileFailureTest,
                         ::testing::Values(FailureCase{Step::create, 0}, FailureCase{Step::write, 0},
                                           FailureCase{Step::write, 2}, FailureCase{Step::flush, 0},
                                           FailureCase{Step::sync, 0}, FailureCase{Step::close, 0},
                                           FailureCase{Step::rename, 0}));

TEST_F(AtomicFileTest, AFailedFolderSyncIsReportedThoughTheBytesAreInPlace)
{
    put(path(), "old");
    AtomicFile::failNextWrite({.step = Step::syncFolder});
    const auto error = AtomicFile::write(path(), "new");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("sync its folder"));
    EXPECT_EQ(read(path()), "new");
}

TEST_F(AtomicFileTest, AMissingFolderIsAnErrorNotAFolderMade)
{
    const auto error = AtomicFile::write(path("absent/prefs.json"), "x");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("No such file or directory")) << error->toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("absent")));
}

TEST_F(AtomicFileTest, AFolderInTheTargetsPlaceIsNotReplaced)
{
    // A directory where the file should be: the rename must fail, even as root.
    QDir(home()).mkpath("prefs.json/inner");
    EXPECT_TRUE(AtomicFile::write(path(), "x").has_value());
    EXPECT_TRUE(QFileInfo(path("prefs.json/inner")).isDir());
    EXPECT_EQ(entries(), QStringList{"prefs.json"});
}

TEST_F(AtomicFileTest, APipeAtThePathIsNotReplaced)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    const auto error = AtomicFile::write(path(), "x");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("not a regular file")) << error->toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(entries(), QStringList{"prefs.json"});
}

// --- never replacing ---

TEST_F(AtomicFileTest, WithoutReplacingAnExistingFileStaysAndANewOneIsWritten)
{
    put(path("space-6-1.png"), "first picture");
    const auto error = AtomicFile::write(path("space-6-1.png"), "second", {.replaceExisting = false});
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("File exists")) << error->toStdString();
    EXPECT_EQ(read(path("space-6-1.png")), "first picture");

    EXPECT_EQ(AtomicFile::write(path("space-6-2.png"), "second", {.replaceExisting = false}), std::nullopt);
    EXPECT_EQ(read(path("space-6-2.png")), "second");
    EXPECT_EQ(entries(), QStringList({"space-6-1.png", "space-6-2.png"}));
}

// --- appending ---

TEST_F(AtomicFileTest, AppendAddsAtTheEndAndMakesAMissingFile)
{
    EXPECT_EQ(AtomicFile::append(path("switches.log"), "one\n"), std::nullopt);
    EXPECT_EQ(AtomicFile::append(path("switches.log"), "two\n"), std::nullopt);
    EXPECT_EQ(read(path("switches.log")), "one\ntwo\n");
    const QByteArray big(AtomicFile::chunkSize * 2 + 3, 'b');
    EXPECT_EQ(AtomicFile::append(path("switches.log"), big), std::nullopt);
    EXPECT_EQ(read(path("switches.log")), "one\ntwo\n" + big);
}

class AtomicAppendFailureTest : public AtomicFileTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AtomicAppendFailureTest, CutsTheFileBackToTheBytesItHad)
{
    put(path("switches.log"), "earlier lines\n");
    // Three chunks: a failure at the second or third comes after bytes went in.
    const QByteArray line(AtomicFile::chunkSize * 2 + 5, 'n');
    AtomicFile::failNextWrite({.step = GetParam().step, .writeIndex = GetParam().writeIndex});
    const auto error = AtomicFile::append(path("switches.log"), line);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("No space left on device")) << error->toStdString();
    EXPECT_EQ(read(path("switches.log")), "earlier lines\n");

    // A file the failed append would have made is not left behind.
    AtomicFile::failNextWrite({.step = GetParam().step, .writeIndex = GetParam().writeIndex});
    EXPECT_TRUE(AtomicFile::append(path("new.log"), line).has_value());
    EXPECT_EQ(entries(), QStringList{"switches.log"});
}

INSTANTIATE_TEST_SUITE_P(EveryStep, AtomicAppendFailureTest,
                         ::testing::Values(FailureCase{Step::create, 0}, FailureCase{Step::write, 0},
                                           FailureCase{Step::write, 1}, FailureCase{Step::write, 2},
                                           FailureCase{Step::close, 0}));

TEST_F(AtomicFileTest, AppendToAPipeNobodyReadsFailsAtOnce)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.log")).constData(), 0600), 0);
    const auto error = AtomicFile::append(path("fifo.log"), "line\n");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("No such device or address")) << error->toStdString();
}
