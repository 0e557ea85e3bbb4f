#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

TEST_F(PreferenceDomainTest, SynchronizePicksUpChangesWrittenByAnotherProgram)
{
    auto& shortcuts = PreferenceDomain::named("com.apple.symbolichotkeys");
    shortcuts.setInteger("value", 1);
    PreferenceDomain other("com.apple.symbolichotkeys");
    other.setInteger("value", 2);
    EXPECT_EQ(shortcuts.object("value").toLongLong(), 1);
    EXPECT_TRUE(shortcuts.synchronize());
    EXPECT_EQ(shortcuts.object("value").toLongLong(), 2);
}
