#include "store/SpaceIcon.h"
#include "store/SpaceMeta.h"
#include "store/SpaceMetaDocument.h"
#include "store/TileColor.h"

#include "support/PlatformTest.h"
#include "platform/KeyCodes.h"
#include "support/Literals.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace KeyCode = platform::KeyCode;

namespace {

const QString rocket = u(u"\U0001F680");
const QString star = u(u"\u2B50");
const QString flag = u(u"\U0001F1E9\U0001F1EA");
const QString family = u(u"\U0001F468\u200D\U0001F469\u200D\U0001F467");

SpaceMeta sample()
{
    SpaceMeta meta;
    meta.name = QStringLiteral("Mail & \"Chat\"\n");
    meta.icon = SpaceIcon::emoji(flag);
    meta.color = TileColor::palette(12);
    meta.seconds = 3725.125;
    meta.hotkey = Hotkey{KeyCode::digit1, Hotkey::defaultModifiers};
    return meta;
}

} // namespace

class SpaceMetaTest : public PlatformTest {};

TEST_F(SpaceMetaTest, IconTextsReadBackByPrefix)
{
    const SpaceIcon symbol = SpaceIcon::symbol("terminal.fill");
    EXPECT_EQ(symbol.stringValue(), QStringLiteral("sf:terminal.fill"));
    EXPECT_EQ(SpaceIcon::fromString(symbol.stringValue()), symbol);
    EXPECT_EQ(SpaceIcon::fromString("sf:"), SpaceIcon::symbol(""));
    EXPECT_EQ(SpaceIcon::fromString("img:work.png"), SpaceIcon::picture("work.png"));
    EXPECT_EQ(SpaceIcon::fromString("img:"), SpaceIcon::picture(""));
    EXPECT_EQ(SpaceIcon::picture("a.png").stringValue(), QStringLiteral("img:a.png"));
    EXPECT_EQ(SpaceIcon::fromString("sf:img:x"), SpaceIcon::symbol("img:x"));
    EXPECT_TRUE(SpaceIcon::fromString("").isNone());
    EXPECT_EQ(SpaceIcon::none().stringValue(), QString());
    EXPECT_NE(SpaceIcon::symbol(""), SpaceIcon::picture(""));
    EXPECT_NE(SpaceIcon::symbol(""), SpaceIcon::none());
}

TEST_F(SpaceMetaTest, OtherIconTextsKeepAtMostTwoEmoji)
{
    EXPECT_EQ(SpaceIcon::fromString(rocket + star + flag), SpaceIcon::emoji(rocket + star));
    EXPECT_EQ(SpaceIcon::fromString("Work " + rocket), SpaceIcon::emoji(rocket));
    EXPECT_EQ(SpaceIcon::fromString(flag + family + rocket), SpaceIcon::emoji(flag + family));
    EXPECT_EQ(SpaceIcon::emoji(rocket).stringValue(), rocket);
    EXPECT_TRUE(SpaceIcon::fromString("Work 42").isNone());
    EXPECT_TRUE(SpaceIcon::fromString("emoji:x").isNone());
    EXPECT_TRUE(SpaceIcon::fromString("SF:terminal").isNone());
    EXPECT_TRUE(SpaceIcon::fromString("IMG:a.png").isNone());
    EXPECT_EQ(SpaceIcon::fromString("web:" + rocket), SpaceIcon::emoji(rocket));
}

TEST_F(SpaceMetaTest, ColourIntegersReadBackWithoutUpperBound)
{
    EXPECT_EQ(TileColor::fromInt(-1), TileColor::automatic());
    EXPECT_EQ(TileColor::fromInt(-2), TileColor::transparent());
    EXPECT_EQ(TileColor::fromInt(-7), TileColor::automatic());
    EXPECT_EQ(TileColor::fromInt(-7).intValue(), -1);
    EXPECT_EQ(TileColor::fromInt(12), TileColor::palette(12));
    EXPECT_EQ(TileColor::fromInt(0), TileColor::palette(0));
    EXPECT_EQ(TileColor::transparent().intValue(), -2);
    const qint64 largest = std::numeric_limits<qint64>::max();
    EXPECT_EQ(TileColor::fromInt(largest).intValue(), largest);
    EXPECT_EQ(TileColor::fromInt(std::numeric_limits<qint64>::min()), TileColor::automatic());
    EXPECT_NE(TileColor::palette(1), TileColor::palette(2));
}

