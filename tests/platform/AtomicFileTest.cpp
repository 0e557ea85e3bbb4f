#include "platform/AtomicFile.h"
#include "support/PlatformTest.h"
#include "support/TestProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

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

    static mode_t modeOf(const QString& file)
    {
        struct stat status {};
        return ::stat(QFile::encodeName(file).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
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

    // A copy is read a chunk at a time; a source it must not read (a link)
    // leaves the file as it was.
    QByteArray image(AtomicFile::chunkSize * 2 + 5, 'i');
    image[AtomicFile::chunkSize] = 'm';
    put(path(QStringLiteral("image")), image);
    EXPECT_EQ(AtomicFile::copyFile(path(QStringLiteral("image")), path()).failure, std::nullopt);
    EXPECT_EQ(read(path()), image);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("image")), path(QStringLiteral("link"))));
    const AtomicFile::Outcome refused = AtomicFile::copyFile(path(QStringLiteral("link")), path(QStringLiteral("copy")));
    EXPECT_TRUE(refused.failure && refused.error != 0);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("copy"))));
}

TEST_F(AtomicFileTest, NewFilesAreTheUsersAloneAndAnExistingFileKeepsItsMode)
{
    const mode_t before = ::umask(022);
    ASSERT_EQ(AtomicFile::write(path(), "new"), std::nullopt);
    ASSERT_EQ(AtomicFile::append(path("switches.log"), "line\n"), std::nullopt);
    ASSERT_EQ(AtomicFile::write(path("entry.desktop"), "x", {.newFileMode = 0644}), std::nullopt);
    ::umask(before);
    EXPECT_EQ(modeOf(path()), 0600u);
    EXPECT_EQ(modeOf(path("switches.log")), 0600u);
    EXPECT_EQ(modeOf(path("entry.desktop")), 0644u);

    // A mode the user set stays.
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    ASSERT_EQ(AtomicFile::write(path(), "newer"), std::nullopt);
    EXPECT_EQ(modeOf(path()), 0640u);
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

TEST_F(AtomicFileTest, ALinkOfAnotherUserIsReplacedNotWrittenThrough)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root to make";
    put(path("profile"), "the user's own");
    ASSERT_TRUE(QFile::link(path("profile"), path()));
    ASSERT_EQ(::lchown(QFile::encodeName(path()).constData(), 65534, 65534), 0);
    ASSERT_EQ(AtomicFile::write(path(), "new"), std::nullopt);
    EXPECT_EQ(read(path("profile")), "the user's own");
    EXPECT_FALSE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(read(path()), "new");
    EXPECT_EQ(modeOf(path()), 0600u);
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

TEST_F(AtomicFileTest, AFailedFolderSyncIsWrittenNotYetDurableNotAFailure)
{
    put(path(), "old");
    AtomicFile::failNextWrite({.step = Step::syncFolder});
    const AtomicFile::Outcome outcome = AtomicFile::writeFile(path(), "new");
    EXPECT_EQ(outcome.failure, std::nullopt);
    ASSERT_TRUE(outcome.notDurable.has_value());
    EXPECT_TRUE(outcome.notDurable->contains("sync its folder")) << outcome.notDurable->toStdString();
    EXPECT_EQ(read(path()), "new");

    AtomicFile::failNextWrite({.step = Step::syncFolder});
    EXPECT_EQ(AtomicFile::write(path(), "newer"), std::nullopt);
    EXPECT_EQ(read(path()), "newer");
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

TEST_F(AtomicFileTest, AFailedAppendNeverCutsWhatAnotherWriterAddedMeanwhile)
{
    put(path("switches.log"), "earlier lines\n");
    // Another program appends while the second chunk meets the full disk.
    AtomicFile::failNextWrite({.step = Step::write, .writeIndex = 1, .whenMet = [this] {
                                   QFile other(path("switches.log"));
                                   ASSERT_TRUE(other.open(QIODevice::Append));
                                   other.write("another program's line\n");
                               }});
    EXPECT_TRUE(AtomicFile::append(path("switches.log"), QByteArray(AtomicFile::chunkSize * 2, 'n')).has_value());
    const QByteArray log = read(path("switches.log"));
    EXPECT_TRUE(log.startsWith("earlier lines\n"));
    EXPECT_TRUE(log.endsWith("another program's line\n")) << log.right(40).toStdString();
}

TEST_F(AtomicFileTest, AppendToAPipeNobodyReadsFailsAtOnce)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.log")).constData(), 0600), 0);
    const auto error = AtomicFile::append(path("fifo.log"), "line\n");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("No such device or address")) << error->toStdString();
}

// --- writers killed on the way ---

class AtomicFileWriterProcessTest : public AtomicFileTest, protected TestProcesses {
protected:
    // A writer in its own process, stopped with its temporary file made,
    // just before the rename.
    QProcess& startHolding(const QByteArray& content)
    {
        QProcess& writer =
            start(QStringLiteral(TESSAROOM_ATOMIC_WRITER), {path(), QString::fromLatin1(content), "--hold"});
        EXPECT_TRUE(waitForLine(writer, "holding\n", QProcess::StandardOutput));
        return writer;
    }

    QStringList temporaries() const
    {
        return entries().filter(QRegularExpression("^\\.prefs\\.json\\.tessaroom-\\w{6}$"));
    }
};

TEST_F(AtomicFileWriterProcessTest, TemporariesOfWritersKilledOnTheWayGoWithTheNextWrite)
{
    put(path(), "kept");
    for (int kill = 0; kill < 3; ++kill) {
        QProcess& writer = startHolding("lost " + QByteArray::number(kill));
        ASSERT_TRUE(signal(writer, SIGKILL));
        ASSERT_TRUE(writer.waitForFinished(generous));
    }
    // Each writer removed the one its predecessor left.
    ASSERT_EQ(temporaries().size(), 1) << entries().join(' ').toStdString();
    EXPECT_EQ(read(path()), "kept");

    put(home() + "/.other.json.tessaroom-abc123", "another file's temporary");
    put(home() + "/.prefs.json.backup", "the user's own");
    ASSERT_EQ(AtomicFile::write(path(), "new"), std::nullopt);
    EXPECT_EQ(read(path()), "new");
    EXPECT_EQ(entries(), QStringList({".other.json.tessaroom-abc123", ".prefs.json.backup", "prefs.json"}));
}

TEST_F(AtomicFileWriterProcessTest, ALiveWriterInAnotherProcessKeepsItsTemporary)
{
    QProcess& writer = startHolding("theirs");
    ASSERT_EQ(temporaries().size(), 1);
    ASSERT_EQ(AtomicFile::write(path(), "mine"), std::nullopt);
    EXPECT_EQ(temporaries().size(), 1);

    writer.write("go on\n");
    ASSERT_TRUE(writer.waitForFinished(generous));
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAll().toStdString();
    EXPECT_EQ(read(path()), "theirs");
    EXPECT_EQ(entries(), QStringList{"prefs.json"});
}
