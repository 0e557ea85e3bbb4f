#include "platform/AtomicFile.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>

#include <memory>

using platform::PreferenceDomain;

class PreferenceDomainTest : public PlatformTest {};

TEST_F(PreferenceDomainTest, KeepsValueTypesApartAcrossARestart)
{
    auto& defaults = PreferenceDomain::standard();
    defaults.setBool("flag", false);
    defaults.setInteger("big", 9007199254740993LL); // not representable as a double
    defaults.setDouble("ratio", 0.45);
    defaults.setString("text", "1");
    defaults.setData("blob", QByteArray("\x00\xff", 2));
    defaults.setObject("nested", QVariantMap{{"list", QVariantList{1, "two", true}}});

    platform::resetSharedInstances(); // a new process reads the file
    auto& reread = PreferenceDomain::standard();
    EXPECT_EQ(reread.object("flag").typeId(), QMetaType::Bool);
    EXPECT_EQ(reread.object("big").toLongLong(), 9007199254740993LL);
    EXPECT_EQ(reread.object("ratio").typeId(), QMetaType::Double);
    EXPECT_EQ(reread.object("text").typeId(), QMetaType::QString);
    EXPECT_EQ(reread.data("blob"), QByteArray("\x00\xff", 2));
    EXPECT_FALSE(reread.data("text").has_value());
    const QVariantList list = reread.object("nested").toMap().value("list").toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].typeId(), QMetaType::LongLong);
    EXPECT_EQ(list[2].typeId(), QMetaType::Bool);
}

TEST_F(PreferenceDomainTest, StringLookupGivesNumbersAsTextAndNothingElse)
{
    auto& defaults = PreferenceDomain::standard();
    defaults.setInteger("n", 42);
    defaults.setData("d", "x");
    EXPECT_EQ(defaults.string("n"), QString("42"));
    EXPECT_FALSE(defaults.string("d").has_value());
    EXPECT_FALSE(defaults.string("missing").has_value());
}

TEST_F(PreferenceDomainTest, StandardLookupSeesTheGlobalDomainButPersistentDomainDoesNot)
{
    PreferenceDomain::named(PreferenceDomain::globalName()).setString("AppleLocale", "en_GB");
    EXPECT_EQ(PreferenceDomain::standard().object("AppleLocale").toString(), "en_GB");
    EXPECT_FALSE(PreferenceDomain::standard().persistentDomain().contains("AppleLocale"));
    EXPECT_FALSE(PreferenceDomain::named("other").object("AppleLocale").isValid());
}

TEST_F(PreferenceDomainTest, UnreadableFileIsKeptAsideNotOverwritten)
{
    const QString path = PreferenceDomain::standard().filePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();

    auto& defaults = PreferenceDomain::standard();
    EXPECT_FALSE(defaults.object("anything").isValid());
    defaults.setBool("fresh", true);

    QFile aside(path + ".corrupt");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), QByteArray("{ not json"));
    EXPECT_TRUE(platform::SystemLog::lines().join("\n").contains("kept it aside"));
}

