#include "platform/KeyCodes.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

namespace KeyCode = platform::KeyCode;

using platform::PreferenceDomain;

namespace {

SpaceMeta named(const QString& name, double seconds = 0)
{
    SpaceMeta meta;
    meta.name = name;
    meta.seconds = seconds;
    return meta;
}

QStringList linesContaining(const QString& text)
{
    return platform::SystemLog::lines().filter(text);
}

} // namespace

class SpaceStoreTest : public PlatformTest {
protected:
    SpaceStoreTest()
        : subscription_(platform::NotificationCenter::defaultCenter().observe(
            SpaceStore::changedNotification, [this] { ++announcements; }))
    {
    }

    PreferenceDomain& defaults() { return PreferenceDomain::standard(); }
    SpaceStore& store() { return SpaceStore::shared(); }
    std::optional<QByteArray> stored() { return defaults().data(SpaceStore::documentKey); }
    SpaceMetaMap storedMap()
    {
        const auto data = stored();
        if (!data)
            return {};
        auto decoded = SpaceMetaDocument::decode(*data);
        return decoded ? decoded.value() : SpaceMetaMap{};
    }
    // A new process over the same files; the announcement counter follows.
    void restart()
    {
        subscription_.reset();
        platform::resetSharedInstances();
        subscription_ = platform::NotificationCenter::defaultCenter().observe(
            SpaceStore::changedNotification, [this] { ++announcements; });
    }
    void storeDocument(const QByteArray& bytes) { defaults().setData(SpaceStore::documentKey, bytes); }

    int announcements = 0;

private:
    platform::NotificationCenter::Subscription subscription_;
};

TEST_F(SpaceStoreTest, AnnouncesEveryChangeButWritesOnceAfterTheBurst)
{
    store().change(7, [](SpaceMeta& m) { m.name = "Mail"; });
    advance(0.1);
    store().change(7, [](SpaceMeta& m) { m.name = "Mail and Chat"; });
    EXPECT_EQ(announcements, 2);
    EXPECT_EQ(store().meta(7).name, "Mail and Chat");
    advance(0.29);
    EXPECT_FALSE(stored().has_value());
    advance(0.011);
    EXPECT_EQ(storedMap().at(7).name, "Mail and Chat");
    EXPECT_FALSE(store().hasPendingWrite());
}

TEST_F(SpaceStoreTest, UnknownDesktopReadsEmptyAndEmptiedEntriesAreRemoved)
{
    EXPECT_EQ(store().meta(99), SpaceMeta::empty());
    store().change(1, [](SpaceMeta& m) { m.name = "Code"; });
    store().change(1, [](SpaceMeta& m) { m.name = ""; });
    EXPECT_EQ(store().metas().count(1), 0u);

    store().addTime(2, 30);
    store().change(2, [](SpaceMeta& m) { m.name = "Temp"; });
    store().change(2, [](SpaceMeta& m) { m.name = ""; });
    EXPECT_EQ(store().metas().at(2).seconds, 30);
    EXPECT_TRUE(store().metas().at(2).isEmpty());

    store().change(3, [](SpaceMeta&) {});
    EXPECT_EQ(announcements, 5);
    store().flushNow();
    EXPECT_EQ(storedMap().size(), 1u);
}

TEST_F(SpaceStoreTest, FlushNowWritesAtOnceAndCancelsTheScheduledWrite)
{
    store().flushNow();
    EXPECT_FALSE(stored().has_value());

    store().change(4, [](SpaceMeta& m) { m.color = TileColor::palette(3); });
    store().flushNow();
    EXPECT_EQ(storedMap().at(4).color, TileColor::palette(3));
    storeDocument("{}"); // the cancelled write must not bring the entry back
    advance(1);
    EXPECT_EQ(stored(), QByteArray("{}"));
}

