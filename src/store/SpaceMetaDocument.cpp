#include "store/SpaceMetaDocument.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace SpaceMetaDocument {

namespace {

bool isAsciiDigit(QChar character)
{
    return character >= QLatin1Char('0') && character <= QLatin1Char('9');
}

// A decimal integer with an optional minus sign and nothing else: no plus
// sign, blanks, fraction or exponent.
std::optional<qint64> spaceId(const QString& memberName)
{
    const qsizetype digitsStart = memberName.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (memberName.size() == digitsStart)
        return std::nullopt;
    for (qsizetype i = digitsStart; i < memberName.size(); ++i) {
        if (!isAsciiDigit(memberName.at(i)))
            return std::nullopt;
    }
    bool inRange = false;
    const qint64 id = memberName.toLongLong(&inRange, 10);
    if (!inRange)
        return std::nullopt;
    return id;
}

QString entryError(const QString& memberName, const QString& reason)
{
    return QStringLiteral("entry \"%1\": %2").arg(memberName, reason);
}

} // namespace

Result<SpaceMetaMap> decode(const QByteArray& data)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Result<SpaceMetaMap>::failure(QStringLiteral("not JSON: ") + parseError.errorString());
    if (!document.isObject())
        return Result<SpaceMetaMap>::failure(QStringLiteral("the top level is not an object"));
    const QJsonObject object = document.object();
    SpaceMetaMap entries;
    for (auto member = object.constBegin(); member != object.constEnd(); ++member) {
        const auto id = spaceId(member.key());
        if (!id)
            return Result<SpaceMetaMap>::failure(entryError(member.key(), QStringLiteral("not a decimal space id")));
        auto meta = SpaceMeta::fromJson(member.value());
        if (!meta)
            return Result<SpaceMetaMap>::failure(entryError(member.key(), meta.error()));
        // "7" and "07" name the same desktop; picking one would drop the other.
        if (!entries.emplace(*id, std::move(meta).value()).second)
            return Result<SpaceMetaMap>::failure(entryError(member.key(), QStringLiteral("space id appears twice")));
    }
    return Result<SpaceMetaMap>::success(std::move(entries));
}

Result<QByteArray> encode(const SpaceMetaMap& entries)
{
    QJsonObject object;
    for (const auto& [id, meta] : entries) {
        if (!std::isfinite(meta.seconds)) {
            return Result<QByteArray>::failure(
                QStringLiteral("tracked time of space %1 is not a finite number").arg(id));
        }
        object.insert(QString::number(id), meta.toJson());
    }
    return Result<QByteArray>::success(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace SpaceMetaDocument
