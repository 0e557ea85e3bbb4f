#include "update/UpdateFeed.h"

#include "store/JsonNumbers.h"
#include "update/AppVersion.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

qsizetype indexOfSeparator(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('/') || c == QLatin1Char('?') || c == QLatin1Char('#'))
            return i;
    }
    return -1;
}

struct WrittenUrl {
    QString scheme; // as written, empty when there is none
    std::optional<QString> host;
};

// The scheme and host of a link exactly as written.
WrittenUrl readWritten(const QString& text)
{
    WrittenUrl written;
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const qsizetype firstSeparator = indexOfSeparator(text);
    QString rest = text;
    if (colon > 0 && (firstSeparator < 0 || colon < firstSeparator)) {
        written.scheme = text.left(colon);
        rest = text.mid(colon + 1);
    }
    if (!rest.startsWith(QLatin1String("//")))
        return written;
    QString authority = rest.mid(2);
    const qsizetype end = indexOfSeparator(authority);
    if (end >= 0)
        authority.truncate(end);
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0)
        authority = authority.mid(at + 1);
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        authority = close >= 0 ? authority.left(close + 1) : authority;
    } else {
        const qsizetype portColon = authority.lastIndexOf(QLatin1Char(':'));
        if (portColon >= 0)
            authority.truncate(portColon);
    }
    if (!authority.isEmpty())
        written.host = authority;
    return written;
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'))
        return true;
    // Full-width digits and letters.
    return (u >= 0xFF10 && u <= 0xFF19) || (u >= 0xFF41 && u <= 0xFF46) || (u >= 0xFF21 && u <= 0xFF26);
}

std::optional<QString> text(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QString> versionText(const QJsonObject& object, const char* key)
{
    auto value = text(object, key);
    if (!value || !AppVersion::parse(*value))
        return std::nullopt;
    return value;
}

std::optional<QUrl> link(const QJsonObject& object, const char* key, const UpdateFeed::Policy& policy)
{
    const auto value = text(object, key);
    if (!value)
        return std::nullopt;
    const QUrl url(*value, QUrl::StrictMode);
    if (value->isEmpty() || !url.isValid() || !policy.allows(*value))
        return std::nullopt;
    return url;
}

} // namespace

bool UpdateFeed::Policy::allows(const QString& urlText) const
{
    const WrittenUrl written = readWritten(urlText);
    if (!written.host || *written.host != host)
        return false;
    if (written.scheme == QLatin1String("https"))
        return true;
    return !https && written.scheme == QLatin1String("http");
}

UpdateFeed::Policy UpdateFeed::Policy::forFeed(const QString& urlText)
{
    const WrittenUrl written = readWritten(urlText);
    return Policy{.host = written.host.value_or(QString()), .https = written.scheme == QLatin1String("https")};
}

bool UpdateFeed::Policy::allows(const QUrl& url) const
{
    return allows(url.toString(QUrl::FullyEncoded));
}

std::optional<UpdateFeed> UpdateFeed::parse(const QByteArray& body, const Policy& policy)
{
    if (body.size() > maximumDocumentBytes)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    UpdateFeed feed;
    const auto version = versionText(object, "version");
    if (!version)
        return std::nullopt;
    feed.version = *version;
    const auto released = text(object, "released");
    if (!released)
        return std::nullopt;
    feed.released = *released;
    const auto dmg = link(object, "dmg", policy);
    if (!dmg)
        return std::nullopt;
    feed.dmg = *dmg;
    const auto size = JsonNumbers::exactInteger(object.value(QLatin1String("size")));
    if (!size || *size < 1)
        return std::nullopt;
    feed.size = *size;
    const auto digest = text(object, "sha256");
    if (!digest)
        return std::nullopt;
    feed.sha256 = digest->toLower();
    if (feed.sha256.size() != 64 || hasNonHexDigit(feed.sha256))
        return std::nullopt;
    const auto notes = link(object, "notes", policy);
    if (!notes)
        return std::nullopt;
    feed.notes = *notes;
    const auto minOS = versionText(object, "minOS");
    if (!minOS)
        return std::nullopt;
    feed.minOS = *minOS;
    return feed;
}

bool UpdateFeed::hasNonHexDigit(const QString& text)
{
    for (const QChar c : text) {
        if (!isHexDigit(c))
            return true;
    }
    return false;
}

QString UpdateFeed::releasedText() const
{
    const QDate date = QLocale::c().toDate(released, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return released;
    return QLocale().toString(date, QStringLiteral("d MMMM yyyy"));
}