TEST_F(SpaceStoreTest, TimeIsKeptInMemoryUntilFlushed)
{
    store().addTime(5, 1.5);
    store().addTime(5, 1.5);
    EXPECT_EQ(store().meta(5).seconds, 3.0);
    EXPECT_EQ(announcements, 0);
    store().flushNow(); // nothing pending, also with time added
    advance(1);
    EXPECT_FALSE(stored().has_value());

    store().flushTime();
    EXPECT_EQ(announcements, 1);
    store().flushTime(); // nothing new
    EXPECT_EQ(announcements, 1);
    advance(0.3);
    EXPECT_EQ(storedMap().at(5).seconds, 3.0);
}

TEST_F(SpaceStoreTest, BadTimeAmountsAreIgnoredSoSavesKeepWorking)
{
    store().addTime(6, 10);
    store().addTime(6, std::numeric_limits<double>::quiet_NaN());
    store().addTime(6, std::numeric_limits<double>::infinity());
    store().addTime(6, -4);
    store().addTime(6, std::numeric_limits<double>::max());
    store().addTime(6, std::numeric_limits<double>::max());
    EXPECT_EQ(store().meta(6).seconds, 10 + std::numeric_limits<double>::max());
    store().flushTime();
    advance(0.3);
    EXPECT_EQ(storedMap().size(), 1u);
    EXPECT_TRUE(linesContaining("could not save").isEmpty());
}

TEST_F(SpaceStoreTest, FailedEncodingKeepsTheStoredValueAndRetriesLater)
{
    store().change(8, [](SpaceMeta& m) { m.name = "Saved"; });
    store().flushNow();
    const auto before = stored();
    store().change(8, [](SpaceMeta& m) { m.seconds = std::numeric_limits<double>::infinity(); });
    store().flushNow();
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(linesContaining("Tessaroom: could not save space metadata: ").size(), 1);

    store().change(8, [](SpaceMeta& m) { m.seconds = 2; });
    advance(0.3);
    EXPECT_EQ(storedMap().at(8).seconds, 2.0);
}

TEST_F(SpaceStoreTest, ResetTimesKeepsEntriesThatBecomeEmpty)
{
    store().addTime(1, 50);
    store().change(2, [](SpaceMeta& m) { m.name = "Keep"; });
    store().addTime(2, 20);
    store().resetTimes();
    EXPECT_EQ(store().metas().at(1), SpaceMeta::empty());
    EXPECT_EQ(store().metas().at(2), named("Keep"));
    advance(0.3);
    const QJsonObject document = QJsonDocument::fromJson(*stored()).object();
    EXPECT_EQ(document.value("1").toObject(),
        (QJsonObject{{"name", ""}, {"icon", ""}, {"color", -1}, {"seconds", 0}}));

    store().change(1, [](SpaceMeta&) {});
    EXPECT_EQ(store().metas().count(1), 0u);
}

TEST_F(SpaceStoreTest, ResetAllRemovesEveryEntry)
{
    store().change(1, [](SpaceMeta& m) { m.name = "One"; });
    store().flushNow();
    store().resetAll();
    EXPECT_TRUE(store().metas().empty());
    store().flushNow();
    EXPECT_EQ(stored(), QByteArray("{}"));
}

TEST_F(SpaceStoreTest, ReplaceAllFreezesTheStoredValue)
{
    store().change(1, [](SpaceMeta& m) { m.name = "Real"; });
    store().flushNow();
    const auto real = stored();
    store().change(1, [](SpaceMeta& m) { m.name = "Pending"; });
    store().replaceAll({{10, named("Sample")}});
    EXPECT_TRUE(store().isFrozen());
    EXPECT_FALSE(store().hasPendingWrite());
    EXPECT_EQ(announcements, 3);

    store().change(10, [](SpaceMeta& m) { m.name = "Edited"; });
    EXPECT_EQ(store().meta(10).name, "Edited");
    EXPECT_EQ(announcements, 4);
    store().flushNow();
    advance(1);
    store().save();
    EXPECT_EQ(stored(), real);
}

