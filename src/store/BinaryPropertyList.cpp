#include "store/BinaryPropertyList.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QVariantList>
#include <QVariantMap>

#include <cmath>
#include <cstring>
#include <limits>

namespace BinaryPropertyList {

namespace {

constexpr QByteArrayView magic("bplist00");
constexpr qsizetype trailerSize = 32;
// Seconds from 1970-01-01 to 2001-01-01, the epoch of stored dates.
constexpr double referenceDateOffset = 978307200.0;
// Far beyond any real date, and well inside the 64-bit range.
constexpr double mostMilliseconds = 1e17;
// Shared references can make a small file describe a huge tree.
constexpr int mostValues = 100000;

class Reader {
public:
    explicit Reader(const QByteArray& bytes)
        : bytes_(bytes)
    {
    }

    std::optional<QVariant> read()
    {
        if (bytes_.size() < magic.size() + trailerSize || !bytes_.startsWith(magic))
            return std::nullopt;
        const qsizetype trailer = bytes_.size() - trailerSize;
        offsetSize_ = quint8(bytes_[trailer + 6]);
        refSize_ = quint8(bytes_[trailer + 7]);
        const auto count = unsignedAt(trailer + 8, 8);
        const auto top = unsignedAt(trailer + 16, 8);
        const auto table = unsignedAt(trailer + 24, 8);
        if (!isIntSize(offsetSize_) || !isIntSize(refSize_) || !count || !top || !table)
            return std::nullopt;
        objectCount_ = *count;
        offsetTable_ = *table;
        // The table must fit between the header and the trailer.
        if (objectCount_ == 0 || *top >= objectCount_ || offsetTable_ < quint64(magic.size())
            || offsetTable_ > quint64(trailer) || objectCount_ > (quint64(trailer) - offsetTable_) / offsetSize_)
            return std::nullopt;
        return object(*top);
    }

private:
    static bool isIntSize(int size) { return size == 1 || size == 2 || size == 4 || size == 8; }

    // A big-endian unsigned integer of size bytes at offset.
    std::optional<quint64> unsignedAt(quint64 offset, int size) const
    {
        if (size < 1 || size > 8 || offset > quint64(bytes_.size()) || quint64(bytes_.size()) - offset < quint64(size))
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | quint8(bytes_[qsizetype(offset) + i]);
        return value;
    }

    // Object offsets lie in the objects area, after the header and before the
    // offset table.
    std::optional<quint64> objectOffset(quint64 index) const
    {
        if (index >= objectCount_)
            return std::nullopt;
        const auto offset = unsignedAt(offsetTable_ + index * offsetSize_, offsetSize_);
        if (!offset || *offset < quint64(magic.size()) || *offset >= offsetTable_)
            return std::nullopt;
        return offset;
    }

    // Bytes [offset, offset + length) when they lie before the offset table.
    bool fits(quint64 offset, quint64 length) const
    {
        return offset <= offsetTable_ && offsetTable_ - offset >= length;
    }

    // The element count of a marker: its low nibble, or the integer object
    // that follows when the nibble is 0xF. Moves offset past what was read.
    std::optional<quint64> countAt(quint8 marker, quint64& offset) const
    {
        const quint8 nibble = marker & 0x0F;
        if (nibble != 0x0F)
            return nibble;
        const auto intMarker = unsignedAt(offset, 1);
        if (!intMarker || (*intMarker & 0xF0) != 0x10 || (*intMarker & 0x0F) > 3)
            return std::nullopt;
        const int size = 1 << (*intMarker & 0x0F);
        const auto count = unsignedAt(offset + 1, size);
        if (!count)
            return std::nullopt;
        offset += 1 + size;
        return count;
    }

    // Each object is read once, by its offset: a later reference shares the
    // value read first (Qt's containers and byte arrays share their data), so
    // a file that refers to one big object many times costs its size once.
    // A shared value still counts every value it holds against mostValues, as
    // whoever walks the result meets each of them.
    std::optional<QVariant> object(quint64 index)
    {
        if (int(inProgress_.size()) >= mostNesting)
            return std::nullopt;
        const auto offset = objectOffset(index);
        if (!offset || inProgress_.contains(*offset))
            return std::nullopt;
        if (const auto known = read_.constFind(*offset); known != read_.constEnd()) {
            visited_ += known->values;
            return visited_ <= mostValues ? std::optional<QVariant>(known->value) : std::nullopt;
        }
        const qint64 before = visited_;
        if (++visited_ > mostValues)
            return std::nullopt;
        inProgress_.insert(*offset);
        std::optional<QVariant> value = objectAt(*offset);
        inProgress_.remove(*offset);
        if (value)
            read_.insert(*offset, ReadObject{*value, visited_ - before});
        return value;
    }

    std::optional<QVariant> objectAt(quint64 offset)
    {
        const quint8 marker = quint8(bytes_[qsizetype(offset)]);
        const quint8 nibble = marker & 0x0F;
        quint64 body = offset + 1;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                return QVariant(marker == 0x09);
            return std::nullopt;
        case 0x1:
            return integerAt(nibble, body);
        case 0x2:
            return realAt(nibble, body);
        case 0x3:
            return dateAt(marker, body);
        case 0x8:
            return uidAt(nibble, body);
        case 0x4:
        case 0x5:
        case 0x6:
            return textOrDataAt(marker, body);
        case 0xA:
        case 0xC:
            return arrayAt(marker, body);
        case 0xD:
            return dictAt(marker, body);
        default:
            return std::nullopt;
        }
    }

