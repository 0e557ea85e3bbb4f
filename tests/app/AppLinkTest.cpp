#include "app/AppLink.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

std::optional<AppLink> parse(const char* text)
{
    return AppLink::fromURL(QUrl(QString::fromUtf8(text)));
}

// --- parsing links ----------------------------------------------------------------

TEST(AppLinkTest, SchemeAndHostAreCaseInsensitiveThePathIsNot)
{
    EXPECT_EQ(parse("TESSAROOM://SWITCH/2"), AppLink::number(2));
    EXPECT_EQ(parse("tessaroom://Switch/Mail"), AppLink::named(QStringLiteral("Mail")));
    EXPECT_EQ(parse("tessaroom://settings/SHORTCUTS"), AppLink::settingsPage(QStringLiteral("SHORTCUTS")));
}

TEST(AppLinkTest, TheEarlierSchemeIsReadButNeverBuilt)
{
    const auto link = parse("quorvelin://switch/2");
    ASSERT_TRUE(link);
    EXPECT_EQ(*link, AppLink::number(2));
    EXPECT_EQ(link->url().toString(), QStringLiteral("tessaroom://switch/2"));
    EXPECT_FALSE(parse("https://switch/2"));
    EXPECT_FALSE(parse("switch/2"));
}

TEST(AppLinkTest, NumbersAreWholeDecimalIntegersWithinSixtyFourBits)
{
    EXPECT_EQ(parse("tessaroom://switch/+2"), AppLink::number(2));
    EXPECT_EQ(parse("tessaroom://switch/-1"), AppLink::number(-1));
    EXPECT_EQ(parse("tessaroom://switch/007"), AppLink::number(7));
    EXPECT_EQ(parse("tessaroom://switch/99999999999999999999"), AppLink::named(QStringLiteral("99999999999999999999")));
    EXPECT_EQ(parse("tessaroom://switch/9223372036854775807"), AppLink::number(9223372036854775807LL));
    EXPECT_EQ(parse("tessaroom://switch/2.0"), AppLink::named(QStringLiteral("2.0")));
    EXPECT_EQ(parse("tessaroom://switch/+"), AppLink::named(QStringLiteral("+")));
    EXPECT_EQ(parse("tessaroom://switch/%EF%BC%92"), AppLink::named(QStringLiteral("\uFF12"))); // a full-width digit
}

TEST(AppLinkTest, LeadingZerosDoNotTakeANumberOutOfRange)
{
    const qint64 smallest = std::numeric_limits<qint64>::min();
    EXPECT_EQ(parse("tessaroom://switch/-9223372036854775808"), AppLink::number(smallest));
    EXPECT_EQ(parse("tessaroom://switch/-09223372036854775808"), AppLink::number(smallest));
    EXPECT_EQ(parse("tessaroom://switch/+0009223372036854775807"), AppLink::number(9223372036854775807LL));
    EXPECT_EQ(AppLink::fromArgument(QStringLiteral("-0009223372036854775808")), AppLink::number(smallest));
    // Only values out of range become names.
    EXPECT_EQ(parse("tessaroom://switch/-09223372036854775809"), AppLink::named(QStringLiteral("-09223372036854775809")));
    EXPECT_EQ(parse("tessaroom://switch/09223372036854775808"), AppLink::named(QStringLiteral("09223372036854775808")));
    EXPECT_EQ(parse("tessaroom://switch/-0"), AppLink::number(0));
    EXPECT_EQ(parse("tessaroom://switch/+-1"), AppLink::named(QStringLiteral("+-1")));
}

TEST(AppLinkTest, PathsAreDecodedAndJoined)
{
    EXPECT_EQ(parse("tessaroom://switch/My%20Desk"), AppLink::named(QStringLiteral("My Desk")));
    EXPECT_EQ(parse("tessaroom://switch/a/b"), AppLink::named(QStringLiteral("a/b")));
    // Empty parts go; an escaped "/" is part of the name.
    EXPECT_EQ(parse("tessaroom://switch//a//b/"), AppLink::named(QStringLiteral("a/b")));
    EXPECT_EQ(parse("tessaroom://switch/Mail%2F%2FWork"), AppLink::named(QStringLiteral("Mail//Work")));
    // Every code point arrives, a U+FEFF at the start of a part too.
    EXPECT_EQ(parse("tessaroom://switch/%EF%BB%BFzz/%EF%BB%BFqq"), AppLink::named(QStringLiteral("\uFEFFzz/\uFEFFqq")));
    EXPECT_EQ(parse("tessaroom://next/"), AppLink::keyword(AppLink::Kind::next));
}

TEST(AppLinkTest, LinksThatAreNotUnderstood)
{
    EXPECT_FALSE(parse("tessaroom://switch/"));
    EXPECT_FALSE(parse("tessaroom://switch"));
    EXPECT_FALSE(parse("tessaroom://next/extra"));
    EXPECT_FALSE(parse("tessaroom://previous"));
    EXPECT_FALSE(parse("tessaroom://nowhere"));
    EXPECT_FALSE(parse("tessaroom:switch/2"));
    EXPECT_FALSE(parse(""));
}