TEST_F(SpaceStoreTest, AFrozenStoreNeverWritesEditsOrTime)
{
    store().change(1, [](SpaceMeta& m) { m.name = "Real"; });
    store().flushNow();
    const auto real = stored();
    store().change(1, [](SpaceMeta& m) { m.name = "Pending"; });
    store().freeze();
    EXPECT_TRUE(store().isFrozen());
    EXPECT_FALSE(store().hasPendingWrite());

    // Edits and time stay in memory and are still announced.
    const int before = announcements;
    store().change(2, [](SpaceMeta& m) { m.name = "Edited"; });
    store().addTime(1, 12.5);
    store().flushTime();
    store().resetTimes();
    EXPECT_EQ(announcements, before + 3);
    EXPECT_EQ(store().meta(2).name, "Edited");
    advance(1);
    store().flushNow();
    store().save();
    EXPECT_EQ(stored(), real);
}

TEST_F(SpaceStoreTest, LoadsTheStoredDocument)
{
    store().change(3, [](SpaceMeta& m) {
        m.name = "Design";
        m.icon = SpaceIcon::symbol("paintbrush");
        m.hotkey = Hotkey{KeyCode::digit1, 0x1800};
    });
    store().flushNow();
    restart();
    EXPECT_EQ(store().meta(3).name, "Design");
    EXPECT_EQ(store().meta(3).icon, SpaceIcon::symbol("paintbrush"));
    EXPECT_EQ(store().meta(3).hotkey, (Hotkey{KeyCode::digit1, 0x1800}));
}

TEST_F(SpaceStoreTest, UnreadableDocumentLoadsEmptyAndIsKeptAsideBeforeAnyWrite)
{
    const QByteArray unreadable = R"({"1":{"name":"A","icon":"","color":-1,"seconds":4},"2":{"name":"B","icon":"","color":-1}})";
    storeDocument(unreadable);
    EXPECT_TRUE(store().metas().empty());
    EXPECT_EQ(linesContaining("Tessaroom: could not read space metadata: ").size(), 1);

    store().change(5, [](SpaceMeta& m) { m.name = "New"; });
    EXPECT_EQ(stored(), unreadable); // nothing written before the delay
    advance(0.3);
    EXPECT_EQ(storedMap().at(5).name, "New");
    EXPECT_EQ(defaults().data(SpaceStore::unreadableKey), unreadable);
    EXPECT_EQ(linesContaining("Tessaroom: kept the unreadable space metadata as Tessaroom.meta.v2.unreadable").size(), 1);

    // A later unreadable document never replaces the one kept earlier.
    const QByteArray second = "not json";
    storeDocument(second);
    restart();
    store().resetAll();
    store().flushNow();
    EXPECT_EQ(defaults().data(SpaceStore::unreadableKey), unreadable);
    EXPECT_EQ(defaults().data(SpaceStore::unreadableKey + ".2"), second);
    EXPECT_EQ(stored(), QByteArray("{}"));
}

TEST_F(SpaceStoreTest, DocumentWithARepeatedNameIsKeptAsideNotHalfRead)
{
    const QByteArray repeated = R"({"7":{"name":"first","icon":"","color":-1,"seconds":0},)"
                                R"("7":{"name":"second","icon":"","color":-1,"seconds":0}})";
    storeDocument(repeated);
    EXPECT_TRUE(store().metas().empty());
    EXPECT_EQ(linesContaining("Tessaroom: could not read space metadata: member \"7\" appears twice").size(), 1);
    store().change(8, [](SpaceMeta& m) { m.name = "New"; });
    store().flushNow();
    // "first" survives in the kept copy.
    EXPECT_EQ(defaults().data(SpaceStore::unreadableKey), repeated);
    EXPECT_EQ(storedMap().size(), 1u);
}

TEST_F(SpaceStoreTest, StoredValueOfTheWrongKindIsKeptAsideToo)
{
    defaults().setString(SpaceStore::documentKey, "names");
    EXPECT_TRUE(store().metas().empty());
    store().change(1, [](SpaceMeta& m) { m.name = "X"; });
    store().flushNow();
    EXPECT_EQ(defaults().object(SpaceStore::unreadableKey), QVariant("names"));
    EXPECT_EQ(storedMap().size(), 1u);
}

