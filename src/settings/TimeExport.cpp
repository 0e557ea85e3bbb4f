#include "settings/TimeExport.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

namespace TimeExport {

namespace {

double usable(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0;
}

QString failure(const QString& path, const QString& reason)
{
    const QFileInfo info(path);
    return QStringLiteral("\u201c%1\u201d could not be saved in the folder \u201c%2\u201d: %3")
        .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()), reason);
}

} // namespace

QByteArray secondsText(double seconds)
{
    // Truncation toward zero. 2^63 and above do not fit a qint64: clamped
    // before the conversion. QByteArray::number never uses the locale.
    constexpr double beyondLargest = 9223372036854775808.0; // 2^63
    const double whole = std::trunc(usable(seconds));
    return QByteArray::number(whole >= beyondLargest ? std::numeric_limits<qint64>::max() : static_cast<qint64>(whole));
}

QByteArray hoursText(double seconds)
{
    // to_chars with a precision is "%.2f" in the C locale: the exact binary
    // value rounded, so a tie such as 0.125 goes to the even digit ("0.12").
    // QByteArray::number would round it away from zero.
    char text[400]; // the largest double has 309 integer digits
    const auto [end, error] = std::to_chars(std::begin(text), std::end(text), usable(seconds) / 3600.0,
                                            std::chars_format::fixed, 2);
    return error == std::errc() ? QByteArray(text, end - text) : QByteArrayLiteral("0.00");
}

QByteArray quoted(const QString& name)
{
    QByteArray text = name.toUtf8();
    text.replace('"', QByteArrayLiteral("\"\""));
    return '"' + text + '"';
}

QByteArray csv(const QList<Row>& rows)
{
    QByteArray text;
    text.reserve(header.size() + 1 + rows.size() * 40);
    text += header;
    text += '\n';
    for (const Row& row : rows) {
        text += QByteArray::number(row.number);
        text += ',';
        text += quoted(row.name);
        text += ',';
        text += secondsText(row.seconds);
        text += ',';
        text += hoursText(row.seconds);
        text += '\n';
    }
    return text;
}

std::optional<QString> write(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return QStringLiteral("No file was chosen.");
    const QFileInfo info(path);
    if (info.isDir())
        return failure(path, QStringLiteral("a folder of that name is in the way."));
    if (!info.dir().exists())
        return failure(path, QStringLiteral("the folder does not exist."));
    if (const auto error = platform::AtomicFile::write(path, bytes))
        return failure(path, *error + QLatin1Char('.'));
    return std::nullopt;
}

} // namespace TimeExport
