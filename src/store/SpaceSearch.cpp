#include "store/SpaceSearch.h"

#include "platform/Graphemes.h"
#include "store/Format.h"

#include <QStringView>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <charconv>

namespace SpaceSearch {

namespace {

QChar asciiLower(QChar character)
{
    const char16_t unit = character.unicode();
    return (unit >= u'A' && unit <= u'Z') ? QChar(unit + (u'a' - u'A')) : character;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar character) { return character.unicode() < 0x80; });
}

// Whether a code unit always forms a character of its own. Every grapheme
// rule that joins code units involves a surrogate pair or one of the break
// classes other than Other and Control (CR LF is the only joined controls).
bool standsAlone(QChar character)
{
    const char16_t unit = character.unicode();
    if (unit < 0x80)
        return unit != u'\r';
    if (character.isSurrogate())
        return false;
    const auto breakClass = u_getIntPropertyValue(unit, UCHAR_GRAPHEME_CLUSTER_BREAK);
    return breakClass == U_GCB_OTHER || breakClass == U_GCB_CONTROL;
}

// Texts in which every code unit is one character need no break iterator.
bool isOneUnitPerCharacter(QStringView text)
{
    return std::all_of(text.begin(), text.end(), standsAlone);
}

// Full Unicode lowercasing (one letter may become several; a final sigma
// becomes ς), then the composed form so that canonically equal characters
// compare equal.
QString unicodeLowercased(QStringView text)
{
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const auto length = static_cast<int32_t>(text.size());
    QString lowered(text.size() + 8, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = u_strToLower(reinterpret_cast<UChar*>(lowered.data()), static_cast<int32_t>(lowered.size()),
                                  source, length, "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        lowered.resize(needed);
        status = U_ZERO_ERROR;
        needed = u_strToLower(reinterpret_cast<UChar*>(lowered.data()), needed, source, length, "", &status);
    }
    if (U_FAILURE(status))
        return text.toString().toLower().normalized(QString::NormalizationForm_C);
    lowered.resize(needed);
    return lowered.normalized(QString::NormalizationForm_C);
}

QString lowercased(QStringView text)
{
    if (!isAscii(text))
        return unicodeLowercased(text);
    QString lowered(text.size(), Qt::Uninitialized);
    std::transform(text.begin(), text.end(), lowered.begin(), asciiLower);
    return lowered;
}

// The lowercased text, reusing one buffer per thread for ASCII text (the
// common case while scoring many desktops); other text goes to storage.
QStringView lowercasedView(const QString& text, QString& storage)
{
    if (!isAscii(text)) {
        storage = unicodeLowercased(text);
        return storage;
    }
    thread_local QString buffer;
    buffer.resize(text.size());
    std::transform(text.begin(), text.end(), buffer.begin(), asciiLower);
    return buffer;
}

// A text with its character boundaries, worked out only when some code
// units join into one character.
class CharacterText {
public:
    void assign(QStringView text)
    {
        text_ = text;
        simple_ = isOneUnitPerCharacter(text);
        bounds_ = simple_ ? QList<qsizetype>() : platform::Graphemes::boundaries(text);
    }

    QStringView text() const { return text_; }
    qsizetype count() const { return simple_ ? text_.size() : bounds_.size() - 1; }
    qsizetype offset(qsizetype character) const { return simple_ ? character : bounds_[character]; }
    QStringView character(qsizetype index) const
    {
        return text_.mid(offset(index), offset(index + 1) - offset(index));
    }
    bool characterEquals(qsizetype index, QStringView other) const
    {
        if (simple_)
            return other.size() == 1 && text_[index] == other.front();
        return character(index) == other;
    }
    bool isBoundary(qsizetype offset) const
    {
        return simple_ || std::binary_search(bounds_.begin(), bounds_.end(), offset);
    }

    // Whether the characters of part [start, end) begin with those of query.
    bool hasPrefixAt(qsizetype start, qsizetype end, QStringView query) const
    {
        return end - start >= query.size() && text_.mid(start, query.size()) == query
            && isBoundary(start + query.size());
    }

private:
    QStringView text_;
    bool simple_ = true;
    QList<qsizetype> bounds_;
};

// The query as compared, composed like the lowercased texts. Scoring runs
// over many desktops with one query, so the last one is kept per thread.
struct PreparedQuery {
    QString given;
    QString text;
    CharacterText characters;
    bool ascii = true;
};

const PreparedQuery& prepared(const QString& query)
{
    thread_local PreparedQuery last;
    thread_local bool filled = false;
    if (!filled || last.given != query) {
        filled = true;
        last.given = query;
        last.ascii = isAscii(query);
        last.text = last.ascii ? query : query.normalized(QString::NormalizationForm_C);
        last.characters.assign(last.text);
    }
    return last;
}

bool someWordHasPrefix(const CharacterText& name, QStringView query)
{
    qsizetype wordStart = 0;
    for (qsizetype index = 0; index <= name.count(); ++index) {
        const bool atEnd = index == name.count();
        if (!atEnd && !name.characterEquals(index, u" "))
            continue;
        const qsizetype wordEnd = name.offset(index);
        if (wordEnd > wordStart && name.hasPrefixAt(wordStart, wordEnd, query))
            return true;
        if (!atEnd)
            wordStart = name.offset(index + 1);
    }
    return false;
}

bool containsCharacters(const CharacterText& name, QStringView query)
{
    const QStringView text = name.text();
    for (qsizetype found = text.indexOf(query); found >= 0; found = text.indexOf(query, found + 1)) {
        if (name.isBoundary(found) && name.isBoundary(found + query.size()))
            return true;
    }
    return false;
}

bool matchesNumber(QStringView query, qint64 number)
{
    static constexpr QStringView label = u"desktop ";
    if (query.size() <= label.size() && label.startsWith(query))
        return true;
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, number);
    const QLatin1String digits(buffer, written.ptr);
    if (query == digits)
        return true;
    return query.startsWith(label) && digits.startsWith(query.mid(label.size()));
}