TEST_F(SpaceStoreTest, WriteDueAfterTheStoreIsGoneDoesNothing)
{
    store().change(1, [](SpaceMeta& m) { m.name = "Gone"; });
    restart();
    advance(1);
    EXPECT_FALSE(stored().has_value());
}

class SpaceStoreLegacyTest : public SpaceStoreTest {
protected:
    static SpaceStore::SpaceNameLookup serverNames(std::map<quint64, QString> names)
    {
        return [names](quint64 id) -> std::optional<QString> {
            const auto it = names.find(id);
            return it == names.end() ? std::nullopt : std::optional<QString>(it->second);
        };
    }
    std::optional<QString> serverName(const QString& name)
    {
        return store().legacyName({1, 1}, serverNames({{1, name}}));
    }
};

TEST_F(SpaceStoreLegacyTest, EarlierRenameWinsAndIsUsedExactly)
{
    defaults().setString("Quorvelin.rename.11", "   ");
    defaults().setData("QuorvelinFeatureDetails.11", "<plist><dict><key>title</key><string>Feature</string></dict></plist>");
    EXPECT_EQ(store().legacyName({11, 100}, serverNames({{11, "Server"}})), QString("   "));
    defaults().setString("Quorvelin.rename.11", "");
    EXPECT_EQ(store().legacyName({11, 100}, serverNames({{11, "Server"}})), QString("Feature"));
}

TEST_F(SpaceStoreLegacyTest, FeatureDetailsNeedADictWithATextTitle)
{
    const auto lookup = serverNames({{12, "Server"}});
    auto titled = [&](const QByteArray& data) {
        defaults().setData("QuorvelinFeatureDetails.12", data);
        return store().legacyName({12, 1}, lookup);
    };
    EXPECT_EQ(titled(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>other</key><array><integer>1</integer></array><key>title</key><string>R&amp;D</string></dict></plist>)"),
        QString("R&D"));
    EXPECT_EQ(titled("<plist><dict><key>title</key><string></string></dict></plist>"), QString("Server"));
    EXPECT_EQ(titled("<plist><dict><key>title</key><integer>4</integer></dict></plist>"), QString("Server"));
    EXPECT_EQ(titled("<plist><array><string>title</string></array></plist>"), QString("Server"));
    EXPECT_EQ(titled("bplist00\xd1\x01\x02"), QString("Server"));
    // The binary form, as the system writes property lists by default.
    EXPECT_EQ(titled(QByteArray::fromHex("62706c6973743030d10102557469746c655642696e617279080b11000000000000010100"
                                         "0000000000000300000000000000000000000000000018")),
        QString("Binary"));
    EXPECT_EQ(titled("<plist><dict><key>title</key><string>open"), QString("Server"));
}

TEST_F(SpaceStoreLegacyTest, ServerNamesAreTrimmedAndChecked)
{
    EXPECT_EQ(serverName(QString::fromUtf8("\t Inbox\u00a0 ")), QString("Inbox"));
    EXPECT_EQ(serverName("Inbox\n"), QString("Inbox\n"));
    EXPECT_EQ(serverName(QString(40, 'x')), QString(40, 'x'));
    EXPECT_EQ(serverName(QString(41, 'x')), std::nullopt);
    const QString flags = QString::fromUtf8("🇩🇪").repeated(40); // 40 characters, 320 bytes
    EXPECT_EQ(serverName(flags), flags);
    EXPECT_EQ(serverName(" \t "), std::nullopt);
    EXPECT_EQ(serverName("6F9619FF-8B86-D011-B42D-00C04FC964FF"), std::nullopt);
    EXPECT_EQ(serverName("6f9619ff-8b86-d011-b42d-00c04fc964ff"), std::nullopt);
    EXPECT_EQ(serverName("6F9619FF-8B86-D011-B42D-00C04FC964F"), QString("6F9619FF-8B86-D011-B42D-00C04FC964F"));
    EXPECT_EQ(store().legacyName({1, 1}), std::nullopt);
}

