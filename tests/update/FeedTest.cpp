#include "UpdateTest.h"

#include "support/MakerFeed.h"
#include "update/AppVersion.h"

#include <QJsonArray>
#include <QLocale>

namespace {

const UpdateFeed::Policy makerPolicy{.host = QStringLiteral("updates.tessaroom.app"), .https = true};

QJsonObject goodFeed()
{
    QJsonObject feed = makerFeed(QStringLiteral("1.3"), 1234567, QString(64, QLatin1Char('a')));
    feed[QStringLiteral("notes")] = QStringLiteral("https://updates.tessaroom.app/notes/1.3");
    return feed;
}

std::optional<UpdateFeed> parseWith(const QString& key, const QJsonValue& value,
                                    const UpdateFeed::Policy& policy = makerPolicy)
{
    QJsonObject object = goodFeed();
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return UpdateFeed::parse(UpdateTest::json(object), policy);
}

AppVersion version(const char* text)
{
    return *AppVersion::parse(QString::fromLatin1(text));
}

UpdateFeed feedOf(const QString& versionText, const QString& minOS = QStringLiteral("14.0"))
{
    UpdateFeed feed = *UpdateFeed::parse(UpdateTest::json(goodFeed()), makerPolicy);
    feed.version = versionText;
    feed.minOS = minOS;
    return feed;
}

const platform::SystemInfo::OperatingSystemVersion sonoma{14, 6, 1};

} // namespace

// --- reading the feed ---

TEST(FeedTest, ReadsEveryMemberOfAGoodFeed)
{
    const auto feed = UpdateFeed::parse(UpdateTest::json(goodFeed()), makerPolicy);
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->version, QStringLiteral("1.3"));
    EXPECT_EQ(feed->released, QStringLiteral("2026-03-07"));
    EXPECT_EQ(feed->dmg, QUrl(QStringLiteral("https://updates.tessaroom.app/Tessaroom-1.3.dmg")));
    EXPECT_EQ(feed->size, 1234567);
    EXPECT_EQ(feed->sha256, QString(64, QLatin1Char('a')));
    EXPECT_EQ(feed->notes, QUrl(QStringLiteral("https://updates.tessaroom.app/notes/1.3")));
    EXPECT_EQ(feed->minOS, QStringLiteral("14.0"));
}

TEST(FeedTest, EveryMemberIsRequiredAndOfItsType)
{
    const QStringList keys{QStringLiteral("version"), QStringLiteral("released"), QStringLiteral("dmg"),
                           QStringLiteral("size"), QStringLiteral("sha256"), QStringLiteral("notes"),
                           QStringLiteral("minOS")};
    for (const QString& key : keys) {
        EXPECT_FALSE(parseWith(key, QJsonValue(QJsonValue::Undefined))) << "missing " << key.toStdString();
        EXPECT_FALSE(parseWith(key, QJsonValue(QJsonValue::Null))) << "null " << key.toStdString();
        EXPECT_FALSE(parseWith(key, QJsonArray{})) << "array " << key.toStdString();
        EXPECT_FALSE(parseWith(key, true)) << "boolean " << key.toStdString();
        if (key != QLatin1String("size")) {
            EXPECT_FALSE(parseWith(key, 12)) << "number " << key.toStdString();
        }
    }
    EXPECT_FALSE(parseWith(QStringLiteral("size"), QStringLiteral("12")));
}

TEST(FeedTest, MalformedOrOversizedDocumentsDoNotRead)
{
    EXPECT_FALSE(UpdateFeed::parse("{\"version\": \"1.3\",", makerPolicy));
    EXPECT_FALSE(UpdateFeed::parse("[1, 2]", makerPolicy));
    EXPECT_FALSE(UpdateFeed::parse("", makerPolicy));
    QJsonObject padded = goodFeed();
    padded.insert(QStringLiteral("padding"), QString(UpdateFeed::maximumDocumentBytes, QLatin1Char('x')));
    EXPECT_FALSE(UpdateFeed::parse(UpdateTest::json(padded), makerPolicy));
    QJsonObject extra = goodFeed();
    extra.insert(QStringLiteral("channel"), QStringLiteral("beta"));
    EXPECT_TRUE(UpdateFeed::parse(UpdateTest::json(extra), makerPolicy));
}

