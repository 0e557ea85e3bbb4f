#include "ui/KitFonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>

namespace KitFonts {

namespace {
const QString symbolFontFile =
    QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");

// Font point sizes are resolved against the logical DPI; a size given in
// logical pixels must be converted back.
double logicalDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

QString loadSymbolFamily()
{
    const int id = QFontDatabase::addApplicationFont(symbolFontFile);
    if (id >= 0) {
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            return families.first();
    }
    // Installed fonts are still found through the system's font list.
    const QString installed = QStringLiteral("Material Icons");
    return QFontDatabase::hasFamily(installed) ? installed : QString();
}
} // namespace

void install()
{
    symbolFamily();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setFont(system(13));
}

QString systemFamily()
{
    return QStringLiteral("DejaVu Sans");
}

QString emojiFamily()
{
    return QStringLiteral("Noto Color Emoji");
}

QString symbolFamily()
{
    static const QString family = loadSymbolFamily();
    return family;
}

void setSize(QFont& font, double size)
{
    font.setPointSizeF(size * 72.0 / logicalDpi());
}

QFont system(double size, QFont::Weight weight)
{
    QFont font(systemFamily());
    setSize(font, size);
    font.setWeight(weight);
    return font;
}

QFont emoji(double size)
{
    QFont font;
    font.setFamilies({emojiFamily(), systemFamily()});
    setSize(font, size);
    return font;
}

QFont symbols(double size)
{
    QFont font(symbolFamily());
    setSize(font, size);
    return font;
}

} // namespace KitFonts