TEST_F(PreferenceDomainTest, EveryUnreadableFileKeepsItsOwnAsideCopy)
{
    const QString path = PreferenceDomain::standard().filePath();
    QDir().mkpath(QFileInfo(path).path());
    auto writeFile = [](const QString& target, const QByteArray& bytes) {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    auto readFile = [](const QString& target) {
        QFile file(target);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    writeFile(path + ".corrupt", "first");
    writeFile(path + ".2.corrupt", "second");
    writeFile(path, "third");

    PreferenceDomain::standard().setBool("fresh", true);
    EXPECT_EQ(readFile(path + ".corrupt"), QByteArray("first"));
    EXPECT_EQ(readFile(path + ".2.corrupt"), QByteArray("second"));
    EXPECT_EQ(readFile(path + ".3.corrupt"), QByteArray("third"));
}

// --- files shared with other programs ---

TEST_F(PreferenceDomainTest, LookupSeesChangesWrittenByAnotherProgram)
{
    auto& shortcuts = PreferenceDomain::named("com.apple.symbolichotkeys");
    shortcuts.setInteger("value", 1);
    PreferenceDomain other("com.apple.symbolichotkeys");
    other.setInteger("value", 2);
    EXPECT_EQ(shortcuts.object("value").toLongLong(), 2);
    EXPECT_TRUE(shortcuts.synchronize());
    EXPECT_EQ(shortcuts.object("value").toLongLong(), 2);
}

TEST_F(PreferenceDomainTest, TwoWritersOfOneFileEachKeepTheirKeys)
{
    PreferenceDomain first("com.apple.symbolichotkeys");
    PreferenceDomain second("com.apple.symbolichotkeys");
    EXPECT_FALSE(first.object("60").isValid()); // both have read the (missing) file
    EXPECT_FALSE(second.object("61").isValid());
    first.setObject("60", QVariantMap{{"enabled", true}});
    second.setObject("61", QVariantMap{{"enabled", false}});
    first.setInteger("118", 1);
    second.remove("118");
    second.setInteger("119", 2);

    const QVariantMap onDisk = PreferenceDomain("com.apple.symbolichotkeys").persistentDomain();
    EXPECT_EQ(onDisk.value("60").toMap().value("enabled"), QVariant(true));
    EXPECT_EQ(onDisk.value("61").toMap().value("enabled"), QVariant(false));
    EXPECT_FALSE(onDisk.contains("118"));
    EXPECT_EQ(onDisk.value("119").toLongLong(), 2);
    EXPECT_EQ(first.persistentDomain(), onDisk);
}

// --- files that exist but cannot be read ---

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST_F(PreferenceDomainTest, FileThatCannotBeOpenedIsNeverReplaced)
{
    // A socket stands at the path: it exists, and opening it fails even for root.
    auto& defaults = PreferenceDomain::standard();
    const QString path = defaults.filePath();
    QDir().mkpath(QFileInfo(path).path());
    auto socket = std::make_unique<QLocalServer>();
    socket->setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(socket->listen(path)) << socket->errorString().toStdString();
    ASSERT_TRUE(QFileInfo::exists(path));

    EXPECT_FALSE(defaults.object("anything").isValid());
    defaults.setBool("fresh", true);
    EXPECT_FALSE(QFileInfo(path).isFile());
    EXPECT_EQ(defaults.object("fresh"), QVariant(true)); // kept in memory
    EXPECT_FALSE(defaults.synchronize());
    const QString log = platform::SystemLog::lines().join("\n");
    EXPECT_TRUE(log.contains("preferences: could not open " + path)) << log.toStdString();
    EXPECT_TRUE(log.contains("preferences: not writing " + path)) << log.toStdString();

    // Once the file can be read, the change goes on top of what it holds.
    socket.reset();
    writeFile(path, R"({"kept":{"bool":true}})");
    EXPECT_EQ(defaults.object("kept"), QVariant(true));
    EXPECT_TRUE(defaults.synchronize());
    const QVariantMap onDisk = PreferenceDomain(PreferenceDomain::standardName()).persistentDomain();
    EXPECT_EQ(onDisk.value("kept"), QVariant(true));
    EXPECT_EQ(onDisk.value("fresh"), QVariant(true));
}

TEST_F(PreferenceDomainTest, UnreadableFileThatCannotBeMovedAsideIsNotOverwritten)
{
    // "<name>.json" fits in a file name, "<name>.json.corrupt" does not.
    PreferenceDomain domain(QString(248, 'd'));
    const QString path = domain.filePath();
    writeFile(path, "{ not json");

    EXPECT_FALSE(domain.object("anything").isValid());
    domain.setBool("fresh", true);
    EXPECT_EQ(contentOf(path), QByteArray("{ not json"));
    const QString log = platform::SystemLog::lines().join("\n");
    EXPECT_TRUE(log.contains("and could not keep it aside as " + path + ".corrupt")) << log.toStdString();
    EXPECT_FALSE(log.contains("kept it aside")) << log.toStdString();
    EXPECT_TRUE(log.contains("preferences: not writing " + path)) << log.toStdString();
}

// --- writes that fail keep the file and the values ---

class PreferenceWriteFailureTest : public PreferenceDomainTest {
protected:
    ~PreferenceWriteFailureTest() override { platform::AtomicFile::clearInjectedFailure(); }

    static void failNextWrite() { platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush}); }

    static int logLinesContaining(const QString& text)
    {
        int count = 0;
        for (const QString& line : platform::SystemLog::lines())
            count += line.contains(text) ? 1 : 0;
        return count;
    }

    static QVariantMap onDisk() { return PreferenceDomain(PreferenceDomain::standardName()).persistentDomain(); }
};

