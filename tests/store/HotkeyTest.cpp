#include "store/Hotkey.h"
#include "store/KeyNames.h"

#include "platform/KeyCodes.h"
#include "platform/sim/KeyboardLayouts.h"
#include "support/PlatformTest.h"
#include "support/Literals.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace KeyCode = platform::KeyCode;

namespace {

constexpr quint32 space = 49;
constexpr quint32 leftArrow = 123;
constexpr quint32 keyA = 0;
constexpr quint32 keyZ = 6;         // Y on the German layout
constexpr quint32 keyMinus = 27;    // ß on the German layout
constexpr quint32 keyEquals = 24;   // a dead key on the German layout
constexpr quint32 keyGrave = 50;    // a dead key on the German layout
constexpr quint32 unmappedKey = 70;

} // namespace

class HotkeyTest : public PlatformTest {};

TEST_F(HotkeyTest, DigitShortcutsFollowTheMainRowInDigitOrder)
{
    EXPECT_FALSE(Hotkey::digit(0, Hotkey::defaultModifiers));
    EXPECT_FALSE(Hotkey::digit(11, Hotkey::defaultModifiers));
    EXPECT_FALSE(Hotkey::digit(-1, Hotkey::defaultModifiers));
    EXPECT_EQ(Hotkey::digit(1, 0x100), (Hotkey{KeyCode::digit1, 0x100}));
    EXPECT_EQ(Hotkey::digit(5, 0)->keyCode, 23u);
    EXPECT_EQ(Hotkey::digit(6, 0)->keyCode, 22u);
    EXPECT_EQ(Hotkey::digit(10, 0)->keyCode, 29u);
    EXPECT_EQ(KeyNames::digitName(10), QStringLiteral("0"));
    EXPECT_EQ(KeyNames::digitName(7), QStringLiteral("7"));
    EXPECT_FALSE(KeyNames::digitName(11));
}

TEST_F(HotkeyTest, ModifiersShowInFixedOrderWhateverBitsAreSet)
{
    const Hotkey commandControlSpace{space, Hotkey::commandKey | Hotkey::controlKey};
    EXPECT_EQ(commandControlSpace.modifierGlyphs(), u(u"\u2303\u2318"));
    EXPECT_EQ(commandControlSpace.display(), u(u"\u2303\u2318Space"));
    EXPECT_EQ(KeyNames::describe(commandControlSpace), QStringLiteral("Control + Command + Space"));

    const Hotkey all{keyA, 0xFFFFFFFF};
    EXPECT_EQ(all.modifierGlyphs(), u(u"\u2303\u2325\u21E7\u2318"));
    EXPECT_EQ(KeyNames::describe(all), QStringLiteral("Control + Option + Shift + Command + A"));

    EXPECT_EQ((Hotkey{leftArrow, Hotkey::controlKey}).display(), u(u"\u2303\u2190"));
    EXPECT_EQ(KeyNames::describe(Hotkey{leftArrow, Hotkey::controlKey}), QStringLiteral("Control + Left Arrow"));
    EXPECT_EQ((Hotkey{KeyCode::digit5, Hotkey::shiftKey | Hotkey::commandKey}).display(), u(u"\u21E7\u23185"));
    EXPECT_EQ((Hotkey{KeyCode::f5, 0}).display(), QStringLiteral("F5"));
    EXPECT_EQ(KeyNames::describe(Hotkey{KeyCode::f5, 0}), QStringLiteral("F5"));
}

TEST_F(HotkeyTest, KeyNamesUseTablesBeforeTheLayout)
{
    EXPECT_EQ(KeyNames::displayName(space), QStringLiteral("Space"));
    EXPECT_EQ(KeyNames::spelledKeyName(space), QStringLiteral("Space"));
    EXPECT_EQ(KeyNames::displayName(leftArrow), u(u"\u2190"));
    EXPECT_EQ(KeyNames::spelledKeyName(leftArrow), QStringLiteral("Left Arrow"));
    EXPECT_EQ(KeyNames::spelledKeyName(53), QStringLiteral("Escape"));
    EXPECT_EQ(KeyNames::spelledKeyName(121), QStringLiteral("Page Down"));
    EXPECT_EQ(KeyNames::displayName(keyA), QStringLiteral("A"));
    EXPECT_EQ(KeyNames::spelledKeyName(keyA), QStringLiteral("A"));
    EXPECT_EQ(KeyNames::displayName(unmappedKey), QStringLiteral("Key 70"));
    EXPECT_EQ(KeyNames::displayName(0x10000), QStringLiteral("Key 65536"));
    EXPECT_EQ(KeyNames::specialNames().size(), 27);
    EXPECT_EQ(KeyNames::spelledNames().size(), 13);
    EXPECT_EQ(KeyNames::functionKeyCodes().size(), 12);
}

