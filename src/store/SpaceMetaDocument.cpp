#include "store/SpaceMetaDocument.h"

#include "store/JsonMembers.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace SpaceMetaDocument {

namespace {

// Room reserved per entry when the document is joined: most entries fit.
constexpr qsizetype typicalEntryBytes = 128;

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
    // The reader keeps only the last of two same-named members.
    if (const auto repeated = JsonMembers::firstRepeatedName(data))
        return Result<SpaceMetaMap>::failure(QStringLiteral("member \"%1\" appears twice").arg(*repeated));
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
    // Inserting members one by one into a QJsonObject costs time in the number
    // already there; the document is joined from its entries instead, in the
    // order QJsonObject keeps (member names in text order).
    std::vector<std::pair<QString, const SpaceMeta*>> members;
    members.reserve(entries.size());
    for (const auto& [id, meta] : entries) {
        if (!std::isfinite(meta.seconds)) {
            return Result<QByteArray>::failure(
                QStringLiteral("tracked time of space %1 is not a finite number").arg(id));
        }
        members.emplace_back(QString::number(id), &meta);
    }
    std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QByteArray document;
    document.reserve(qsizetype(members.size()) * typicalEntryBytes + 2);
    document += '{';
    for (const auto& [name, meta] : members) {
        if (document.size() > 1)
            document += ',';
        // Decimal ids need no escaping.
        document += '"';
        document += name.toLatin1();
        document += "\":";
        document += QJsonDocument(meta->toJson()).toJson(QJsonDocument::Compact);
    }
    document += '}';
    return Result<QByteArray>::success(document);
}

} // namespace SpaceMetaDocument
