#include "store/Format.h"

#include "platform/Graphemes.h"
#include "platform/SystemInfo.h"

#include <QStringView>

#include <unicode/uchar.h>

#include <cmath>
#include <limits>

namespace {

// 2^63: the first double above the signed 64-bit range.
constexpr double int64Limit = 9223372036854775808.0;

// Whole seconds, truncated toward zero; negative and non-finite amounts are
// no tracked time, and finite values past the 64-bit range stop at its end
// rather than overflowing.
qint64 wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    if (seconds >= int64Limit)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(seconds);
}

// Scalars such as the plain digits carry the emoji property too; only those
// above U+238C count unless they have emoji presentation.
constexpr char32_t lowestTextEmoji = 0x238C;

bool isEmojiScalar(char32_t scalar)
{
    const auto codePoint = static_cast<UChar32>(scalar);
    if (u_hasBinaryProperty(codePoint, UCHAR_EMOJI_PRESENTATION))
        return true;
    return scalar > lowestTextEmoji && u_hasBinaryProperty(codePoint, UCHAR_EMOJI);
}

bool containsEmojiScalar(QStringView cluster)
{
    for (const char32_t scalar : cluster.toUcs4()) {
        if (isEmojiScalar(scalar))
            return true;
    }
    return false;
}

} // namespace

QString Format::duration(double seconds)
{
    const qint64 whole = wholeSeconds(seconds);
    if (whole < 60)
        return QString::number(whole) + QLatin1Char('s');
    if (whole < 3600)
        return QString::number(whole / 60) + QLatin1Char('m');
    return QString::number(whole / 3600) + QStringLiteral("h ") + QString::number(whole % 3600 / 60)
        + QLatin1Char('m');
}

QString emojiOnly(const QString& text)
{
    QString kept;
    for (const QString& cluster : platform::Graphemes::split(text)) {
        if (containsEmojiScalar(cluster))
            kept += cluster;
    }
    return kept;
}

int systemVersion()
{
    static const int version = platform::SystemInfo::operatingSystemMajorVersion();
    return version;
}

QStringView trimmedBlanks(QStringView text)
{
    const auto isBlank = [](QChar character) {
        return character == u'\t' || character.category() == QChar::Separator_Space;
    };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}