TEST(FeedTest, DigestIsLowerCasedAndMustBeSixtyFourHexDigits)
{
    const auto upper = parseWith(QStringLiteral("sha256"), QString(64, QLatin1Char('A')));
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->sha256, QString(64, QLatin1Char('a')));
    EXPECT_FALSE(parseWith(QStringLiteral("sha256"), QString(63, QLatin1Char('a'))));
    EXPECT_FALSE(parseWith(QStringLiteral("sha256"), QString(65, QLatin1Char('a'))));
    EXPECT_FALSE(parseWith(QStringLiteral("sha256"), QString(63, QLatin1Char('a')) + QLatin1Char('g')));
    // Full-width digits count as characters and as hexadecimal digits.
    EXPECT_TRUE(parseWith(QStringLiteral("sha256"), QString(64, QChar(0xFF11))));
}

TEST(FeedTest, SizeMustBeAWholeNumberOfAtLeastOne)
{
    EXPECT_FALSE(parseWith(QStringLiteral("size"), 0));
    EXPECT_FALSE(parseWith(QStringLiteral("size"), -5));
    EXPECT_FALSE(parseWith(QStringLiteral("size"), 10.5));
    EXPECT_FALSE(parseWith(QStringLiteral("size"), 1e300));
    EXPECT_EQ(parseWith(QStringLiteral("size"), 1)->size, 1);
}

TEST(FeedTest, VersionsMustBeDotted)
{
    EXPECT_FALSE(parseWith(QStringLiteral("minOS"), QStringLiteral("14.x")));
    EXPECT_FALSE(parseWith(QStringLiteral("version"), QStringLiteral("1..2")));
    EXPECT_FALSE(parseWith(QStringLiteral("version"), QStringLiteral("1.2.")));
    EXPECT_FALSE(parseWith(QStringLiteral("version"), QString(10000, QLatin1Char('9'))));
    EXPECT_EQ(parseWith(QStringLiteral("version"), QStringLiteral("01.3"))->version, QStringLiteral("01.3"));
}

TEST(FeedTest, HexDigitCheckCountsCharacters)
{
    EXPECT_FALSE(UpdateFeed::hasNonHexDigit(QString()));
    EXPECT_FALSE(UpdateFeed::hasNonHexDigit(QStringLiteral("0123456789abcdefABCDEF")));
    EXPECT_FALSE(UpdateFeed::hasNonHexDigit(QString(QChar(0xFF41)) + QChar(0xFF26) + QChar(0xFF19)));
    EXPECT_TRUE(UpdateFeed::hasNonHexDigit(QStringLiteral("12g4")));
    EXPECT_TRUE(UpdateFeed::hasNonHexDigit(QStringLiteral("12 4")));
    EXPECT_TRUE(UpdateFeed::hasNonHexDigit(QString(QChar(0xFF47))));
}

// --- where a feed may send the user ---

TEST(FeedTest, LinksMustStayOnTheFeedHostOverHttps)
{
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("https://elsewhere.example/Tessaroom-1.3.dmg")));
    EXPECT_FALSE(parseWith(QStringLiteral("notes"), QStringLiteral("https://elsewhere.example/notes")));
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("http://updates.tessaroom.app/Tessaroom-1.3.dmg")));
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("ftp://updates.tessaroom.app/x.dmg")));
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("//updates.tessaroom.app/x.dmg")));
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("https://updates.tessaroom.app.evil.example/x")));
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("https://updates.tessaroom.app@evil.example/x")));
    // Hosts are compared as written, case and all.
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("https://Updates.Tessaroom.app/x.dmg")));
    EXPECT_FALSE(parseWith(QStringLiteral("dmg"), QStringLiteral("HTTPS://updates.tessaroom.app/x.dmg")));
    EXPECT_TRUE(parseWith(QStringLiteral("dmg"), QStringLiteral("https://updates.tessaroom.app:8443/x.dmg")));
}

TEST(FeedTest, PlainHttpIsAllowedOnlyUnderAPlainPolicy)
{
    const auto plain = UpdateFeed::Policy::forFeed(QStringLiteral("http://127.0.0.1:8080/update.json"));
    EXPECT_EQ(plain, (UpdateFeed::Policy{.host = QStringLiteral("127.0.0.1"), .https = false}));
    EXPECT_TRUE(plain.allows(QStringLiteral("http://127.0.0.1:9/a.dmg")));
    EXPECT_TRUE(plain.allows(QStringLiteral("https://127.0.0.1/a.dmg")));
    EXPECT_FALSE(plain.allows(QStringLiteral("http://localhost/a.dmg")));
    const auto secure = UpdateFeed::Policy::forFeed(QStringLiteral("https://127.0.0.1:8443/update.json"));
    EXPECT_TRUE(secure.https);
    EXPECT_FALSE(secure.allows(QStringLiteral("http://127.0.0.1:8443/a.dmg")));
    EXPECT_EQ(UpdateFeed::Policy::forFeed(QStringLiteral("nothing")).host, QString());
}