    // 1, 2 and 4 byte integers are unsigned; 8 byte ones are signed.
    std::optional<QVariant> integerAt(quint8 nibble, quint64 body) const
    {
        if (nibble > 3 || !fits(body, 1u << nibble))
            return std::nullopt;
        return QVariant(qint64(*unsignedAt(body, 1 << nibble)));
    }

    // A keyed archive's object reference, read as a plain integer.
    std::optional<QVariant> uidAt(quint8 nibble, quint64 body) const
    {
        const int size = nibble + 1;
        if (size > 8 || !fits(body, size))
            return std::nullopt;
        return QVariant(qint64(*unsignedAt(body, size)));
    }

    std::optional<QVariant> realAt(quint8 nibble, quint64 body) const
    {
        if ((nibble != 2 && nibble != 3) || !fits(body, 1u << nibble))
            return std::nullopt;
        const quint64 bits = *unsignedAt(body, 1 << nibble);
        if (nibble == 2) {
            float single = 0;
            const auto narrow = quint32(bits);
            std::memcpy(&single, &narrow, sizeof single);
            return QVariant(double(single));
        }
        double number = 0;
        std::memcpy(&number, &bits, sizeof number);
        return QVariant(number);
    }

    std::optional<QVariant> dateAt(quint8 marker, quint64 body) const
    {
        if (marker != 0x33)
            return std::nullopt;
        const auto seconds = realAt(3, body);
        if (!seconds)
            return std::nullopt;
        const double milliseconds = (seconds->toDouble() + referenceDateOffset) * 1000.0;
        if (!std::isfinite(milliseconds) || std::abs(milliseconds) > mostMilliseconds)
            return std::nullopt;
        const QDateTime date = QDateTime::fromMSecsSinceEpoch(qint64(milliseconds), Qt::UTC);
        return date.isValid() ? std::optional<QVariant>(date) : std::nullopt;
    }

    std::optional<QVariant> textOrDataAt(quint8 marker, quint64 body) const
    {
        const auto count = countAt(marker, body);
        const quint64 unitSize = (marker >> 4) == 0x6 ? 2 : 1;
        if (!count || *count > offsetTable_ / unitSize || !fits(body, *count * unitSize))
            return std::nullopt;

        const QByteArray raw = bytes_.mid(qsizetype(body), qsizetype(*count * unitSize));
        switch (marker >> 4) {
        case 0x4:
            return QVariant(raw);
        case 0x5:
            return QVariant(QString::fromLatin1(raw));
        default: {
            QString text(qsizetype(*count), Qt::Uninitialized);
            for (qsizetype i = 0; i < text.size(); ++i)
                text[i] = QChar(char16_t((quint8(raw[2 * i]) << 8) | quint8(raw[2 * i + 1])));
            return QVariant(text);
        }
        }
    }

    // The object references that follow a container's marker.
    std::optional<QList<quint64>> referencesAt(quint64 body, quint64 count) const
    {
        if (count > offsetTable_ / refSize_ || !fits(body, count * refSize_))
            return std::nullopt;
        QList<quint64> references;
        references.reserve(qsizetype(count));
        for (quint64 i = 0; i < count; ++i)
            references << *unsignedAt(body + i * refSize_, refSize_);
        return references;
    }

    std::optional<QVariant> arrayAt(quint8 marker, quint64 body)
    {
        const auto count = countAt(marker, body);
        const auto references = count ? referencesAt(body, *count) : std::nullopt;
        if (!references)
            return std::nullopt;
        QVariantList list;
        for (const quint64 reference : *references) {
            auto item = object(reference);
            if (!item)
                return std::nullopt;
            list << *item;
        }
        return QVariant(list);
    }

    std::optional<QVariant> dictAt(quint8 marker, quint64 body)
    {
        const auto count = countAt(marker, body);
        const auto references = count && *count <= quint64(std::numeric_limits<qsizetype>::max() / 2)
            ? referencesAt(body, *count * 2)
            : std::nullopt;
        if (!references)
            return std::nullopt;
        QVariantMap dict;
        const auto pairs = qsizetype(*count);
        for (qsizetype i = 0; i < pairs; ++i) {
            const auto key = object(references->at(i));
            if (!key || key->typeId() != QMetaType::QString)
                return std::nullopt;
            auto value = object(references->at(pairs + i));
            if (!value)
                return std::nullopt;
            dict.insert(key->toString(), *value);
        }
        return QVariant(dict);
    }

    const QByteArray& bytes_;
    int offsetSize_ = 0;
    int refSize_ = 0;
    quint64 objectCount_ = 0;
    quint64 offsetTable_ = 0;
    struct ReadObject {
        QVariant value;
        // The values it holds, itself included.
        qint64 values = 0;
    };

    qint64 visited_ = 0;
    // Offsets of the objects being read; their count is the depth.
    QSet<quint64> inProgress_;
    // Every object read so far, by offset.
    QHash<quint64, ReadObject> read_;
};

} // namespace

std::optional<QVariant> read(const QByteArray& bytes)
{
    return Reader(bytes).read();
}

} // namespace BinaryPropertyList
