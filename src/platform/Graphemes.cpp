#include "platform/Graphemes.h"

#include <unicode/ubrk.h>

#include <memory>

namespace platform::Graphemes {

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
using BreakIteratorPointer = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

// One character iterator per thread: opening one costs far more than using it.
UBreakIterator* iteratorFor(QStringView text)
{
    thread_local BreakIteratorPointer iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        BreakIteratorPointer opened(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        return U_SUCCESS(status) ? std::move(opened) : BreakIteratorPointer();
    }();
    if (!iterator)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(iterator.get(), reinterpret_cast<const UChar*>(text.utf16()),
                 static_cast<int32_t>(text.size()), &status);
    return U_SUCCESS(status) ? iterator.get() : nullptr;
}

// Without ICU every code point stands alone: better than losing text.
QList<qsizetype> codePointBoundaries(QStringView text)
{
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate() || i == 0 || !text.at(i - 1).isHighSurrogate())
            offsets << i;
    }
    offsets << text.size();
    return offsets;
}

} // namespace

QList<qsizetype> boundaries(QStringView text)
{
    if (text.isEmpty())
        return {0};
    UBreakIterator* iterator = iteratorFor(text);
    if (!iterator)
        return codePointBoundaries(text);
    QList<qsizetype> offsets;
    for (int32_t offset = ubrk_first(iterator); offset != UBRK_DONE; offset = ubrk_next(iterator))
        offsets << offset;
    return offsets;
}

bool isBoundary(QStringView text, qsizetype offset)
{
    if (offset <= 0 || offset >= text.size())
        return offset == 0 || offset == text.size();
    UBreakIterator* iterator = iteratorFor(text);
    if (!iterator)
        return codePointBoundaries(text).contains(offset);
    return ubrk_isBoundary(iterator, static_cast<int32_t>(offset)) != 0;
}

QStringList split(const QString& text)
{
    const QList<qsizetype> offsets = boundaries(text);
    QStringList clusters;
    clusters.reserve(offsets.size() - 1);
    for (qsizetype i = 0; i + 1 < offsets.size(); ++i)
        clusters << text.mid(offsets[i], offsets[i + 1] - offsets[i]);
    return clusters;
}

qsizetype count(const QString& text)
{
    return boundaries(text).size() - 1;
}

QString first(const QString& text, qsizetype n)
{
    if (n <= 0)
        return {};
    const QList<qsizetype> offsets = boundaries(text);
    if (n >= offsets.size() - 1)
        return text;
    return text.left(offsets[n]);
}

QString last(const QString& text, qsizetype n)
{
    if (n <= 0)
        return {};
    const QList<qsizetype> offsets = boundaries(text);
    const qsizetype clusters = offsets.size() - 1;
    if (n >= clusters)
        return text;
    return text.mid(offsets[clusters - n]);
}

} // namespace platform::Graphemes
