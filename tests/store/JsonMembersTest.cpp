#include "store/JsonMembers.h"

#include <gtest/gtest.h>

using JsonMembers::firstRepeatedName;

// --- repeated member names ---

TEST(JsonMembersTest, FindsANameRepeatedInOneObjectAtAnyDepth)
{
    EXPECT_EQ(firstRepeatedName(R"({"7":{"name":"first"},"7":{"name":"second"}})"), QString("7"));
    EXPECT_EQ(firstRepeatedName(R"({"7":{"name":"first","icon":"","name":"second"}})"), QString("name"));
    EXPECT_EQ(firstRepeatedName(R"([{"a":1},{"b":[{"c":1,"c":2}]}])"), QString("c"));
    EXPECT_EQ(firstRepeatedName(R"({ "a" : 1 ,
        "a":2})"), QString("a"));
}

TEST(JsonMembersTest, ComparesNamesAfterTheirEscapesAreDecoded)
{
    EXPECT_EQ(firstRepeatedName(R"({"7":1,"\u0037":2})"), QString("7"));
    EXPECT_EQ(firstRepeatedName(R"({"a\"b":1,"a\u0022b":2})"), QString("a\"b"));
    EXPECT_EQ(firstRepeatedName(R"({"\ud83d\ude80":1,"🚀":2})"), QString::fromUtf8("🚀"));
    EXPECT_EQ(firstRepeatedName(R"({"a\\":1,"a\\\\":2})"), std::nullopt);
}

TEST(JsonMembersTest, SameNamesInDifferentObjectsOrAsValuesAreFine)
{
    EXPECT_EQ(firstRepeatedName(R"({"1":{"name":"a"},"2":{"name":"a"}})"), std::nullopt);
    EXPECT_EQ(firstRepeatedName(R"({"a":"a","b":["a","a"],"c":{"a":"b"}})"), std::nullopt);
    EXPECT_EQ(firstRepeatedName(R"({"a":"x,\"a\":1","b":2})"), std::nullopt);
    EXPECT_EQ(firstRepeatedName(R"({"7":1,"07":2})"), std::nullopt);
    EXPECT_EQ(firstRepeatedName("{}"), std::nullopt);
}

TEST(JsonMembersTest, TextThatIsNotJsonEndsTheScanQuietly)
{
    EXPECT_EQ(firstRepeatedName(""), std::nullopt);
    EXPECT_EQ(firstRepeatedName(R"({"a":1,"a)"), std::nullopt);
    EXPECT_EQ(firstRepeatedName(R"({"a\u00":1})"), std::nullopt);
    EXPECT_EQ(firstRepeatedName(R"({"a\)"), std::nullopt);
    EXPECT_EQ(firstRepeatedName("]]]}}}{{{"), std::nullopt);
    EXPECT_EQ(firstRepeatedName(QByteArray(100000, '[')), std::nullopt);
}
