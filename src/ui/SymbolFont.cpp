#include "ui/SymbolFont.h"

#include "ui/KitFonts.h"

#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>

namespace SymbolFont {

namespace {
constexpr int shapingPixelSize = 100;

std::optional<Outline> shape(const QString& ligature)
{
    const QString family = KitFonts::symbolFamily();
    if (family.isEmpty())
        return std::nullopt;
    QFont font(family);
    font.setPixelSize(shapingPixelSize);
    QTextLayout layout(ligature, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs.first().glyphIndexes().size() != 1)
        return std::nullopt;

    const QRawFont raw = runs.first().rawFont();
    if (raw.familyName() != family)
        return std::nullopt;
    const quint32 glyph = runs.first().glyphIndexes().first();
    const double width = raw.advancesForGlyphIndexes({glyph}).value(0).x();
    const double height = raw.ascent() + raw.descent();
    if (width <= 0 || height <= 0)
        return std::nullopt;

    QTransform toUnit;
    toUnit.scale(1 / width, 1 / height);
    toUnit.translate(0, raw.ascent());
    return Outline{toUnit.map(raw.pathForGlyph(glyph)), width / height};
}
} // namespace

std::optional<Outline> outline(const QString& ligature)
{
    static QHash<QString, std::optional<Outline>> shaped;
    const auto found = shaped.constFind(ligature);
    if (found != shaped.constEnd())
        return *found;
    const std::optional<Outline> result = shape(ligature);
    shaped.insert(ligature, result);
    return result;
}

} // namespace SymbolFont
