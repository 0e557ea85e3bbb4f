#include "store/BinaryPropertyList.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

std::optional<QVariant> readHex(const char* hex)
{
    return BinaryPropertyList::read(QByteArray::fromHex(hex));
}

// A dict of a string, an array of integers of every width (one negative), a
// real, a Boolean, data and a UTF-16 string.
constexpr const char* everyKind
    = "62706c6973743030d601020304050607080d0e0f1054626c6f62516e526f6e51725173557469746c65420001a4090a0b0c100113"
      "fffffffffffffffe12000493e013000001000000000009233fe00000000000006700430061006600e90020d83dde8054576f726b"
      "08151a1c1f2123292c31333c414a4b54630000000000000101000000000000001100000000000000000000000000000068";

// An array of a date and a string whose length follows its marker.
constexpr const char* dateAndLongString
    = "62706c6973743030a201023341c7d24e040000005f10147878787878787878787878787878787878787878080b1400000000000001"
      "0100000000000000030000000000000000000000000000002b";

// One array whose only element is true, and the same array holding itself.
constexpr const char* holdingTrue = "62706c6973743030a10109080a000000000000010100000000000000020000000000000000000000000000000b";
constexpr const char* selfContaining
    = "62706c6973743030a10008000000000000010100000000000000010000000000000000000000000000000a";

// Thirty arrays, each holding the next one twice: a billion leaves.
constexpr const char* sharedReferenceBomb
    = "62706c6973743030a20101a20202a20303a20404a20505a20606a20707a20808a20909a20a0aa20b0ba20c0ca20d0da20e0ea20f0fa21010a21111a21212a21313a21414a21515a21616a21717a21818a2"
      "1919a21a1aa21b1ba21c1ca21d1da21e1e09080b0e1114171a1d202326292c2f3235383b3e4144474a4d505356595c5f620000000000000101000000000000001f00000000000000000000000000000063";

} // namespace

TEST(BinaryPropertyListTest, ReadsEveryKindOfValue)
{
    const auto value = readHex(everyKind);
    ASSERT_TRUE(value.has_value());
    const QVariantMap dict = value->toMap();
    EXPECT_EQ(dict.value("title"), QVariant("Work"));
    EXPECT_EQ(dict.value("n"), QVariant(QVariantList{qint64(1), qint64(-2), qint64(300000), qint64(1) << 40}));
    EXPECT_EQ(dict.value("r"), QVariant(0.5));
    EXPECT_EQ(dict.value("on"), QVariant(true));
    EXPECT_EQ(dict.value("blob"), QVariant(QByteArray("\x00\x01", 2)));
    EXPECT_EQ(dict.value("s"), QVariant(QString::fromUtf8("Caf\xc3\xa9 \xf0\x9f\x9a\x80")));

    const auto list = readHex(dateAndLongString);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->toList().value(0).toDateTime(), QDateTime::fromSecsSinceEpoch(1777624200, Qt::UTC));
    EXPECT_EQ(list->toList().value(1), QVariant(QString(20, 'x')));
}

TEST(BinaryPropertyListTest, RefusesDamagedOrHostileData)
{
    EXPECT_FALSE(BinaryPropertyList::read(""));
    EXPECT_FALSE(BinaryPropertyList::read("bplist00"));
    EXPECT_FALSE(BinaryPropertyList::read("<plist><string>x</string></plist>"));
    EXPECT_EQ(readHex(holdingTrue), QVariant(QVariantList{true}));
    EXPECT_FALSE(readHex(selfContaining));
    EXPECT_FALSE(readHex(sharedReferenceBomb));

    const QByteArray good = QByteArray::fromHex(everyKind);
    // Cut short: the trailer no longer describes the file.
    EXPECT_FALSE(BinaryPropertyList::read(good.left(good.size() - 1)));
    // The offset table placed past the end of the file.
    QByteArray badTable = good;
    badTable[badTable.size() - 1] = char(0xF0);
    EXPECT_FALSE(BinaryPropertyList::read(badTable));
    // A string whose length runs past the objects.
    QByteArray longString = good;
    longString[longString.indexOf("Work") - 1] = char(0x5E);
    EXPECT_FALSE(BinaryPropertyList::read(longString));
    // A reference to an object that does not exist.
    QByteArray badReference = good;
    badReference[9] = char(0x40);
    EXPECT_FALSE(BinaryPropertyList::read(badReference));
}
