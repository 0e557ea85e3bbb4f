#pragma once

#include "store/Hotkey.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The fixed texts of the settings window and its pages that depend on a
// value: pure functions, so each wording is tested without a widget.
namespace SettingsTexts {

// "<n> desktops · <k> named" under the app name in the header band.
QString countsLine(qint64 desktops, qint64 named);
// A header tile's caption: the shown name when the desktop has one, else its number.
QString heroCaption(bool hasName, const QString& displayName, qint64 number);
// "<name> · click to edit", the name on one line.
QString heroTooltip(const QString& displayName);
QString accessibilityBadge(bool trusted);

// "Display <i + 1>" above a display's card (index counted from 0).
QString displayHeader(qsizetype index);
// "Desktop <n>": the name field's placeholder and the number column.
QString desktopNumber(qint64 number);
// The name as stored: white space and line breaks trimmed from both ends.
QString storedName(const QString& typed);

// The "Count as away after" choices: (minutes, label), in picker order.
const QList<std::pair<qint64, QString>>& idleChoices();

// The menu-bar width slider's value text: "<whole number> pt".
QString widthLabel(double points);
// Slider value texts: the pill size as a whole percentage ("85%"), the pill
// offset in whole points, the fraction dropped ("-12 pt"), the tag's time
// on screen with one decimal ("1.2 s") and the hover delay with two ("0.45 s").
QString pillScaleLabel(double scale);
QString pillOffsetLabel(double points);
QString tagDurationLabel(double seconds);
QString hoverDelayLabel(double seconds);

// The caption of the presentation-mode row; it names the hotkey when one is set.
QString presentationCaption(const std::optional<Hotkey>& hotkey);
// The caption of "Show the name beside the notch".
QString notchCaption(bool hasNotch);

// The welcome window's Accessibility step: granted, asked again after an
// update, or asked for the first time.
QString accessibilityStepDetail(bool trusted, bool askedAgainAfterUpdate);
// The welcome window's Quick Switcher step, naming the hotkey when one is set.
QString switcherStepDetail(const std::optional<Hotkey>& hotkey);

// A global shortcut row's caption: the shortcut spelled out, or "No shortcut".
QString hotkeyCaption(const std::optional<Hotkey>& hotkey);
// The "Modifier keys" choices: (Carbon mask, glyphs), in picker order.
const QList<std::pair<quint32, QString>>& modifierOptions();

// The system desktop-shortcut row for `enabled` shortcuts on and n desktops
// that need one (n at most 10); label names the digit key of desktop n.
struct SystemShortcutState {
    bool allOn = false;
    QString caption;
};
SystemShortcutState systemShortcutState(int enabled, int desktops, const QString& label);

} // namespace SettingsTexts
