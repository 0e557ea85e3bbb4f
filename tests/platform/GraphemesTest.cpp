#include "platform/Graphemes.h"

#include "support/Literals.h"
#include "support/PlatformTest.h"

namespace Graphemes = platform::Graphemes;

class GraphemesTest : public PlatformTest {};

TEST_F(GraphemesTest, ClustersHoldFlagsJoinedEmojiAndCombiningMarks)
{
    const QString flag = u(u"\U0001F1E8\U0001F1ED");
    const QString family = u(u"\U0001F469\u200D\U0001F469\u200D\U0001F467");
    const QString accented = u(u"e\u0301");
    const QString text = flag + "a" + family + accented + "\r\n";
    EXPECT_EQ(Graphemes::split(text), (QStringList{flag, "a", family, accented, "\r\n"}));
    EXPECT_EQ(Graphemes::count(text), 5);
    EXPECT_EQ(Graphemes::first(text, 2), flag + "a");
    EXPECT_EQ(Graphemes::last(text, 2), accented + "\r\n");
    EXPECT_EQ(Graphemes::boundaries(flag + "a"), (QList<qsizetype>{0, 4, 5}));
    EXPECT_TRUE(Graphemes::isBoundary(text, 4));
    EXPECT_FALSE(Graphemes::isBoundary(text, 2));  // inside the flag
    EXPECT_TRUE(Graphemes::isBoundary(text, text.size()));
    EXPECT_FALSE(Graphemes::isBoundary(text, text.size() + 1));
}

TEST_F(GraphemesTest, CountsBeyondTheTextGiveTheWholeTextOrNothing)
{
    EXPECT_EQ(Graphemes::split(""), QStringList());
    EXPECT_EQ(Graphemes::count(""), 0);
    EXPECT_EQ(Graphemes::boundaries(QString()), (QList<qsizetype>{0}));
    EXPECT_EQ(Graphemes::first("abc", 0), QString());
    EXPECT_EQ(Graphemes::first("abc", -1), QString());
    EXPECT_EQ(Graphemes::first("abc", 9), QStringLiteral("abc"));
    EXPECT_EQ(Graphemes::last("abc", 9), QStringLiteral("abc"));
    EXPECT_EQ(Graphemes::last("abc", 0), QString());
    // Four regional indicators are two flags, never a flag split in half.
    const QString flags = u(u"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7");
    EXPECT_EQ(Graphemes::last(flags, 1), u(u"\U0001F1EB\U0001F1F7"));
}
