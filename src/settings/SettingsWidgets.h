#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>

class QBoxLayout;
class Settings;
class QLabel;
class QVBoxLayout;
class QWidget;

// Small builders the settings pages share: labels in a kit font and colour,
// and a page's column (leading-aligned, 14 points between items).
namespace SettingsWidgets {

inline constexpr int pageSpacing = 14;

enum class Wrap { singleLine, wrapping };

QLabel* label(const QString& text, const QFont& font, const QColor& color, Wrap wrap = Wrap::singleLine);
// A widget holding a vertical layout without margins.
QVBoxLayout* column(QWidget* owner, int spacing = pageSpacing);
// Runs refresh once the settings have taken a change (they announce it
// before storing it), for as long as receiver exists.
void afterSettingsChange(Settings& settings, QWidget* receiver, std::function<void()> refresh);
// Lets every row caption under root wrap onto as many lines as it needs.
void wrapCaptions(QWidget* root);
// Clears a layout, deleting its widgets.
void clear(QBoxLayout* layout);

} // namespace SettingsWidgets
