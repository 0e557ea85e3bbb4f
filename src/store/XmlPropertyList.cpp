#include "store/XmlPropertyList.h"

#include <QDateTime>
#include <QVariantList>
#include <QVariantMap>
#include <QXmlStreamReader>

namespace XmlPropertyList {

namespace {

// One reading: the XML and how deep its containers are nested here.
struct Reading {
    QXmlStreamReader reader;
    int depth = 0;
};

std::optional<QVariant> readValue(Reading& reading);

std::optional<QVariant> readDict(Reading& reading)
{
    QXmlStreamReader& reader = reading.reader;
    QVariantMap dict;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("key"))
            return std::nullopt;
        const QString key = reader.readElementText();
        if (reader.hasError() || !reader.readNextStartElement())
            return std::nullopt;
        std::optional<QVariant> value = readValue(reading);
        if (!value)
            return std::nullopt;
        dict.insert(key, *value);
    }
    return reader.hasError() ? std::nullopt : std::optional<QVariant>(dict);
}

std::optional<QVariant> readArray(Reading& reading)
{
    QXmlStreamReader& reader = reading.reader;
    QVariantList array;
    while (reader.readNextStartElement()) {
        std::optional<QVariant> value = readValue(reading);
        if (!value)
            return std::nullopt;
        array.append(*value);
    }
    return reader.hasError() ? std::nullopt : std::optional<QVariant>(array);
}

std::optional<QVariant> readScalar(Reading& reading)
{
    QXmlStreamReader& reader = reading.reader;
    const QString kind = reader.name().toString();
    const QString text = reader.readElementText();
    if (reader.hasError())
        return std::nullopt;
    bool ok = true;
    QVariant value;
    if (kind == QLatin1String("string")) {
        value = text;
    } else if (kind == QLatin1String("integer")) {
        value = text.trimmed().toLongLong(&ok);
    } else if (kind == QLatin1String("real")) {
        value = text.trimmed().toDouble(&ok);
    } else if (kind == QLatin1String("true") || kind == QLatin1String("false")) {
        ok = text.trimmed().isEmpty();
        value = kind == QLatin1String("true");
    } else if (kind == QLatin1String("data")) {
        auto decoded = QByteArray::fromBase64Encoding(text.simplified().remove(QLatin1Char(' ')).toLatin1(),
            QByteArray::AbortOnBase64DecodingErrors);
        ok = bool(decoded);
        value = *decoded;
    } else if (kind == QLatin1String("date")) {
        const QDateTime date = QDateTime::fromString(text.trimmed(), Qt::ISODate);
        ok = date.isValid();
        value = date;
    } else {
        ok = false;
    }
    return ok ? std::optional<QVariant>(value) : std::nullopt;
}

// Reads the element the reader stands on, leaving it on that element's end.
std::optional<QVariant> readValue(Reading& reading)
{
    const QStringView name = reading.reader.name();
    if (name != QLatin1String("dict") && name != QLatin1String("array"))
        return readScalar(reading);
    if (reading.depth >= mostNesting)
        return std::nullopt;
    ++reading.depth;
    std::optional<QVariant> value = name == QLatin1String("dict") ? readDict(reading) : readArray(reading);
    --reading.depth;
    return value;
}

// Moves to the first element; false at the end or at entity declarations.
bool readToFirstElement(QXmlStreamReader& reader)
{
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isDTD() && !reader.entityDeclarations().isEmpty())
            return false;
        if (reader.isStartElement())
            return true;
    }
    return false;
}

} // namespace

std::optional<QVariant> read(const QByteArray& bytes)
{
    Reading reading{.reader = QXmlStreamReader(bytes)};
    QXmlStreamReader& reader = reading.reader;
    if (!readToFirstElement(reader))
        return std::nullopt;
    // The value sits inside <plist>; a bare value element is read as well.
    if (reader.name() == QLatin1String("plist") && !reader.readNextStartElement())
        return std::nullopt;
    std::optional<QVariant> value = readValue(reading);
    if (!value)
        return std::nullopt;
    // Nothing but the closing tags may follow.
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() || (reader.isCharacters() && !reader.isWhitespace()))
            return std::nullopt;
    }
    return reader.hasError() ? std::nullopt : value;
}

} // namespace XmlPropertyList
