#include "store/JsonMembers.h"

#include <QSet>

#include <vector>

namespace JsonMembers {

namespace {

int hexDigit(char character)
{
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'a' && character <= 'f')
        return character - 'a' + 10;
    if (character >= 'A' && character <= 'F')
        return character - 'A' + 10;
    return -1;
}

// The string whose opening quote is at position, decoded; position moves past
// its closing quote. None when the string is not closed or an escape is bad.
std::optional<QString> readString(QByteArrayView json, qsizetype& position)
{
    QString text;
    qsizetype runStart = ++position;
    auto flushRun = [&] { text += QString::fromUtf8(json.sliced(runStart, position - runStart)); };
    while (position < json.size()) {
        const char character = json[position];
        if (character == '"') {
            flushRun();
            ++position;
            return text;
        }
        if (character != '\\') {
            ++position;
            continue;
        }
        flushRun();
        if (position + 1 >= json.size())
            return std::nullopt;
        const char escaped = json[position + 1];
        position += 2;
        switch (escaped) {
        case '"':
        case '\\':
        case '/':
            text += QLatin1Char(escaped);
            break;
        case 'b':
            text += QLatin1Char('\b');
            break;
        case 'f':
            text += QLatin1Char('\f');
            break;
        case 'n':
            text += QLatin1Char('\n');
            break;
        case 'r':
            text += QLatin1Char('\r');
            break;
        case 't':
            text += QLatin1Char('\t');
            break;
        case 'u': {
            if (position + 4 > json.size())
                return std::nullopt;
            char16_t unit = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = hexDigit(json[position + i]);
                if (digit < 0)
                    return std::nullopt;
                unit = char16_t((unit << 4) | digit);
            }
            // Surrogate halves are kept as units, as the reader keeps them.
            text += QChar(unit);
            position += 4;
            break;
        }
        default:
            return std::nullopt;
        }
        runStart = position;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> firstRepeatedName(QByteArrayView json)
{
    // The names seen in each open object; an open array has none.
    std::vector<std::optional<QSet<QString>>> open;
    bool expectName = false;
    qsizetype position = 0;
    while (position < json.size()) {
        switch (json[position]) {
        case '{':
            open.emplace_back(QSet<QString>());
            expectName = true;
            break;
        case '[':
            open.emplace_back(std::nullopt);
            expectName = false;
            break;
        case '}':
        case ']':
            if (!open.empty())
                open.pop_back();
            expectName = false;
            break;
        case ',':
            expectName = !open.empty() && open.back().has_value();
            break;
        case '"': {
            const std::optional<QString> text = readString(json, position);
            if (!text)
                return std::nullopt;
            if (expectName && !open.empty() && open.back()) {
                if (open.back()->contains(*text))
                    return text;
                open.back()->insert(*text);
                expectName = false;
            }
            continue;
        }
        default:
            break;
        }
        ++position;
    }
    return std::nullopt;
}

} // namespace JsonMembers
