#include "store/KeyNames.h"

#include "store/Hotkey.h"

#include "platform/KeyboardLayout.h"

#include <QStringList>

#include <array>
#include <utility>

namespace KeyNames {

namespace {

struct ModifierName {
    quint32 mask;
    const char16_t* glyph;
    const char* word;
};

// Display order: Control, Option, Shift, Command.
constexpr std::array<ModifierName, 4> modifierNames = {{
    {Hotkey::controlKey, u"\u2303", "Control"},
    {Hotkey::optionKey, u"\u2325", "Option"},
    {Hotkey::shiftKey, u"\u21E7", "Shift"},
    {Hotkey::commandKey, u"\u2318", "Command"},
}};

QString utf16(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// Key equivalents that are not the layout's character.
const QHash<quint32, QString>& fixedKeyEquivalents()
{
    static const QHash<quint32, QString> table = {
        {36, QString(QChar(0x0D))},
        {48, QString(QChar(0x09))},
        {49, QStringLiteral(" ")},
        {51, QString(QChar(0x08))},
        {53, QString(QChar(0x1B))},
        {123, QString(QChar(0xF702))},
        {124, QString(QChar(0xF703))},
        {125, QString(QChar(0xF701))},
        {126, QString(QChar(0xF700))},
    };
    return table;
}

} // namespace

const QList<quint32>& digitKeyCodes()
{
    static const QList<quint32> codes = {18, 19, 20, 21, 23, 22, 26, 28, 25, 29};
    return codes;
}

const QSet<quint32>& functionKeyCodes()
{
    static const QSet<quint32> codes = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
    return codes;
}

const QHash<quint32, QString>& specialNames()
{
    static const QHash<quint32, QString> names = {
        {49, QStringLiteral("Space")},
        {48, utf16(u"\u21E5")},
        {36, utf16(u"\u21A9")},
        {51, utf16(u"\u232B")},
        {117, utf16(u"\u2326")},
        {53, utf16(u"\u238B")},
        {50, QStringLiteral("`")},
        {123, utf16(u"\u2190")},
        {124, utf16(u"\u2192")},
        {126, utf16(u"\u2191")},
        {125, utf16(u"\u2193")},
        {115, utf16(u"\u2196")},
        {119, utf16(u"\u2198")},
        {116, utf16(u"\u21DE")},
        {121, utf16(u"\u21DF")},
        {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},
        {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},
        {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},
        {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},
        {111, QStringLiteral("F12")},
    };
    return names;
}

const QHash<QString, QString>& spelledNames()
{
    static const QHash<QString, QString> names = {
        {utf16(u"\u21E5"), QStringLiteral("Tab")},
        {utf16(u"\u21A9"), QStringLiteral("Return")},
        {utf16(u"\u232B"), QStringLiteral("Delete")},
        {utf16(u"\u2326"), QStringLiteral("Forward Delete")},
        {utf16(u"\u238B"), QStringLiteral("Escape")},
        {utf16(u"\u2190"), QStringLiteral("Left Arrow")},
        {utf16(u"\u2192"), QStringLiteral("Right Arrow")},
        {utf16(u"\u2191"), QStringLiteral("Up Arrow")},
        {utf16(u"\u2193"), QStringLiteral("Down Arrow")},
        {utf16(u"\u2196"), QStringLiteral("Home")},
        {utf16(u"\u2198"), QStringLiteral("End")},
        {utf16(u"\u21DE"), QStringLiteral("Page Up")},
        {utf16(u"\u21DF"), QStringLiteral("Page Down")},
    };
    return names;
}

QString glyphs(quint32 modifiers)
{
    QString text;
    for (const auto& modifier : modifierNames) {
        if (modifiers & modifier.mask)
            text += utf16(modifier.glyph);
    }
    return text;
}

std::optional<QString> keyName(quint32 keyCode)
{
    if (keyCode > 0xFFFF)
        return std::nullopt;
    const auto layout = platform::KeyboardLayout::currentASCIICapable();
    if (!layout)
        return std::nullopt;
    auto character = platform::KeyboardLayout::translate(*layout, static_cast<quint16>(keyCode));
    if (!character || character->isEmpty())
        return std::nullopt;
    return character;
}

QString displayName(quint32 keyCode)
{
    const auto special = specialNames().constFind(keyCode);
    if (special != specialNames().constEnd())
        return special.value();
    if (const auto character = keyName(keyCode))
        return character->toUpper(); // full case mapping: ß gives SS
    return QStringLiteral("Key ") + QString::number(keyCode);
}

QString spelledKeyName(quint32 keyCode)
{
    const QString name = displayName(keyCode);
    return spelledNames().value(name, name);
}

QString describe(const Hotkey& hotkey)
{
    QStringList pieces;
    for (const auto& modifier : modifierNames) {
        if (hotkey.modifiers & modifier.mask)
            pieces << QLatin1String(modifier.word);
    }
    pieces << spelledKeyName(hotkey.keyCode);
    return pieces.join(QStringLiteral(" + "));
}

QString keyEquivalent(quint32 keyCode)
{
    const auto fixed = fixedKeyEquivalents().constFind(keyCode);
    if (fixed != fixedKeyEquivalents().constEnd())
        return fixed.value();
    return keyName(keyCode).value_or(QString());
}

std::optional<QString> digitName(qint64 desktopNumber)
{
    const auto hotkey = Hotkey::digit(desktopNumber, 0);
    if (!hotkey)
        return std::nullopt;
    return displayName(hotkey->keyCode);
}

} // namespace KeyNames