TEST_F(PreferenceWriteFailureTest, AFullDiskLeavesTheOldFileAndKeepsTheValueInMemory)
{
    auto& defaults = PreferenceDomain::standard();
    defaults.setString("names", "precious");
    const QByteArray before = contentOf(defaults.filePath());
    ASSERT_FALSE(before.isEmpty());

    failNextWrite();
    defaults.setString("names", "renamed");
    EXPECT_EQ(contentOf(defaults.filePath()), before);
    EXPECT_EQ(defaults.string("names"), QString("renamed"));
    EXPECT_EQ(logLinesContaining("preferences: could not write " + defaults.filePath()
                                 + ": could not write: No space left on device"),
              1)
        << platform::SystemLog::lines().join("\n").toStdString();
    const QFileInfo file(defaults.filePath());
    EXPECT_EQ(QDir(file.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{file.fileName()});
}

TEST_F(PreferenceWriteFailureTest, TheNextChangeAlsoWritesTheValueKeptBefore)
{
    auto& defaults = PreferenceDomain::standard();
    defaults.setString("kept", "old");
    failNextWrite();
    defaults.setString("kept", "new");
    ASSERT_EQ(onDisk().value("kept"), QVariant("old"));

    defaults.setBool("later", true);
    EXPECT_EQ(onDisk().value("kept"), QVariant("new"));
    EXPECT_EQ(onDisk().value("later"), QVariant(true));
}

TEST_F(PreferenceWriteFailureTest, ARepeatedFailureIsLoggedOnceUntilAWriteWorks)
{
    auto& defaults = PreferenceDomain::standard();
    const QString line = "preferences: could not write " + defaults.filePath();
    for (int i = 0; i < 3; ++i) {
        failNextWrite();
        defaults.setInteger("tries", i);
    }
    EXPECT_EQ(logLinesContaining(line), 1);
    defaults.setInteger("tries", 3);
    failNextWrite();
    defaults.setInteger("tries", 4);
    EXPECT_EQ(logLinesContaining(line), 2);
}

TEST_F(PreferenceWriteFailureTest, PendingChangesReachTheDiskOnceTheFolderAllowsIt)
{
    // A file where the preferences folder belongs: the write fails even as root.
    auto& defaults = PreferenceDomain::standard();
    const QString folder = QFileInfo(defaults.filePath()).path();
    writeFile(folder, "in the way");
    defaults.setString("pending", "value");
    EXPECT_EQ(defaults.string("pending"), QString("value"));
    EXPECT_EQ(logLinesContaining("preferences: could not write " + defaults.filePath()), 1);

    PreferenceDomain::synchronizePending(); // still in the way: nothing new
    EXPECT_EQ(logLinesContaining("preferences: could not write " + defaults.filePath()), 1);

    ASSERT_TRUE(QFile::remove(folder));
    PreferenceDomain::synchronizePending();
    EXPECT_EQ(onDisk().value("pending"), QVariant("value"));
}

TEST_F(PreferenceWriteFailureTest, PendingChangesGoOnTopOfWhatAnotherProgramWroteMeanwhile)
{
    auto& shortcuts = PreferenceDomain::named("com.apple.symbolichotkeys");
    shortcuts.setInteger("118", 1);
    failNextWrite();
    shortcuts.setInteger("119", 2);

    PreferenceDomain other("com.apple.symbolichotkeys");
    other.setInteger("120", 3);
    PreferenceDomain::synchronizePending();
    const QVariantMap stored = PreferenceDomain("com.apple.symbolichotkeys").persistentDomain();
    EXPECT_EQ(stored.value("118").toLongLong(), 1);
    EXPECT_EQ(stored.value("119").toLongLong(), 2);
    EXPECT_EQ(stored.value("120").toLongLong(), 3);
}

TEST_F(PreferenceWriteFailureTest, AFailedFolderSyncIsWrittenNotYetDurable)
{
    auto& defaults = PreferenceDomain::standard();
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::syncFolder, .errorCode = 5}); // EIO
    defaults.setString("names", "renamed");
    EXPECT_EQ(onDisk().value("names"), QVariant("renamed"));
    EXPECT_EQ(logLinesContaining("preferences: " + defaults.filePath() + " written, not yet durable"), 1)
        << platform::SystemLog::lines().join("\n").toStdString();
    EXPECT_EQ(logLinesContaining("could not write"), 0);
}