bool containsInOrder(const CharacterText& name, const CharacterText& query)
{
    qsizetype position = 0;
    for (qsizetype wanted = 0; wanted < query.count(); ++wanted) {
        const QStringView character = query.character(wanted);
        while (position < name.count() && !name.characterEquals(position, character))
            ++position;
        if (position == name.count())
            return false;
        ++position;
    }
    return true;
}

// Case-insensitive prefix test of ASCII texts without allocating.
bool asciiLowerHasPrefix(QStringView text, QStringView query)
{
    if (text.size() < query.size())
        return false;
    for (qsizetype i = 0; i < query.size(); ++i) {
        if (asciiLower(text[i]) != query[i])
            return false;
    }
    return true;
}

bool lowercasedHasPrefix(const QString& text, const PreparedQuery& query)
{
    if (isAscii(text)) {
        // Lowercased ASCII stays ASCII, so it cannot start with anything else.
        if (!query.ascii)
            return false;
        if (!text.contains(u'\r'))
            return asciiLowerHasPrefix(text, query.text);
    }
    const QString lowered = lowercased(text);
    CharacterText characters;
    characters.assign(lowered);
    return characters.hasPrefixAt(0, lowered.size(), query.text);
}

std::optional<qsizetype> firstPreparedPrefixMatch(const PreparedQuery& query, const QStringList& texts)
{
    for (qsizetype index = 0; index < texts.size(); ++index) {
        if (lowercasedHasPrefix(texts[index], query))
            return index;
    }
    return std::nullopt;
}

} // namespace

QString normalize(const QString& text)
{
    return lowercased(trimmedBlanks(text));
}

std::optional<int> score(const QString& query, const QString& name, qint64 number, const QStringList& apps)
{
    const PreparedQuery& q = prepared(query);
    QString unicodeName;
    CharacterText n;
    n.assign(lowercasedView(name, unicodeName));
    if (n.text() == q.text)
        return Score::exact;
    if (n.hasPrefixAt(0, n.text().size(), q.text))
        return Score::prefix;
    if (someWordHasPrefix(n, q.text))
        return Score::wordPrefix;
    if (containsCharacters(n, q.text))
        return Score::contains;
    if (matchesNumber(q.text, number))
        return Score::number;
    if (firstPreparedPrefixMatch(q, apps))
        return Score::app;
    if (containsInOrder(n, q.characters))
        return Score::fuzzy;
    return std::nullopt;
}

std::optional<qsizetype> firstPrefixMatch(const QString& query, const QStringList& texts)
{
    return firstPreparedPrefixMatch(prepared(query), texts);
}

} // namespace SpaceSearch
