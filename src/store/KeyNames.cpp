#include "store/KeyNames.h"

#include "store/Hotkey.h"

#include "platform/KeyCodes.h"
#include "platform/KeyboardLayout.h"

#include <QStringList>

#include <array>
#include <utility>

namespace KeyNames {

namespace KeyCode = platform::KeyCode;

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
        {KeyCode::returnKey, QString(QChar(0x0D))},
        {KeyCode::tab, QString(QChar(0x09))},
        {KeyCode::space, QStringLiteral(" ")},
        {KeyCode::deleteKey, QString(QChar(0x08))},
        {KeyCode::escape, QString(QChar(0x1B))},
        {KeyCode::leftArrow, QString(QChar(0xF702))},
        {KeyCode::rightArrow, QString(QChar(0xF703))},
        {KeyCode::downArrow, QString(QChar(0xF701))},
        {KeyCode::upArrow, QString(QChar(0xF700))},
    };
    return table;
}

} // namespace

const QList<quint32>& digitKeyCodes()
{
    static const QList<quint32> codes = {KeyCode::digitRow.begin(), KeyCode::digitRow.end()};
    return codes;
}

const QSet<quint32>& functionKeyCodes()
{
    static const QSet<quint32> codes = {KeyCode::f1, KeyCode::f2, KeyCode::f3, KeyCode::f4,
                                           KeyCode::f5, KeyCode::f6, KeyCode::f7, KeyCode::f8,
                                           KeyCode::f9, KeyCode::f10, KeyCode::f11, KeyCode::f12};
    return codes;
}

const QHash<quint32, QString>& specialNames()
{
    static const QHash<quint32, QString> names = {
        {KeyCode::space, QStringLiteral("Space")},
        {KeyCode::tab, utf16(u"\u21E5")},
        {KeyCode::returnKey, utf16(u"\u21A9")},
        {KeyCode::deleteKey, utf16(u"\u232B")},
        {KeyCode::forwardDelete, utf16(u"\u2326")},
        {KeyCode::escape, utf16(u"\u238B")},
        {KeyCode::grave, QStringLiteral("`")},
        {KeyCode::leftArrow, utf16(u"\u2190")},
        {KeyCode::rightArrow, utf16(u"\u2192")},
        {KeyCode::upArrow, utf16(u"\u2191")},
        {KeyCode::downArrow, utf16(u"\u2193")},
        {KeyCode::home, utf16(u"\u2196")},
        {KeyCode::end, utf16(u"\u2198")},
        {KeyCode::pageUp, utf16(u"\u21DE")},
        {KeyCode::pageDown, utf16(u"\u21DF")},
        {KeyCode::f1, QStringLiteral("F1")},
        {KeyCode::f2, QStringLiteral("F2")},
        {KeyCode::f3, QStringLiteral("F3")},
        {KeyCode::f4, QStringLiteral("F4")},
        {KeyCode::f5, QStringLiteral("F5")},
        {KeyCode::f6, QStringLiteral("F6")},
        {KeyCode::f7, QStringLiteral("F7")},
        {KeyCode::f8, QStringLiteral("F8")},
        {KeyCode::f9, QStringLiteral("F9")},
        {KeyCode::f10, QStringLiteral("F10")},
        {KeyCode::f11, QStringLiteral("F11")},
        {KeyCode::f12, QStringLiteral("F12")},
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