TEST_F(SpaceMetaTest, EmptinessIgnoresTrackedTimeButEqualityDoesNot)
{
    EXPECT_TRUE(SpaceMeta::empty().isEmpty());
    SpaceMeta timeOnly;
    timeOnly.seconds = 90;
    EXPECT_TRUE(timeOnly.isEmpty());
    EXPECT_NE(timeOnly, SpaceMeta::empty());

    SpaceMeta customized;
    customized.color = TileColor::transparent();
    EXPECT_FALSE(customized.isEmpty());
    customized = {};
    customized.hotkey = Hotkey{KeyCode::space, 0};
    EXPECT_FALSE(customized.isEmpty());
    customized.hotkey = Hotkey{KeyCode::space, 0x100};
    EXPECT_NE(customized, (SpaceMeta{"", {}, {}, 0, Hotkey{KeyCode::space, 0}}));
    EXPECT_EQ(sample(), sample());
}

TEST_F(SpaceMetaTest, DocumentRoundTripsEveryField)
{
    SpaceMetaMap entries;
    entries[3] = sample();
    entries[-4] = SpaceMeta{"Only time", {}, {}, 0.1, std::nullopt};
    entries[std::numeric_limits<qint64>::max()] = SpaceMeta{"", SpaceIcon::symbol("globe"), TileColor::transparent(), 1e300, std::nullopt};
    const auto encoded = SpaceMetaDocument::encode(entries);
    ASSERT_TRUE(encoded) << encoded.error().toStdString();
    EXPECT_FALSE(encoded.value().contains('\n')); // compact, and the name's line break escaped
    EXPECT_FALSE(encoded.value().contains("\": "));
    const auto decoded = SpaceMetaDocument::decode(encoded.value());
    ASSERT_TRUE(decoded) << decoded.error().toStdString();
    EXPECT_EQ(decoded.value(), entries);
}

TEST_F(SpaceMetaTest, DocumentWritesHotkeyOnlyWhenSet)
{
    SpaceMetaMap entries{{7, SpaceMeta{"Web", {}, TileColor::palette(2), 5, std::nullopt}}};
    EXPECT_EQ(SpaceMetaDocument::encode(entries).value(),
              QByteArray(R"({"7":{"color":2,"icon":"","name":"Web","seconds":5}})"));
    entries[7].hotkey = Hotkey{KeyCode::space, 6144};
    EXPECT_EQ(SpaceMetaDocument::encode(entries).value(),
              QByteArray(R"({"7":{"color":2,"hotkey":{"keyCode":49,"modifiers":6144},"icon":"","name":"Web","seconds":5}})"));
    EXPECT_EQ(SpaceMetaDocument::encode({}).value(), QByteArray("{}"));
}

TEST_F(SpaceMetaTest, DocumentReadsMissingOrNullHotkeyAsNoneAndIgnoresUnknownMembers)
{
    const auto decoded = SpaceMetaDocument::decode(
        R"({"1":{"name":"A","icon":"sf:globe","color":-1,"seconds":2,"hotkey":null},)"
        R"("2":{"seconds":0,"color":-2,"icon":"","name":"B","tint":"red"},)"
        R"("3":{"name":"C","icon":"","color":4.0,"seconds":1e3,"hotkey":{"keyCode":1,"modifiers":0,"x":1}}})");
    ASSERT_TRUE(decoded) << decoded.error().toStdString();
    const SpaceMetaMap& entries = decoded.value();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.at(1), (SpaceMeta{"A", SpaceIcon::symbol("globe"), TileColor::automatic(), 2, std::nullopt}));
    EXPECT_EQ(entries.at(2), (SpaceMeta{"B", {}, TileColor::transparent(), 0, std::nullopt}));
    EXPECT_EQ(entries.at(3), (SpaceMeta{"C", {}, TileColor::palette(4), 1000, Hotkey{KeyCode::s, 0}}));
    EXPECT_TRUE(SpaceMetaDocument::decode("{}").value().empty());
}