TEST_F(SpaceStoreLegacyTest, ImportRunsOnceAndNamesOnlyDesktopsWithoutEntries)
{
    store().change(200, [](SpaceMeta& m) { m.icon = SpaceIcon::emoji(QString::fromUtf8("🚀")); });
    const int before = announcements;
    defaults().setString("Quorvelin.rename.2", "Two");
    const auto lookup = serverNames({{1, "One"}, {2, "Server two"}, {3, " "}});
    store().importLegacyNames({{1, 100}, {2, 200}, {3, 300}, {4, 100}}, lookup);
    EXPECT_EQ(store().meta(100), named("One"));
    EXPECT_EQ(store().meta(200).name, ""); // had an entry already
    EXPECT_EQ(store().metas().count(300), 0u);
    EXPECT_EQ(announcements, before + 1);
    EXPECT_EQ(defaults().object(SpaceStore::migratedKey), QVariant(true));
    advance(0.3);
    EXPECT_EQ(storedMap().at(100).name, "One");

    store().importLegacyNames({{5, 500}}, serverNames({{5, "Late"}}));
    EXPECT_EQ(store().metas().count(500), 0u);
}

TEST_F(SpaceStoreLegacyTest, ImportThatFindsNothingStillSetsTheFlagAndAnnouncesNothing)
{
    store().importLegacyNames({});
    EXPECT_EQ(defaults().object(SpaceStore::migratedKey), QVariant(true));
    EXPECT_EQ(announcements, 0);
    EXPECT_FALSE(store().hasPendingWrite());
}

TEST_F(SpaceStoreLegacyTest, AFrozenStoreImportsInMemoryAndLeavesTheImportForTheNextLaunch)
{
    defaults().setString("Quorvelin.rename.1", "One");
    store().freeze();
    store().importLegacyNames({{1, 100}});
    EXPECT_EQ(store().meta(100).name, "One");
    EXPECT_FALSE(stored());
    EXPECT_FALSE(defaults().object(SpaceStore::migratedKey).isValid());

    restart();
    store().importLegacyNames({{1, 100}});
    EXPECT_EQ(storedMap().at(100).name, "One");
    EXPECT_EQ(defaults().object(SpaceStore::migratedKey), QVariant(true));
}

// --- older names under hostile values ---

TEST_F(SpaceStoreLegacyTest, DeepPropertyListSkipsItsDesktopAndTheImportGoesOn)
{
    // Nested arrays deep enough to overflow the stack when followed.
    const QByteArray deep = "<plist>" + QByteArray("<array>").repeated(200000)
        + QByteArray("</array>").repeated(200000) + "</plist>";
    defaults().setData("QuorvelinFeatureDetails.1", deep);
    defaults().setString("Quorvelin.rename.2", "Two");
    store().importLegacyNames({{1, 100}, {2, 200}}, serverNames({{1, "Server one"}}));
    EXPECT_EQ(store().meta(100).name, "Server one");
    EXPECT_EQ(store().meta(200).name, "Two");
    EXPECT_EQ(defaults().object(SpaceStore::migratedKey), QVariant(true));
}

TEST_F(SpaceStoreLegacyTest, NamesAreOnDiskBeforeTheImportCountsAsDone)
{
    defaults().setString("Quorvelin.rename.1", "One");
    std::optional<QVariant> flagDuringImport;
    const SpaceStore::SpaceNameLookup lookup = [&](quint64) -> std::optional<QString> {
        flagDuringImport = defaults().object(SpaceStore::migratedKey);
        return QString("Two");
    };
    store().importLegacyNames({{1, 100}, {2, 200}}, lookup);
    // Cut short here, the next launch would import again.
    ASSERT_TRUE(flagDuringImport.has_value());
    EXPECT_FALSE(flagDuringImport->isValid());
    // Nothing waits for the delayed write.
    EXPECT_EQ(storedMap().at(100).name, "One");
    EXPECT_EQ(storedMap().at(200).name, "Two");
    EXPECT_FALSE(store().hasPendingWrite());
    EXPECT_EQ(defaults().object(SpaceStore::migratedKey), QVariant(true));
}