// --- changes saved soon ---

TEST_F(PreferenceDomainTest, ChangesSavedSoonAreSeenAtOnceAndWrittenTogether)
{
    auto& defaults = PreferenceDomain::standard();
    const auto onDisk = [] { return PreferenceDomain(PreferenceDomain::standardName()).persistentDomain(); };
    for (int step = 1; step <= 10; ++step) {
        defaults.setInteger("offset", step, PreferenceDomain::Save::soon);
        EXPECT_EQ(defaults.object("offset").toLongLong(), step);
    }
    EXPECT_FALSE(onDisk().contains("offset"));
    clock().runPending();
    EXPECT_EQ(onDisk().value("offset").toLongLong(), 10);
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(PreferenceDomainTest, AnOlderWriteNeverLandsAfterANewerOne)
{
    auto& defaults = PreferenceDomain::standard();
    defaults.setDouble("scale", 1.0);
    clock().holdBackgroundWork(true); // a slow disk
    defaults.setDouble("scale", 1.1, PreferenceDomain::Save::soon);
    clock().runPending(); // its write is under way
    // Written at once; the file then holds what the write under way was
    // based on, so only the order of the writes can stop that one.
    defaults.setDouble("scale", 1.0);
    clock().holdBackgroundWork(false);
    clock().runHeldBackgroundWork(); // the write of 1.1 gets its turn last
    clock().runPending();
    const QVariantMap stored = PreferenceDomain(PreferenceDomain::standardName()).persistentDomain();
    EXPECT_EQ(stored.value("scale").toDouble(), 1.0);
}

TEST_F(PreferenceDomainTest, AWriteUnderWayNeverDropsWhatAnotherProgramWroteMeanwhile)
{
    auto& defaults = PreferenceDomain::standard();
    defaults.setString("kept", "before");
    clock().holdBackgroundWork(true);
    defaults.setDouble("scale", 1.2, PreferenceDomain::Save::soon);
    clock().runPending(); // its bytes are made, its write waits for the disk
    PreferenceDomain(PreferenceDomain::standardName()).setString("other", "theirs");
    clock().holdBackgroundWork(false);
    clock().runHeldBackgroundWork();
    advance(PreferenceDomain::writeInterval);
    const QVariantMap stored = PreferenceDomain(PreferenceDomain::standardName()).persistentDomain();
    EXPECT_EQ(stored.value("other"), QVariant("theirs"));
    EXPECT_EQ(stored.value("scale").toDouble(), 1.2);
    EXPECT_EQ(stored.value("kept"), QVariant("before"));
}
