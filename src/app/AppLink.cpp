#include "app/AppLink.h"

#include <QStringDecoder>
#include <QStringList>

#include <charconv>

namespace {

// The path components after the leading "/", each percent-decoded, joined
// with "/": an escaped "/" stays within its component. None when the decoded
// bytes are not UTF-8 text.
std::optional<QString> decodedPath(const QUrl& url)
{
    QStringList parts;
    for (const QString& part : url.path(QUrl::FullyEncoded).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        // Stateless: bytes that stop inside a character are an error too.
        // A leading U+FEFF is part of the name, not a byte-order mark.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        parts.append(decoder(QByteArray::fromPercentEncoding(part.toLatin1())));
        if (decoder.hasError())
            return std::nullopt;
    }
    return parts.join(QLatin1Char('/'));
}

// The path of a name or page: every "/" escaped, so fromURL reads the text
// back as it was, empty parts and all; the other delimiters a path allows
// stay as they are.
QString encodedPath(const QString& text)
{
    return QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(text, "!$&'()*+,;=:@"));
}

// Characters as Unicode counts them (code points: an emoji such as U+1F600
// is one), so every text within the limit also fits a link's frame.
qsizetype characters(const QString& text)
{
    return text.toUcs4().size();
}

} // namespace

const QHash<QString, AppLink::Kind>& AppLink::keywords()
{
    static const QHash<QString, Kind> table{
        {QStringLiteral("back"), Kind::back},
        {QStringLiteral("next"), Kind::next},
        {QStringLiteral("prev"), Kind::previous},
        {QStringLiteral("switcher"), Kind::switcher},
        {QStringLiteral("popover"), Kind::popover},
        {QStringLiteral("hover"), Kind::hover},
        {QStringLiteral("presentation"), Kind::presentation},
        {QStringLiteral("settings"), Kind::settings},
    };
    return table;
}

std::optional<qint64> AppLink::decimalInteger(const QString& text)
{
    qsizetype start = 0;
    if (text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
        start = 1;
    if (text.size() == start)
        return std::nullopt;
    for (qsizetype i = start; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    // Leading zeros never take a number out of range; from_chars reads the
    // "-" itself, so the smallest value needs no special case.
    const QByteArray signedDigits = text.mid(text.startsWith(QLatin1Char('+')) ? 1 : 0).toLatin1();
    qint64 value = 0;
    const char* last = signedDigits.constData() + signedDigits.size();
    const auto [end, error] = std::from_chars(signedDigits.constData(), last, value);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::optional<AppLink> AppLink::fromURL(const QUrl& url)
{
    const QString urlScheme = url.scheme().toLower();
    if (urlScheme.isEmpty() || (urlScheme != scheme && urlScheme != legacyScheme))
        return std::nullopt;
    const QString host = url.host(QUrl::FullyDecoded).toLower();
    if (host.isEmpty())
        return std::nullopt;
    const std::optional<QString> decoded = decodedPath(url);
    if (!decoded || characters(*decoded) > maxTextLength)
        return std::nullopt;
    const QString& path = *decoded;

    if (host == QLatin1String("switch")) {
        if (path.isEmpty())
            return std::nullopt;
        if (const auto value = decimalInteger(path))
            return number(*value);
        return named(path);
    }
    if (path.isEmpty()) {
        const auto found = keywords().constFind(host);
        if (found != keywords().constEnd())
            return keyword(*found);
    }
    if (host == QLatin1String("settings"))
        return settingsPage(path);
    return std::nullopt;
}

AppLink AppLink::fromArgument(const QString& argument)
{
    if (const auto value = decimalInteger(argument))
        return number(*value);
    return named(argument);
}

QUrl AppLink::url() const
{
    QUrl result;
    result.setScheme(scheme);
    switch (kind_) {
    case Kind::number:
        result.setHost(QStringLiteral("switch"));
        result.setPath(QLatin1Char('/') + QString::number(number_));
        break;
    case Kind::named:
        result.setHost(QStringLiteral("switch"));
        result.setPath(encodedPath(text_), QUrl::StrictMode);
        break;
    case Kind::settingsPage:
        result.setHost(QStringLiteral("settings"));
        result.setPath(encodedPath(text_), QUrl::StrictMode);
        break;
    default:
        for (auto it = keywords().constBegin(); it != keywords().constEnd(); ++it) {
            if (it.value() == kind_)
                result.setHost(it.key());
        }
        break;
    }
    if (!result.isValid())
        return QUrl(scheme + QStringLiteral("://"));
    return result;
}
