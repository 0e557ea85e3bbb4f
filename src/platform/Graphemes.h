#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// User-perceived characters (extended grapheme clusters): a flag, an emoji
// joined with zero-width joiners, or a letter with its combining marks counts
// as one. Offsets are in UTF-16 code units of the QString. Part of the
// platform, so its menus' cuts keep whole characters too.
namespace platform::Graphemes {

// Every cluster start in order, then text.size(); {0} for the empty text.
QList<qsizetype> boundaries(QStringView text);
// Whether a cluster starts (or the text ends) at offset.
bool isBoundary(QStringView text, qsizetype offset);

QStringList split(const QString& text);
qsizetype count(const QString& text);
// The first / last n clusters (the whole text when it has fewer).
QString first(const QString& text, qsizetype n);
QString last(const QString& text, qsizetype n);

} // namespace platform::Graphemes
