#include "support/MakerFeed.h"

#include <QJsonDocument>

QJsonObject makerFeed(const QString& version, qint64 size, const QString& sha256, const QString& origin)
{
    return QJsonObject{
        {QStringLiteral("version"), version},
        {QStringLiteral("released"), QStringLiteral("2026-03-07")},
        {QStringLiteral("dmg"), origin + QStringLiteral("/Tessaroom-") + version + QStringLiteral(".dmg")},
        {QStringLiteral("size"), double(size)},
        {QStringLiteral("sha256"), sha256},
        {QStringLiteral("notes"), origin + QStringLiteral("/notes.html")},
        {QStringLiteral("minOS"), QStringLiteral("14.0")},
    };
}

QByteArray makerFeedBytes(const QJsonObject& feed)
{
    return QJsonDocument(feed).toJson(QJsonDocument::Compact);
}
