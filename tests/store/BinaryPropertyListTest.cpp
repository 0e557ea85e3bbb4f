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

QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xFF);
    return bytes;
}

// A marker with its count: in the low nibble, or as a 4-byte integer after it.
QByteArray marked(quint8 kind, quint64 count)
{
    if (count < 15)
        return QByteArray(1, char((kind << 4) | count));
    return QByteArray(1, char((kind << 4) | 0x0F)) + char(0x12) + bigEndian(count, 4);
}

// A whole file of the given objects (references 4 bytes wide), object 0 on top.
QByteArray binaryList(const QList<QByteArray>& objects)
{
    QByteArray file("bplist00");
    QList<quint64> offsets;
    for (const QByteArray& object : objects) {
        offsets << quint64(file.size());
        file += object;
    }
    const quint64 table = quint64(file.size());
    for (const quint64 offset : offsets)
        file += bigEndian(offset, 4);
    file += QByteArray(6, '\0') + char(4) + char(4);
    file += bigEndian(quint64(objects.size()), 8) + bigEndian(0, 8) + bigEndian(table, 8);
    return file;
}

// depth arrays, each holding the next; the last one holds true.
QByteArray nestedArrays(int depth)
{
    QList<QByteArray> objects;
    for (int i = 0; i < depth; ++i)
        objects << marked(0xA, 1) + bigEndian(quint64(i + 1), 4);
    objects << QByteArray(1, char(0x09));
    return binaryList(objects);
}

// One array of count references to a single data object of size bytes.
QByteArray manyReferencesToOneData(quint64 count, qsizetype size)
{
    QByteArray array = marked(0xA, count);
    for (quint64 i = 0; i < count; ++i)
        array += bigEndian(1, 4);
    return binaryList({array, marked(0x4, quint64(size)) + QByteArray(size, 'd')});
}

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

// --- hostile shapes ---

TEST(BinaryPropertyListTest, NestingIsReadUpToTheLimitAndRefusedPastIt)
{
    const auto deepest = BinaryPropertyList::read(nestedArrays(BinaryPropertyList::mostNesting - 1));
    ASSERT_TRUE(deepest.has_value());
    QVariant inner = *deepest;
    for (int i = 0; i < BinaryPropertyList::mostNesting - 1; ++i)
        inner = inner.toList().value(0);
    EXPECT_EQ(inner, QVariant(true));
    EXPECT_FALSE(BinaryPropertyList::read(nestedArrays(BinaryPropertyList::mostNesting)));
    // Deep enough to overflow the stack when followed.
    EXPECT_FALSE(BinaryPropertyList::read(nestedArrays(40000)));
}

TEST(BinaryPropertyListTest, ManyReferencesToOneObjectShareItsBytes)
{
    const auto value = BinaryPropertyList::read(manyReferencesToOneData(1000, 64 * 1024));
    ASSERT_TRUE(value.has_value());
    const QVariantList list = value->toList();
    ASSERT_EQ(list.size(), 1000);
    EXPECT_EQ(list.front().toByteArray(), QByteArray(64 * 1024, 'd'));
    EXPECT_EQ(list.front().toByteArray().constData(), list.back().toByteArray().constData());
}

TEST(BinaryPropertyListTest, HundredThousandReferencesToOneMegabyteAreReadOnce)
{
    // Copied per reference this asks for about 100 GB.
    const auto value = BinaryPropertyList::read(manyReferencesToOneData(99990, 1024 * 1024));
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->toList().size(), 99990);
    EXPECT_EQ(value->toList().back().toByteArray().size(), 1024 * 1024);
}

TEST(BinaryPropertyListTest, OffsetsSharedByManyObjectsAreReadOnce)
{
    // Object 1 is the data; objects 2... are table entries pointing at the
    // same bytes, so every reference names a different object.
    constexpr int copies = 500;
    const QByteArray data = marked(0x4, 64 * 1024) + QByteArray(64 * 1024, 'd');
    QByteArray array = marked(0xA, copies);
    for (int i = 0; i < copies; ++i)
        array += bigEndian(quint64(i + 1), 4);
    QByteArray file = binaryList({array, data});
    // Repeat the data object's table entry for the other references.
    const qsizetype trailer = file.size() - 32;
    const QByteArray dataEntry = file.mid(trailer - 4, 4);
    file.insert(trailer, dataEntry.repeated(copies - 1));
    const qsizetype newTrailer = file.size() - 32;
    file.replace(newTrailer + 8, 8, bigEndian(quint64(copies + 1), 8));
    const auto value = BinaryPropertyList::read(file);
    ASSERT_TRUE(value.has_value());
    const QVariantList list = value->toList();
    ASSERT_EQ(list.size(), copies);
    EXPECT_EQ(list.front().toByteArray().constData(), list.back().toByteArray().constData());
}