TEST(AppLinkTest, NamesAndPagesOverAThousandCharactersAreNotUnderstoodAndEveryShorterOneReadsBack)
{
    const QString prefix = QStringLiteral("tessaroom://switch/");
    // The limit is the name's, decoded: every link url() writes within it
    // reads back, however many characters its escapes take.
    const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80");
    for (const QString& name : {QString(AppLink::maxTextLength, QLatin1Char('n')), grin.repeated(AppLink::maxTextLength),
                                QString(AppLink::maxTextLength, QLatin1Char('%')),
                                QString(AppLink::maxTextLength / 2, QChar(0x20ac)) + QString(250, QLatin1Char(' '))
                                    + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(125)}) {
        EXPECT_EQ(AppLink::fromURL(AppLink::named(name).url()), AppLink::named(name)) << name.size();
        EXPECT_EQ(AppLink::fromURL(AppLink::settingsPage(name).url()), AppLink::settingsPage(name));
    }
    const QString name(AppLink::maxTextLength, QLatin1Char('n'));
    EXPECT_FALSE(AppLink::fromURL(AppLink::named(name + QLatin1Char('n')).url()));
    EXPECT_FALSE(AppLink::fromURL(AppLink::named(grin.repeated(AppLink::maxTextLength + 1)).url()));
    EXPECT_FALSE(AppLink::fromURL(QUrl(prefix + name + QStringLiteral("%25"))));
    EXPECT_FALSE(AppLink::fromURL(QUrl(QStringLiteral("tessaroom://settings/") + name + QLatin1Char('p'))));
    // Measured in characters, not in the bytes of their escapes.
    const QString wide(300, QChar(0x00e9));
    EXPECT_EQ(AppLink::fromURL(QUrl(prefix + wide)), AppLink::named(wide));
}

TEST(AppLinkTest, EscapedBytesThatAreNotUTF8AreNotUnderstood)
{
    EXPECT_FALSE(parse("tessaroom://switch/Mail%FF"));
    EXPECT_FALSE(parse("tessaroom://switch/4%F0%9F"));
    EXPECT_FALSE(parse("tessaroom://settings/%C0%80"));
    EXPECT_EQ(parse("tessaroom://switch/%C3%A9t%C3%A9"), AppLink::named(QStringLiteral("\u00e9t\u00e9")));
    EXPECT_EQ(parse("tessaroom://switch/a%2Fb"), AppLink::named(QStringLiteral("a/b")));
}

TEST(AppLinkTest, KeywordHosts)
{
    EXPECT_EQ(AppLink::keywords().size(), 8);
    EXPECT_EQ(parse("tessaroom://prev"), AppLink::keyword(AppLink::Kind::previous));
    EXPECT_EQ(parse("tessaroom://back"), AppLink::keyword(AppLink::Kind::back));
    EXPECT_EQ(parse("tessaroom://switcher"), AppLink::keyword(AppLink::Kind::switcher));
    EXPECT_EQ(parse("tessaroom://popover"), AppLink::keyword(AppLink::Kind::popover));
    EXPECT_EQ(parse("tessaroom://hover"), AppLink::keyword(AppLink::Kind::hover));
    EXPECT_EQ(parse("tessaroom://presentation"), AppLink::keyword(AppLink::Kind::presentation));
    EXPECT_EQ(parse("tessaroom://settings"), AppLink::keyword(AppLink::Kind::settings));
}

// --- building links ------------------------------------------------------------------

TEST(AppLinkTest, BuiltLinks)
{
    EXPECT_EQ(AppLink::keyword(AppLink::Kind::previous).url().toString(), QStringLiteral("tessaroom://prev"));
    EXPECT_EQ(AppLink::named(QStringLiteral("My Desk")).url().toString(QUrl::FullyEncoded),
              QStringLiteral("tessaroom://switch/My%20Desk"));
    EXPECT_EQ(AppLink::number(-3).url().toString(), QStringLiteral("tessaroom://switch/-3"));
    EXPECT_EQ(AppLink::settingsPage(QStringLiteral("general")).url().toString(),
              QStringLiteral("tessaroom://settings/general"));
}

TEST(AppLinkTest, EveryLinkSurvivesItsOwnUrl)
{
    const QList<AppLink> links{
        AppLink::number(4),
        AppLink::number(-1),
        AppLink::named(QStringLiteral("Caf\u00E9 & Bar?#1")),
        AppLink::named(QStringLiteral("100%")),
        AppLink::named(QStringLiteral("/Mail//Work/")),
        AppLink::settingsPage(QStringLiteral("a//b")),
        AppLink::settingsPage(QStringLiteral("timeTracking")),
        AppLink::keyword(AppLink::Kind::back),
        AppLink::keyword(AppLink::Kind::next),
        AppLink::keyword(AppLink::Kind::previous),
        AppLink::keyword(AppLink::Kind::switcher),
        AppLink::keyword(AppLink::Kind::popover),
        AppLink::keyword(AppLink::Kind::hover),
        AppLink::keyword(AppLink::Kind::presentation),
        AppLink::keyword(AppLink::Kind::settings),
    };
    for (const AppLink& link : links) {
        const QString text = link.url().toString(QUrl::FullyEncoded);
        EXPECT_EQ(AppLink::fromURL(QUrl(text, QUrl::StrictMode)), link) << text.toStdString();
    }
}

// --- arguments ---------------------------------------------------------------------------

TEST(AppLinkTest, ArgumentsAreNumbersOrNames)
{
    EXPECT_EQ(AppLink::fromArgument(QStringLiteral("3")), AppLink::number(3));
    EXPECT_EQ(AppLink::fromArgument(QStringLiteral("-2")), AppLink::number(-2));
    EXPECT_EQ(AppLink::fromArgument(QStringLiteral("Mail")), AppLink::named(QStringLiteral("Mail")));
    EXPECT_EQ(AppLink::fromArgument(QString()), AppLink::named(QString()));
    EXPECT_EQ(AppLink::fromArgument(QStringLiteral(" 3")), AppLink::named(QStringLiteral(" 3")));
}

} // namespace
