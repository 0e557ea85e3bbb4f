#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The fixed texts of the About page.
namespace AboutTexts {

// The one-word name of what the app is built with, in the version line.
inline constexpr char buildTechnology[] = "Qt";

// "Version <v> · Native <technology> · macOS 14+"; a bundle without a version
// text shows nothing in its place (never "0").
QString versionLine(const std::optional<QString>& shortVersion);
QString tagline();
// The caption of "Check once a day", naming the maker's update host (also
// when another feed is set for this run).
QString checkCaption();
// The four notes of "Under the hood", in order.
QStringList underTheHood();
// Why "Reveal" showed nothing, and where the log file is.
QString noFileManager(const QString& logPath);

} // namespace AboutTexts
