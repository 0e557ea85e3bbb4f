#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// A global shortcut: a virtual key code (a key position, independent of the
// keyboard layout) and a Carbon modifier mask. A missing shortcut is an absent
// optional, never a special key code.
struct Hotkey {
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    // Carbon modifier bits, the only four the app knows.
    static constexpr quint32 commandKey = 0x100;
    static constexpr quint32 shiftKey = 0x200;
    static constexpr quint32 optionKey = 0x800;
    static constexpr quint32 controlKey = 0x1000;

    // The same modifiers as event (AppKit and Core Graphics) flags.
    static constexpr quint64 shiftFlag = 0x20000;
    static constexpr quint64 controlFlag = 0x40000;
    static constexpr quint64 optionFlag = 0x80000;
    static constexpr quint64 commandFlag = 0x100000;

    // Control + Option: the modifiers of the default hotkeys.
    static constexpr quint32 defaultModifiers = controlKey | optionKey;
    // Number shortcuts exist for desktops 1 to 10.
    static constexpr qint64 digitLimit = 10;

    struct MenuEquivalent {
        QString key;
        quint64 modifierFlags = 0;
        friend bool operator==(const MenuEquivalent&, const MenuEquivalent&) = default;
    };

    // The main-row digit key of desktop number (1...10, 10 being the 0 key).
    static std::optional<Hotkey> digit(qint64 number, quint32 modifiers);

    // Modifier glyphs then the key's name, e.g. ⌃⌥Space. Also the identity
    // used when two shortcuts are compared for clashes.
    QString display() const;
    MenuEquivalent menuEquivalent() const;

    // Event flags to a Carbon mask and back; every other bit is dropped.
    static quint32 carbonModifiers(quint64 eventFlags);
    quint64 eventModifiers() const;

    QString keyName() const;
    QString modifierGlyphs() const;
    QString keyEquivalent() const;
    std::optional<QString> layoutCharacter() const;

    // Stored form: {"keyCode": n, "modifiers": m}, both unsigned 32-bit.
    QJsonObject toJson() const;
    // None unless both members are integers in 0...4294967295; other members
    // are ignored.
    static std::optional<Hotkey> fromJson(const QJsonValue& value);
    QByteArray toJsonData() const;
    // As fromJson; also none when a member name appears twice.
    static std::optional<Hotkey> fromJsonData(const QByteArray& data);

    friend bool operator==(const Hotkey&, const Hotkey&) = default;
};
