#pragma once

#include <QList>
#include <QString>

#include <optional>

// The eight pages of the settings window, in tab order. The raw value is the
// page's stable name: links name a page by it and the capture and render
// tools name their files after it; it is never shown. It sits below the
// settings window because the shell, links and debug tools name pages too.
enum class SettingsPage { spaces, missionControl, switchTag, spaceHover, shortcuts, timeTracking, general, about };

namespace SettingsPages {

// Every page in tab order.
const QList<SettingsPage>& allCases();

QString rawValue(SettingsPage page);
QString label(SettingsPage page);
QString title(SettingsPage page);
QString subtitle(SettingsPage page);
// Symbol name drawn beside the label.
QString symbol(SettingsPage page);

// The page whose raw value equals text exactly (case-sensitive); none otherwise.
std::optional<SettingsPage> fromRawValue(const QString& text);

} // namespace SettingsPages
