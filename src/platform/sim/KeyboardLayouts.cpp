#include "platform/KeyboardLayout.h"
#include "platform/sim/KeyboardLayouts.h"

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
        {0, "a"}, {1, "s"}, {2, "d"}, {3, "f"}, {4, "h"}, {5, "g"}, {6, "z"}, {7, "x"}, {8, "c"}, {9, "v"},
        {10, QString::fromUtf8("§")}, {11, "b"}, {12, "q"}, {13, "w"}, {14, "e"}, {15, "r"}, {16, "y"}, {17, "t"},
        {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"}, {24, "="}, {25, "9"}, {26, "7"}, {27, "-"},
        {28, "8"}, {29, "0"}, {30, "]"}, {31, "o"}, {32, "u"}, {33, "["}, {34, "i"}, {35, "p"}, {36, "\r"},
        {37, "l"}, {38, "j"}, {39, "'"}, {40, "k"}, {41, ";"}, {42, "\\"}, {43, ","}, {44, "/"}, {45, "n"},
        {46, "m"}, {47, "."}, {48, "\t"}, {49, " "}, {50, "`"}, {51, QString(QChar(0x08))},
        {53, QString(QChar(0x1B))}, {65, "."}, {67, "*"}, {69, "+"}, {75, "/"}, {76, QString(QChar(0x03))},
        {78, "-"}, {81, "="}, {82, "0"}, {83, "1"}, {84, "2"}, {85, "3"}, {86, "4"}, {87, "5"}, {88, "6"},
        {89, "7"}, {91, "8"}, {92, "9"},
    };
    return table;
}

// A German layout: Y and Z swapped, umlauts, sharp s, and two dead keys.
const QHash<quint16, QString>& germanTable()
{
    static const QHash<quint16, QString> table = [] {
        QHash<quint16, QString> t = usTable();
        t[6] = "y";
        t[16] = "z";
        t[27] = QString::fromUtf8("ß");
        t[41] = QString::fromUtf8("ö");
        t[39] = QString::fromUtf8("ä");
        t[33] = QString::fromUtf8("ü");
        t[30] = "+";
        t[42] = "#";
        t[43] = ",";
        t[44] = "-";
        t[10] = "<";
        t.remove(24); // acute accent: a dead key
        t.remove(50); // circumflex: a dead key
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
