#include "update/AppVersion.h"

#include <QStringList>

#include <charconv>
#include <utility>

namespace {

std::optional<qint64> readPiece(const QString& piece)
{
    const QByteArray bytes = piece.toLatin1();
    if (piece.isEmpty() || bytes.size() != piece.size())
        return std::nullopt;
    const char* sign = bytes.constData();
    const char* last = sign + bytes.size();
    // One sign at most, then digits only ("+-0" is no number).
    const char* digits = *sign == '+' || *sign == '-' ? sign + 1 : sign;
    if (digits == last || *digits < '0' || *digits > '9')
        return std::nullopt;
    // from_chars takes a "-" but no "+".
    const char* first = *sign == '+' ? digits : sign;
    qint64 value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

AppVersion::AppVersion(std::vector<qint64> parts)
    : parts_(std::move(parts))
{
}

std::optional<AppVersion> AppVersion::parse(const QString& text)
{
    std::vector<qint64> parts;
    const QStringList pieces = text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    parts.reserve(pieces.size());
    for (const QString& piece : pieces) {
        const auto value = readPiece(piece);
        if (!value)
            return std::nullopt;
        parts.push_back(*value);
    }
    return AppVersion(std::move(parts));
}

QString AppVersion::text() const
{
    QStringList pieces;
    for (const qint64 part : parts_)
        pieces.append(QString::number(part));
    return pieces.join(QLatin1Char('.'));
}

std::strong_ordering operator<=>(const AppVersion& a, const AppVersion& b)
{
    const std::size_t count = std::max(a.parts_.size(), b.parts_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const qint64 left = i < a.parts_.size() ? a.parts_[i] : 0;
        const qint64 right = i < b.parts_.size() ? b.parts_[i] : 0;
        if (left != right)
            return left <=> right;
    }
    return std::strong_ordering::equal;
}
