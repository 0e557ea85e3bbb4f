#include "ui/DarkAppearance.h"

#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QWidget>

namespace DarkAppearance {

QString name()
{
    return QStringLiteral("NSAppearanceNameDarkAqua");
}

QPalette palette()
{
    QPalette palette;
    const QColor text = Theme::text();
    palette.setColor(QPalette::Window, Theme::canvas());
    palette.setColor(QPalette::Base, Theme::surface());
    palette.setColor(QPalette::AlternateBase, Theme::raised());
    palette.setColor(QPalette::Button, Theme::elevated());
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Theme::onColour());
    palette.setColor(QPalette::PlaceholderText, Theme::textTertiary());
    palette.setColor(QPalette::ToolTipBase, Theme::elevated());
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, TintPalette::blue().color);
    palette.setColor(QPalette::HighlightedText, TintPalette::blue().onTint);
    palette.setColor(QPalette::Light, Theme::stroke());
    palette.setColor(QPalette::Mid, Theme::elevated());
    palette.setColor(QPalette::Dark, Theme::canvas());
    palette.setColor(QPalette::Disabled, QPalette::Text, Theme::textTertiary());
    palette.setColor(QPalette::Disabled, QPalette::WindowText, Theme::textTertiary());
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, Theme::textTertiary());
    return palette;
}

void apply(QWidget* window)
{
    window->setPalette(palette());
}

} // namespace DarkAppearance
