#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The tracked-time export: the CSV text of the totals and its atomic write.
//
// The text is UTF-8 without a byte-order mark, every line ending in one line
// feed, numbers written with a point whatever the user's locale. Names are
// always quoted with inner quotes doubled, so any name (commas, line breaks,
// quotes, emoji) reads back unchanged through an RFC 4180 reader.
namespace TimeExport {

// One desktop's line: its number, shown name and stored seconds.
struct Row {
    qint64 number = 0;
    QString name;
    double seconds = 0;
};

inline const QString proposedFileName = QStringLiteral("Tessaroom time.csv");
inline const QByteArray header = QByteArrayLiteral("desktop,name,seconds,hours");

// Whole seconds, the fraction dropped; 0 for a value that is negative or not finite.
QByteArray secondsText(double seconds);
// Hours with two decimals, rounded ("1.03"); 0.00 for a value that is negative or not finite.
QByteArray hoursText(double seconds);
QByteArray quoted(const QString& name);
QByteArray csv(const QList<Row>& rows);

// Writes bytes to the file at path through a temporary file that replaces
// it only when complete: on failure nothing is left behind and a file that
// was there is unchanged. Answers none, or a sentence saying what failed.
std::optional<QString> write(const QString& path, const QByteArray& bytes);

} // namespace TimeExport
