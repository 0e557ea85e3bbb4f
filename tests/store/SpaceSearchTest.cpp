#include "store/SpaceSearch.h"

#include "support/PlatformTest.h"
#include "support/Literals.h"

using namespace SpaceSearch;

namespace {

std::optional<int> scoreOf(const QString& query, const QString& name, qint64 number = 1,
                           const QStringList& apps = {})
{
    return score(normalize(query), name, number, apps);
}

} // namespace

class SpaceSearchTest : public PlatformTest {};

TEST_F(SpaceSearchTest, NameRulesRankExactPrefixWordAndSubstring)
{
    const QString name = QStringLiteral("Mail & Chat");
    EXPECT_EQ(scoreOf("mail & chat", name), Score::exact);
    EXPECT_EQ(scoreOf("MAIL", name), Score::prefix);
    EXPECT_EQ(scoreOf("chat", name), Score::wordPrefix);
    EXPECT_EQ(scoreOf("&", name), Score::wordPrefix);
    EXPECT_EQ(scoreOf("il & c", name), Score::contains);
    EXPECT_EQ(scoreOf("hat", name), Score::contains);
    // A word prefix must lie within one word.
    EXPECT_EQ(scoreOf("& chat", name), Score::contains);
}

TEST_F(SpaceSearchTest, NumberAppAndFuzzyRulesFollowTheNameRules)
{
    EXPECT_EQ(scoreOf("3", "Design", 3), Score::number);
    EXPECT_EQ(scoreOf("desktop 3", "Design", 3), Score::number);
    EXPECT_EQ(scoreOf("desk", "Design", 12), Score::number);
    EXPECT_EQ(scoreOf("desktop 1", "Design", 12), Score::number);
    EXPECT_EQ(scoreOf("desktop 4", "Design", 3), std::nullopt);
    EXPECT_EQ(scoreOf("1", "Design", 12), std::nullopt); // the number must equal the query
    EXPECT_EQ(scoreOf("dsgn 4", "Design", 3), std::nullopt);
    const QStringList apps{"Safari", "Xcode"};
    EXPECT_EQ(scoreOf("xc", "Design", 3, apps), Score::app);
    EXPECT_EQ(scoreOf("dgn", "Design", 3, apps), Score::fuzzy);
    EXPECT_EQ(scoreOf("zz", "Design", 3, apps), std::nullopt);
    EXPECT_EQ(scoreOf("ngd", "Design", 3, apps), std::nullopt); // order matters
    EXPECT_EQ(scoreOf("dd", "Design", 3, apps), std::nullopt);  // each name character used once
}

TEST_F(SpaceSearchTest, EmptyPiecesOfTheNameAreNotWords)
{
    EXPECT_EQ(scoreOf("work", "  Work"), Score::wordPrefix);
    EXPECT_EQ(scoreOf("", "  Work"), Score::prefix);
    EXPECT_EQ(scoreOf("", ""), Score::exact);
    EXPECT_EQ(scoreOf("b", "a  b "), Score::wordPrefix);
    // Only blanks separate words; a tab does not.
    EXPECT_EQ(scoreOf("b", "a\tb"), Score::contains);
}

TEST_F(SpaceSearchTest, NormalizeTrimsBlanksButKeepsLineBreaks)
{
    EXPECT_EQ(normalize("  Work\t"), QStringLiteral("work"));
    EXPECT_EQ(normalize(u(u"\u00A0Work\u3000")), QStringLiteral("work"));
    EXPECT_EQ(normalize(" Work\n"), QStringLiteral("work\n"));
    EXPECT_EQ(normalize(" \t "), QString());
    EXPECT_EQ(normalize(u(u"STRASSE \u0130")), u(u"strasse i\u0307")); // full lowercasing
}

TEST_F(SpaceSearchTest, FirstPrefixMatchFindsTheEarliestLowercasedPrefix)
{
    EXPECT_EQ(firstPrefixMatch("sa", {"Xcode", "Safari", "Sal"}), 1);
    EXPECT_EQ(firstPrefixMatch("sa", {}), std::nullopt);
    EXPECT_EQ(firstPrefixMatch("sa", {"Xcode"}), std::nullopt);
    EXPECT_EQ(firstPrefixMatch("", {"Xcode"}), 0);
    EXPECT_EQ(firstPrefixMatch(u(u"\u00E9t"), {"Etoile", u(u"\u00C9t\u00E9")}), 1);
    // Characters, not code units: the accent belongs to the e.
    EXPECT_EQ(firstPrefixMatch("e", {u(u"E\u0301cole")}), std::nullopt);
}