TEST_F(HotkeyTest, MenuEquivalentIsTheLowerCaseLayoutCharacterOrAControlCharacter)
{
    const Hotkey controlOptionA{keyA, Hotkey::defaultModifiers};
    EXPECT_EQ(controlOptionA.keyName(), QStringLiteral("A"));
    EXPECT_EQ(controlOptionA.menuEquivalent().key, QStringLiteral("a"));
    EXPECT_EQ(controlOptionA.menuEquivalent().modifierFlags, Hotkey::controlFlag | Hotkey::optionFlag);
    EXPECT_EQ(controlOptionA.layoutCharacter(), QStringLiteral("a"));
    EXPECT_EQ(KeyNames::keyEquivalent(36), QString(QChar(0x0D)));
    EXPECT_EQ(KeyNames::keyEquivalent(space), QStringLiteral(" "));
    EXPECT_EQ(KeyNames::keyEquivalent(leftArrow), QString(QChar(0xF702)));
    EXPECT_EQ(KeyNames::keyEquivalent(126), QString(QChar(0xF700)));
    EXPECT_EQ(KeyNames::keyEquivalent(unmappedKey), QString());
}

TEST_F(HotkeyTest, GermanLayoutNamesKeysByWhatTheyType)
{
    platform::sim::selectKeyboardLayout("german");
    EXPECT_EQ(KeyNames::displayName(keyZ), QStringLiteral("Y"));
    EXPECT_EQ(KeyNames::displayName(keyMinus), QStringLiteral("SS")); // full upper-casing
    EXPECT_EQ(KeyNames::keyEquivalent(keyMinus), u(u"\u00DF"));
    EXPECT_EQ(KeyNames::displayName(39), u(u"\u00C4"));
    EXPECT_FALSE(KeyNames::keyName(keyEquals)); // dead key
    EXPECT_EQ(KeyNames::displayName(keyEquals), QStringLiteral("Key 24"));
    EXPECT_EQ(KeyNames::keyEquivalent(keyEquals), QString());
    EXPECT_EQ(KeyNames::displayName(keyGrave), QStringLiteral("`")); // from the table, not the layout
}

TEST_F(HotkeyTest, WithoutAnyLayoutNamesFallBackToKeyCodes)
{
    platform::sim::selectKeyboardLayout("");
    EXPECT_FALSE(KeyNames::keyName(keyA));
    EXPECT_EQ(KeyNames::displayName(keyA), QStringLiteral("Key 0"));
    EXPECT_EQ(KeyNames::digitName(1), QStringLiteral("Key 18"));
    EXPECT_EQ(KeyNames::keyEquivalent(keyA), QString());
    EXPECT_EQ(KeyNames::keyEquivalent(53), QString(QChar(0x1B)));
    EXPECT_EQ((Hotkey{space, Hotkey::defaultModifiers}).display(), u(u"\u2303\u2325Space"));
}

TEST_F(HotkeyTest, ModifierConversionKeepsOnlyTheFourModifiers)
{
    constexpr quint64 capsLock = 0x10000;
    constexpr quint64 function = 0x800000;
    constexpr quint64 deviceBits = 0x109;
    EXPECT_EQ(Hotkey::carbonModifiers(Hotkey::commandFlag | capsLock | function | deviceBits), Hotkey::commandKey);
    EXPECT_EQ(Hotkey::carbonModifiers(Hotkey::controlFlag | Hotkey::optionFlag), Hotkey::defaultModifiers);
    const Hotkey withStrayBits{space, 0x1800 | 0x4000 | 0x1};
    EXPECT_EQ(withStrayBits.eventModifiers(), Hotkey::controlFlag | Hotkey::optionFlag);
    const quint32 all = Hotkey::controlKey | Hotkey::optionKey | Hotkey::shiftKey | Hotkey::commandKey;
    EXPECT_EQ(Hotkey::carbonModifiers(Hotkey{space, all}.eventModifiers()), all);
}

TEST_F(HotkeyTest, StoredFormRoundTripsAndIgnoresExtraMembers)
{
    const Hotkey hotkey{space, Hotkey::defaultModifiers};
    EXPECT_EQ(hotkey.toJsonData(), QByteArray(R"({"keyCode":49,"modifiers":6144})"));
    EXPECT_EQ(Hotkey::fromJsonData(hotkey.toJsonData()), hotkey);
    EXPECT_EQ(Hotkey::fromJsonData(R"({"modifiers":6144,"label":"x","keyCode":49})"), hotkey);
    const Hotkey extreme{0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(Hotkey::fromJson(extreme.toJson()), extreme);
    EXPECT_EQ(Hotkey::fromJsonData(R"({"keyCode":49.0,"modifiers":6.144e3})"), hotkey);
}

TEST_F(HotkeyTest, StoredFormRejectsAnythingButTwoUnsigned32BitIntegers)
{
    const char* invalid[] = {
        R"({"keyCode":49})",
        R"({"modifiers":6144})",
        R"({"keyCode":-1,"modifiers":0})",
        R"({"keyCode":4294967296,"modifiers":0})",
        R"({"keyCode":49,"modifiers":18446744073709551616})",
        R"({"keyCode":49.5,"modifiers":0})",
        R"({"keyCode":"49","modifiers":0})",
        R"({"keyCode":null,"modifiers":0})",
        R"({"keyCode":true,"modifiers":0})",
        R"([49,6144])",
        R"({"keyCode":49,"modifiers":6144,"keyCode":50})",
        R"({"keyCode":49,"modifiers":6144,"modifiers":0})",
        R"(not json)",
        "",
    };
    for (const char* data : invalid)
        EXPECT_FALSE(Hotkey::fromJsonData(data)) << data;
    EXPECT_FALSE(Hotkey::fromJson(QJsonValue(49)));
}