TEST_F(SpaceMetaTest, DocumentFailsAsAWholeOnAnyBadEntryOrName)
{
    const QByteArray good = R"("1":{"name":"A","icon":"","color":0,"seconds":1})";
    const QByteArray invalid[] = {
        "",
        "not json",
        "[]",
        R"("text")",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":0}})",                  // no seconds
        "{" + good + R"(,"2":{"icon":"","color":0,"seconds":1}})",                 // no name
        "{" + good + R"(,"2":{"name":"B","color":0,"seconds":1}})",                // no icon
        "{" + good + R"(,"2":{"name":"B","icon":"","seconds":1}})",                // no colour
        "{" + good + R"(,"2":{"name":3,"icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"2":{"name":"B","icon":null,"color":0,"seconds":1}})",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":1.5,"seconds":1}})",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":"1","seconds":1}})",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":9223372036854775808,"seconds":1}})",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":0,"seconds":"1"}})",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":0,"seconds":1,"hotkey":{"keyCode":1}}})",
        "{" + good + R"(,"2":{"name":"B","icon":"","color":0,"seconds":1,"hotkey":5}})",
        "{" + good + R"(,"2":[]})",
        "{" + good + R"(,"desk":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"+2":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"-":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(," 2":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"2.0":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"9223372036854775808":{"name":"B","icon":"","color":0,"seconds":1}})",
        "{" + good + R"(,"01":{"name":"B","icon":"","color":0,"seconds":1}})",   // same desktop twice
        "{" + good + "," + good + "}",                                              // the same name twice
        R"({"1":{"name":"A","icon":"","color":0,"seconds":1,"name":"B"}})",
        R"({"1":{"name":"A","icon":"","color":0,"seconds":1,"hotkey":{"keyCode":1,"modifiers":0,"keyCode":2}}})",
    };
    for (const QByteArray& data : invalid) {
        const auto decoded = SpaceMetaDocument::decode(data);
        EXPECT_FALSE(decoded) << data.toStdString();
        EXPECT_FALSE(decoded.error().isEmpty()) << data.toStdString();
    }
    const auto extremes = SpaceMetaDocument::decode(
        R"({"-9223372036854775808":{"name":"","icon":"","color":-9223372036854775808,"seconds":-0.5}})");
    ASSERT_TRUE(extremes) << extremes.error().toStdString();
    EXPECT_EQ(extremes.value().begin()->first, std::numeric_limits<qint64>::min());
}

TEST_F(SpaceMetaTest, EncodingRefusesTimeThatJsonCannotHold)
{
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        const SpaceMetaMap entries{{1, sample()}, {2, SpaceMeta{"x", {}, {}, bad, std::nullopt}}};
        const auto encoded = SpaceMetaDocument::encode(entries);
        EXPECT_FALSE(encoded);
        EXPECT_TRUE(encoded.error().contains(QStringLiteral("space 2"))) << encoded.error().toStdString();
    }
}

// --- document text ---

TEST_F(SpaceMetaTest, DocumentTextIsWhatAJsonObjectOfTheEntriesWrites)
{
    SpaceMetaMap entries;
    const qint64 ids[] = {1, 2, 10, 11, 100, -1, -10, -2, 9, 99, std::numeric_limits<qint64>::min(),
                          std::numeric_limits<qint64>::max(), 0, 123456789};
    int n = 0;
    for (const qint64 id : ids) {
        SpaceMeta meta = sample();
        meta.name = QStringLiteral("Desk \u00e9 %1 \"q\"").arg(n);
        meta.seconds = n * 0.1;
        if (n % 2)
            meta.hotkey.reset();
        entries[id] = meta;
        ++n;
    }
    QJsonObject object;
    for (const auto& [id, meta] : entries)
        object.insert(QString::number(id), meta.toJson());
    EXPECT_EQ(SpaceMetaDocument::encode(entries).value(), QJsonDocument(object).toJson(QJsonDocument::Compact));
}
