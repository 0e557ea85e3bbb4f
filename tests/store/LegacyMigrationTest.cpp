#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "store/LegacyMigration.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using platform::PreferenceDomain;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList importLines()
{
    return platform::SystemLog::lines().filter("Tessaroom: imported ");
}

} // namespace

class LegacyMigrationTest : public PlatformTest {
protected:
    PreferenceDomain& defaults() { return PreferenceDomain::standard(); }
    PreferenceDomain& legacy() { return PreferenceDomain::named(LegacyMigration::legacyDomainName); }
};

TEST_F(LegacyMigrationTest, RenamedKeyReplacesOnlyTheEarlierPrefixes)
{
    EXPECT_EQ(LegacyMigration::renamedKey("Quorvelin.rename.42"), "Tessaroom.rename.42");
    EXPECT_EQ(LegacyMigration::renamedKey("NSWindow Frame Quorvelin.Settings"), "NSWindow Frame Tessaroom.Settings");
    EXPECT_EQ(LegacyMigration::renamedKey("Quorvelin."), "Tessaroom.");
    EXPECT_EQ(LegacyMigration::renamedKey("quorvelin.rename.42"), "quorvelin.rename.42");
    EXPECT_EQ(LegacyMigration::renamedKey("QuorvelinFeatureDetails.7"), "QuorvelinFeatureDetails.7");
    EXPECT_EQ(LegacyMigration::renamedKey("hudEnabled"), "hudEnabled");
}

TEST_F(LegacyMigrationTest, CopiesEveryValueUnchangedUnderItsNamesAndCounts)
{
    legacy().setString("Quorvelin.rename.42", "Mail");
    legacy().setData("QuorvelinFeatureDetails.42", QByteArray("\x00\x01", 2));
    legacy().setDouble("hudDuration", 2.5);
    legacy().setObject("NSWindow Frame Quorvelin.Main", QVariantList{1, "two"});

    EXPECT_EQ(LegacyMigration::run(defaults(), LegacyMigration::legacyDomainName, std::nullopt), 6);
    EXPECT_EQ(defaults().object("Quorvelin.rename.42").toString(), "Mail");
    EXPECT_EQ(defaults().object("Tessaroom.rename.42").toString(), "Mail");
    EXPECT_EQ(defaults().data("QuorvelinFeatureDetails.42"), QByteArray("\x00\x01", 2));
    EXPECT_EQ(defaults().object("hudDuration").typeId(), QMetaType::Double);
    EXPECT_EQ(defaults().object("NSWindow Frame Tessaroom.Main").toList().size(), 2);
    EXPECT_TRUE(defaults().object("NSWindow Frame Quorvelin.Main").isValid());
    EXPECT_EQ(importLines(), QStringList{"Tessaroom: imported 6 preferences from local.vornick.quorvelin"});
    // Nothing of the earlier product changes.
    EXPECT_EQ(legacy().persistentDomain().size(), 4);
}

TEST_F(LegacyMigrationTest, ValuesAlreadyPresentAreKeptAndNotCounted)
{
    defaults().setBool("hudEnabled", true);
    defaults().setString("Tessaroom.rename.1", "Mine");
    PreferenceDomain::named(PreferenceDomain::globalName()).setString("AppleLanguage", "de");
    legacy().setBool("hudEnabled", false);
    legacy().setString("Quorvelin.rename.1", "Theirs");
    legacy().setString("AppleLanguage", "fr");

    EXPECT_EQ(LegacyMigration::run(defaults(), LegacyMigration::legacyDomainName, std::nullopt), 1);
    EXPECT_TRUE(defaults().object("hudEnabled").toBool());
    EXPECT_EQ(defaults().object("Tessaroom.rename.1").toString(), "Mine");
    EXPECT_EQ(defaults().object("Quorvelin.rename.1").toString(), "Theirs");
    EXPECT_FALSE(defaults().persistentDomain().contains("AppleLanguage"));
}

TEST_F(LegacyMigrationTest, RunsOncePerAccount)
{
    legacy().setString("Quorvelin.rename.5", "Code");
    EXPECT_EQ(LegacyMigration::run(defaults(), LegacyMigration::legacyDomainName, std::nullopt), 2);
    legacy().setString("Quorvelin.rename.6", "Music");
    EXPECT_EQ(LegacyMigration::run(defaults(), LegacyMigration::legacyDomainName, std::nullopt), 0);
    EXPECT_FALSE(defaults().object("Quorvelin.rename.6").isValid());
    EXPECT_EQ(importLines().size(), 1);
}

TEST_F(LegacyMigrationTest, WithoutTheEarlierDomainOnlyTheGuardIsSet)
{
    const QString pictures = platform::Folders::applicationSupport() + "/Quorvelin/icons";
    writeFile(pictures + "/a.png", "png");

    EXPECT_EQ(LegacyMigration::run(), 0);
    EXPECT_EQ(defaults().object(LegacyMigration::guardKey), QVariant(true));
    EXPECT_TRUE(importLines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(platform::Folders::applicationSupport() + "/Tessaroom/icons"));
}

TEST_F(LegacyMigrationTest, DefaultRunCopiesMissingPicturesAndKeepsExistingOnes)
{
    const LegacyMigration::IconFolders folders = LegacyMigration::defaultIconFolders();
    EXPECT_EQ(folders.source, platform::Folders::applicationSupport() + "/Quorvelin/icons");
    EXPECT_EQ(folders.destination, platform::Folders::applicationSupport() + "/Tessaroom/icons");
    writeFile(folders.source + "/old.png", "old picture");
    writeFile(folders.source + "/.hidden.png", "hidden");
    writeFile(folders.source + "/set/inner.png", "inner");
    writeFile(folders.source + "/mine.png", "their version");
    writeFile(folders.destination + "/mine.png", "my version");
    legacy().setBool("trackTime", false);

    EXPECT_EQ(LegacyMigration::run(), 1);
    EXPECT_EQ(readFile(folders.destination + "/old.png"), "old picture");
    EXPECT_EQ(readFile(folders.destination + "/.hidden.png"), "hidden");
    EXPECT_EQ(readFile(folders.destination + "/set/inner.png"), "inner");
    EXPECT_EQ(readFile(folders.destination + "/mine.png"), "my version");
}

TEST_F(LegacyMigrationTest, EmptyOrMissingSourceCopiesNothing)
{
    const QString destination = home() + "/dest";
    LegacyMigration::copyIcons(home() + "/missing", destination);
    EXPECT_FALSE(QFileInfo::exists(destination));
    QDir().mkpath(home() + "/empty");
    LegacyMigration::copyIcons(home() + "/empty", destination);
    EXPECT_FALSE(QFileInfo::exists(destination));
}

TEST_F(LegacyMigrationTest, APictureThatMeetsAFullDiskIsNotLeftCutOff)
{
    const QString source = home() + "/old";
    const QString destination = home() + "/new";
    writeFile(source + "/big.png", QByteArray(platform::AtomicFile::chunkSize + 10, 'p'));
    writeFile(source + "/small.png", "small");
    QDir().mkpath(destination);
    // The big picture's second chunk meets the full disk; the next copy works.
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::write, .writeIndex = 1});
    LegacyMigration::copyIcons(source, destination);
    platform::AtomicFile::clearInjectedFailure();
    EXPECT_EQ(QDir(destination).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"small.png"});
    EXPECT_EQ(readFile(destination + "/small.png"), "small");
}
