#include "store/Format.h"
#include "store/SpaceMetaDocument.h"

#include "support/PlatformTest.h"
#include "support/Literals.h"

#include <QLocale>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Switches the C library and Qt to German number formatting for one scope.
class GermanLocale {
public:
    GermanLocale()
        : savedC_(std::setlocale(LC_ALL, nullptr))
    {
        // Only C and C.UTF-8 may be installed; Qt's default locale still
        // exercises the decimal comma then.
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ~GermanLocale()
    {
        std::setlocale(LC_ALL, savedC_.c_str());
        QLocale::setDefault(savedQt_);
    }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

private:
    std::string savedC_;
    QLocale savedQt_;
};

} // namespace

class FormatTest : public PlatformTest {};

TEST_F(FormatTest, DurationDropsSecondsOnceAMinuteIsReached)
{
    EXPECT_EQ(Format::duration(0), QStringLiteral("0s"));
    EXPECT_EQ(Format::duration(59.9), QStringLiteral("59s"));
    EXPECT_EQ(Format::duration(60), QStringLiteral("1m"));
    EXPECT_EQ(Format::duration(3599), QStringLiteral("59m"));
    EXPECT_EQ(Format::duration(3600), QStringLiteral("1h 0m"));
    EXPECT_EQ(Format::duration(3725), QStringLiteral("1h 2m"));
    EXPECT_EQ(Format::duration(7200), QStringLiteral("2h 0m"));
    EXPECT_EQ(Format::duration(25 * 3600 + 61), QStringLiteral("25h 1m"));
}

TEST_F(FormatTest, DurationOfImpossibleValuesStaysSane)
{
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Format::duration(-5), QStringLiteral("0s"));
    EXPECT_EQ(Format::duration(-0.0), QStringLiteral("0s"));
    EXPECT_EQ(Format::duration(std::nan("")), QStringLiteral("0s"));
    EXPECT_EQ(Format::duration(-infinity), QStringLiteral("0s"));
    EXPECT_EQ(Format::duration(infinity), QStringLiteral("0s"));
    // Finite but past the 64-bit range: its end, 9223372036854775807 s.
    EXPECT_EQ(Format::duration(1e300), QStringLiteral("2562047788015215h 30m"));
    EXPECT_EQ(Format::duration(9.2e18), QStringLiteral("2555555555555555h 33m"));
}

TEST_F(FormatTest, NumbersIgnoreTheUsersLocale)
{
    GermanLocale german;
    EXPECT_EQ(QLocale().toString(1.5), QStringLiteral("1,5")); // the locale is really German
    EXPECT_EQ(Format::duration(1234567.8), QStringLiteral("342h 56m"));
    const SpaceMetaMap entries{{1000, SpaceMeta{"x", {}, {}, 1234.5, std::nullopt}}};
    const auto encoded = SpaceMetaDocument::encode(entries);
    ASSERT_TRUE(encoded);
    EXPECT_TRUE(encoded.value().contains(R"("seconds":1234.5)")) << encoded.value().toStdString();
    EXPECT_TRUE(encoded.value().contains(R"("1000":)"));
    EXPECT_EQ(SpaceMetaDocument::decode(encoded.value()).value(), entries);
}

TEST_F(FormatTest, EmojiFilterKeepsWholeEmojiCharactersOnly)
{
    EXPECT_EQ(emojiOnly("Work 42 #*"), QString());
    EXPECT_EQ(emojiOnly(""), QString());
    const QString flag = u(u"\U0001F1EF\U0001F1F5");
    EXPECT_EQ(emojiOnly(flag + "abc"), flag);
    const QString family = u(u"\U0001F468\u200D\U0001F469\u200D\U0001F466");
    EXPECT_EQ(emojiOnly("a" + family + "b"), family);
    const QString thumbsUpDark = u(u"\U0001F44D\U0001F3FF");
    EXPECT_EQ(emojiOnly(thumbsUpDark + "!"), thumbsUpDark);
    const QString keycapOne = u(u"1\uFE0F\u20E3"); // digit scalar below U+238C, no emoji presentation
    EXPECT_EQ(emojiOnly(keycapOne), QString());
    EXPECT_EQ(emojiOnly(u(u"\u00A9\u2122")), QString());   // emoji-capable, but below U+238C
    EXPECT_EQ(emojiOnly(u(u"x\u2B50y\u2600")), u(u"\u2B50\u2600")); // presentation, and text-style above U+238C
}

TEST_F(FormatTest, SystemVersionIsTheRunningMajorVersion)
{
    EXPECT_EQ(systemVersion(), 14);
}

TEST(TrimmedBlanks, TrimsSpaceSeparatorsAndTabsButKeepsLineBreaks)
{
    EXPECT_EQ(trimmedBlanks(QStringLiteral("\t\u00A0 Work\u2003 ")).toString(), QStringLiteral("Work"));
    EXPECT_EQ(trimmedBlanks(QStringLiteral(" Work\n")).toString(), QStringLiteral("Work\n"));
    EXPECT_TRUE(trimmedBlanks(QStringLiteral(" \t ")).isEmpty());
}
