#include "platform/OneLineText.h"

#include "platform/Graphemes.h"

#include <QList>

namespace platform {

namespace {

// Line and paragraph separators break a line as a line feed does.
bool breaksTheLine(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph;
}

} // namespace

QString OneLineText::shown(const QString& text)
{
    QString line;
    line.reserve(text.size());
    bool inRun = false;
    for (const QChar c : text) {
        if (!breaksTheLine(c)) {
            line += c;
            inRun = false;
        } else if (!inRun) {
            line += QLatin1Char(' ');
            inRun = true;
        }
    }
    return line;
}

QString OneLineText::elided(const QString& text, const QFontMetricsF& metrics, double width)
{
    const QString line = shown(text);
    if (metrics.horizontalAdvance(line) <= width)
        return line;
    const QString ellipsis = QStringLiteral("\u2026");
    const QList<qsizetype> cuts = Graphemes::boundaries(line);
    const auto cutAt = [&](qsizetype index) {
        QString kept = line.left(cuts[index]);
        while (!kept.isEmpty() && kept.back().isSpace())
            kept.chop(1);
        return kept + ellipsis;
    };
    // The most graphemes that fit with the "…": the whole line does not, and
    // the "…" alone is the floor.
    qsizetype fits = 0;
    qsizetype fails = cuts.size() - 1;
    while (fails - fits > 1) {
        const qsizetype middle = fits + (fails - fits) / 2;
        if (metrics.horizontalAdvance(cutAt(middle)) <= width)
            fits = middle;
        else
            fails = middle;
    }
    return cutAt(fits);
}

} // namespace platform
