#include "store/XmlPropertyList.h"

#include <QDateTime>

#include <gtest/gtest.h>

TEST(XmlPropertyListTest, ReadsEveryKindOfValue)
{
    const auto value = XmlPropertyList::read(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
    <key>title</key><string>Work &lt;3</string>
    <key>count</key><integer>-42</integer>
    <key>ratio</key><real>0.25</real>
    <key>on</key><true/>
    <key>off</key><false/>
    <key>blob</key><data>
        AAEC
    </data>
    <key>when</key><date>2026-05-01T08:30:00Z</date>
    <key>list</key><array><string>a</string><dict/></array>
</dict>
</plist>)");
    ASSERT_TRUE(value.has_value());
    const QVariantMap dict = value->toMap();
    EXPECT_EQ(dict.value("title"), QVariant("Work <3"));
    EXPECT_EQ(dict.value("count"), QVariant(qint64(-42)));
    EXPECT_EQ(dict.value("ratio"), QVariant(0.25));
    EXPECT_EQ(dict.value("on"), QVariant(true));
    EXPECT_EQ(dict.value("off"), QVariant(false));
    EXPECT_EQ(dict.value("blob").toByteArray(), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(dict.value("when").toDateTime().toSecsSinceEpoch(), 1777624200);
    const QVariantList list = dict.value("list").toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].typeId(), QMetaType::QVariantMap);
}

TEST(XmlPropertyListTest, RejectsWhatIsNotAWellFormedXmlPropertyList)
{
    EXPECT_FALSE(XmlPropertyList::read("bplist00\xd1\x01\x02").has_value());
    EXPECT_FALSE(XmlPropertyList::read("").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><dict><key>a</key></dict></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><dict><string>a</string></dict></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><integer>1.5</integer></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><true>yes</true></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><data>!!</data></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><string>a</string><string>b</string></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><unknown/></plist>").has_value());
    EXPECT_FALSE(XmlPropertyList::read("<plist><string>open</plist>").has_value());
    EXPECT_EQ(XmlPropertyList::read("<string>bare</string>"), QVariant("bare"));
}

// --- hostile shapes ---

namespace {

QByteArray nestedXmlArrays(int depth)
{
    return "<plist>" + QByteArray("<array>").repeated(depth) + "<true/>" + QByteArray("</array>").repeated(depth)
        + "</plist>";
}

} // namespace

TEST(XmlPropertyListTest, NestingIsReadUpToTheLimitAndRefusedPastIt)
{
    const auto deepest = XmlPropertyList::read(nestedXmlArrays(XmlPropertyList::mostNesting));
    ASSERT_TRUE(deepest.has_value());
    QVariant inner = *deepest;
    for (int i = 0; i < XmlPropertyList::mostNesting; ++i)
        inner = inner.toList().value(0);
    EXPECT_EQ(inner, QVariant(true));
    EXPECT_FALSE(XmlPropertyList::read(nestedXmlArrays(XmlPropertyList::mostNesting + 1)).has_value());
    // 300 KB that overflow the stack when followed.
    EXPECT_FALSE(XmlPropertyList::read(nestedXmlArrays(20000)).has_value());
    const QByteArray deepDicts = "<plist>" + QByteArray("<dict><key>k</key>").repeated(20000) + "<true/>"
        + QByteArray("</dict>").repeated(20000) + "</plist>";
    EXPECT_FALSE(XmlPropertyList::read(deepDicts).has_value());
}

TEST(XmlPropertyListTest, EntitiesDeclaredInTheDocumentAreRefused)
{
    // A few kilobytes that would expand to megabytes of text.
    const QByteArray expanding = "<!DOCTYPE plist [<!ENTITY a \"" + QByteArray(4000, 'x') + "\">]><plist><string>"
        + QByteArray("&a;").repeated(2000) + "</string></plist>";
    EXPECT_FALSE(XmlPropertyList::read(expanding).has_value());
    const QByteArray usual = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><string>a &amp; b</string></plist>)";
    EXPECT_EQ(XmlPropertyList::read(usual), QVariant("a & b"));
}