// --- versions ---

TEST(FeedTest, VersionsReadOnlyWhenEveryPieceIsANonNegativeNumber)
{
    EXPECT_EQ(version("01.2").text(), QStringLiteral("1.2"));
    EXPECT_EQ(version("+3.4").text(), QStringLiteral("3.4"));
    EXPECT_EQ(version("0").text(), QStringLiteral("0"));
    for (const char* bad : {"", ".", "1.", ".1", "1..2", "-1", "1.-2", "1.0b2", "1 .2", "++1", "9223372036854775808"})
        EXPECT_FALSE(AppVersion::parse(QString::fromLatin1(bad))) << bad;
    EXPECT_TRUE(AppVersion::parse(QStringLiteral("9223372036854775807")));
    EXPECT_FALSE(AppVersion::parse(QString(10000, QLatin1Char('1'))));
}

TEST(FeedTest, APieceTakesOneSignAtMost)
{
    for (const char* bad : {"+-0", "-+0", "+-1", "--0", "1.+-0", "+", "-"})
        EXPECT_FALSE(AppVersion::parse(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(version("-0.+0").text(), QStringLiteral("0.0"));
}

TEST(FeedTest, VersionsCompareByNumberWithMissingPartsAsZero)
{
    EXPECT_EQ(version("1.2"), version("1.2.0"));
    EXPECT_LT(version("1.9"), version("1.10"));
    EXPECT_LT(version("1.2"), version("1.2.1"));
    EXPECT_GT(version("2"), version("1.99.99"));
    EXPECT_FALSE(version("1.2.0") < version("1.2"));
}

TEST(FeedTest, ReleaseDateIsWrittenInTheUsersLanguage)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    UpdateFeed feed = feedOf(QStringLiteral("1.3"));
    EXPECT_EQ(feed.releasedText(), QStringLiteral("7 March 2026"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(feed.releasedText(), QStringLiteral("7 M") + QChar(0x00E4) + QStringLiteral("rz 2026"));
    feed.released = QStringLiteral("March 7");
    EXPECT_EQ(feed.releasedText(), QStringLiteral("March 7"));
    feed.released = QStringLiteral("2026-13-40");
    EXPECT_EQ(feed.releasedText(), QStringLiteral("2026-13-40"));
    QLocale::setDefault(saved);
}

// --- the offer ---

TEST(FeedTest, OffersOnlyANewerVersionTheSystemCanRun)
{
    EXPECT_TRUE(Updates::shouldOffer(feedOf(QStringLiteral("1.3")), QStringLiteral("1.2"), {}, sonoma));
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.2.0")), QStringLiteral("1.2"), {}, sonoma));
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.1")), QStringLiteral("1.2"), {}, sonoma));
    EXPECT_TRUE(Updates::shouldOffer(feedOf(QStringLiteral("1.3"), QStringLiteral("14.6.1")), QStringLiteral("1.2"), {}, sonoma));
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.3"), QStringLiteral("15")), QStringLiteral("1.2"), {}, sonoma));
}

TEST(FeedTest, SkippedVersionIsComparedAsText)
{
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.3")), QStringLiteral("1.2"), QStringLiteral("1.3"), sonoma));
    EXPECT_TRUE(Updates::shouldOffer(feedOf(QStringLiteral("1.3.0")), QStringLiteral("1.2"), QStringLiteral("1.3"), sonoma));
}

TEST(FeedTest, UnreadableVersionsOfferNothing)
{
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.3")), QStringLiteral("1.0b2"), {}, sonoma));
    EXPECT_TRUE(Updates::shouldOffer(feedOf(QStringLiteral("1.3")), QStringLiteral("0"), {}, sonoma));
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.x")), QStringLiteral("1.2"), {}, sonoma));
    EXPECT_FALSE(Updates::shouldOffer(feedOf(QStringLiteral("1.3"), QStringLiteral("fourteen")), QStringLiteral("1.2"), {}, sonoma));
}
