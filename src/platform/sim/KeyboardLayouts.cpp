#include "platform/KeyboardLayout.h"
#include "platform/sim/KeyboardLayouts.h"

#include "platform/KeyCodes.h"
#include "platform/Lifetime.h"

#include <QHash>

namespace platform {

namespace {

QString& selectedLayout()
{
    static QString id = QStringLiteral("us");
    return id;
}

// Virtual key codes of the ANSI keyboard and what they type on a US layout.
const QHash<quint16, QString>& usTable()
{
    static const QHash<quint16, QString> table = {
        {KeyCode::a, "a"}, {KeyCode::s, "s"}, {KeyCode::d, "d"}, {KeyCode::f, "f"}, {KeyCode::h, "h"},
        {KeyCode::g, "g"}, {KeyCode::z, "z"}, {KeyCode::x, "x"}, {KeyCode::c, "c"}, {KeyCode::v, "v"},
        {KeyCode::section, QString::fromUtf8("§")}, {KeyCode::b, "b"}, {KeyCode::q, "q"}, {KeyCode::w, "w"},
        {KeyCode::e, "e"}, {KeyCode::r, "r"}, {KeyCode::y, "y"}, {KeyCode::t, "t"}, {KeyCode::digit1, "1"},
        {KeyCode::digit2, "2"}, {KeyCode::digit3, "3"}, {KeyCode::digit4, "4"}, {KeyCode::digit6, "6"},
        {KeyCode::digit5, "5"}, {KeyCode::equal, "="}, {KeyCode::digit9, "9"}, {KeyCode::digit7, "7"},
        {KeyCode::minus, "-"}, {KeyCode::digit8, "8"}, {KeyCode::digit0, "0"}, {KeyCode::rightBracket, "]"},
        {KeyCode::o, "o"}, {KeyCode::u, "u"}, {KeyCode::leftBracket, "["}, {KeyCode::i, "i"}, {KeyCode::p, "p"},
        {KeyCode::returnKey, "\r"}, {KeyCode::l, "l"}, {KeyCode::j, "j"}, {KeyCode::quote, "'"}, {KeyCode::k, "k"},
        {KeyCode::semicolon, ";"}, {KeyCode::backslash, "\\"}, {KeyCode::comma, ","}, {KeyCode::slash, "/"},
        {KeyCode::n, "n"}, {KeyCode::m, "m"}, {KeyCode::period, "."}, {KeyCode::tab, "\t"}, {KeyCode::space, " "},
        {KeyCode::grave, "`"}, {KeyCode::deleteKey, QString(QChar(0x08))}, {KeyCode::escape, QString(QChar(0x1B))},
        {KeyCode::keypadDecimal, "."}, {KeyCode::keypadMultiply, "*"}, {KeyCode::keypadPlus, "+"},
        {KeyCode::keypadDivide, "/"}, {KeyCode::keypadEnter, QString(QChar(0x03))}, {KeyCode::keypadMinus, "-"},
        {KeyCode::keypadEquals, "="}, {KeyCode::keypad0, "0"}, {KeyCode::keypad1, "1"}, {KeyCode::keypad2, "2"},
        {KeyCode::keypad3, "3"}, {KeyCode::keypad4, "4"}, {KeyCode::keypad5, "5"}, {KeyCode::keypad6, "6"},
        {KeyCode::keypad7, "7"}, {KeyCode::keypad8, "8"}, {KeyCode::keypad9, "9"},
    };
    return table;
}

// A German layout: Y and Z swapped, umlauts, sharp s, and two dead keys.
const QHash<quint16, QString>& germanTable()
{
    static const QHash<quint16, QString> table = [] {
        QHash<quint16, QString> t = usTable();
        t[KeyCode::z] = "y";
        t[KeyCode::y] = "z";
        t[KeyCode::minus] = QString::fromUtf8("ß");
        t[KeyCode::semicolon] = QString::fromUtf8("ö");
        t[KeyCode::quote] = QString::fromUtf8("ä");
        t[KeyCode::leftBracket] = QString::fromUtf8("ü");
        t[KeyCode::rightBracket] = "+";
        t[KeyCode::backslash] = "#";
        t[KeyCode::comma] = ",";
        t[KeyCode::slash] = "-";
        t[KeyCode::section] = "<";
        t.remove(KeyCode::equal); // acute accent: a dead key
        t.remove(KeyCode::grave); // circumflex: a dead key
        return t;
    }();
    return table;
}

} // namespace

void sim::selectKeyboardLayout(const QString& id)
{
    selectedLayout() = id;
    static bool registered = false;
    if (!registered) {
        registered = true;
        registerSharedReset([] {
            selectedLayout() = QStringLiteral("us");
            registered = false;
        });
    }
}

std::optional<KeyboardLayout::Layout> KeyboardLayout::currentASCIICapable()
{
    if (selectedLayout().isEmpty())
        return std::nullopt;
    return Layout{selectedLayout()};
}

std::optional<QString> KeyboardLayout::translate(const Layout& layout, quint16 keyCode)
{
    const auto& table = layout.id == QLatin1String("german") ? germanTable() : usTable();
    auto it = table.constFind(keyCode);
    if (it == table.constEnd())
        return std::nullopt;
    return it.value();
}

} // namespace platform