TEST_F(SpaceSearchTest, ComparisonsAreByWholeCharacters)
{
    const QString germany = u(u"\U0001F1E9\U0001F1EA");
    const QString france = u(u"\U0001F1EB\U0001F1F7");
    const QString italy = u(u"\U0001F1EE\U0001F1F9");
    // The middle two indicators spell no flag of the name.
    const QString middle = u(u"\U0001F1EA\U0001F1EB");
    EXPECT_EQ(scoreOf(france, germany + france), Score::contains);
    EXPECT_EQ(scoreOf(middle, germany + france), std::nullopt);
    EXPECT_EQ(scoreOf(germany + italy, germany + france + italy), Score::fuzzy);
    // A letter is not a prefix of the same letter with a mark on it.
    EXPECT_EQ(scoreOf("cafe", u(u"Cafe\u0301")), std::nullopt);
    EXPECT_EQ(scoreOf("caf", u(u"Cafe\u0301")), Score::prefix);
}

TEST_F(SpaceSearchTest, LowercasingIsFullUnicodeAndComposed)
{
    EXPECT_EQ(scoreOf(u(u"\u00C9COLE"), u(u"E\u0301cole")), Score::exact);
    EXPECT_EQ(scoreOf(u(u"\u00FCber"), u(u"\u00DCber Alles")), Score::prefix);
    EXPECT_EQ(scoreOf(u(u"\u03BF\u03B4\u03BF\u03C2"), u(u"\u039F\u0394\u039F\u03A3")), Score::exact); // final sigma
    // No folding beyond case: ß is not ss, é is not e.
    EXPECT_EQ(scoreOf("strasse", u(u"Stra\u00DFe")), std::nullopt);
    EXPECT_EQ(scoreOf("ecole", u(u"\u00C9cole")), std::nullopt);
}

TEST_F(SpaceSearchTest, CharacterRulesHoldForEveryKindOfText)
{
    // CR LF is one character even in plain ASCII.
    EXPECT_EQ(scoreOf("a", "A\r\nB"), Score::prefix);
    EXPECT_EQ(score("a\r", "A\r\nB", 1, {}), std::nullopt);
    EXPECT_EQ(score("\r", "A\r\nB", 1, {}), std::nullopt);
    EXPECT_EQ(score("a\r\nb", "A\r\nB", 1, {}), Score::exact);
    // Precomposed letters stand alone; Hangul syllables and marks do not split.
    EXPECT_EQ(scoreOf("alles", u(u"\u00DCber Alles")), Score::wordPrefix);
    EXPECT_EQ(scoreOf(u(u"\u00FCa"), u(u"\u00DCber Alles")), Score::fuzzy);
    EXPECT_EQ(scoreOf(u(u"\uD55C"), u(u"\uD55C\uAD6D")), Score::prefix);
    EXPECT_EQ(scoreOf(u(u"\uAD6D"), u(u"\uD55C\uAD6D")), Score::contains);
    // A blank carrying a mark is not a word separator.
    EXPECT_EQ(scoreOf("b", u(u"a \u0301b")), Score::contains);
    // A non-ASCII query never matches ASCII app names, and does match others.
    EXPECT_EQ(scoreOf(u(u"\u00E9"), "Zed", 1, {"Editor", u(u"\u00C9diteur")}), Score::app);
    EXPECT_EQ(scoreOf(u(u"\u00E9"), "Zed", 1, {"Editor"}), std::nullopt);
    // The same query twice in a row, then another, gives fresh answers.
    EXPECT_EQ(scoreOf("ma", "Mail"), Score::prefix);
    EXPECT_EQ(scoreOf("ma", "Mail"), Score::prefix);
    EXPECT_EQ(scoreOf("il", "Mail"), Score::contains);
}
