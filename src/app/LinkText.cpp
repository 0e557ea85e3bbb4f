#include "app/LinkText.h"

#include <algorithm>

namespace LinkText {

QString escapedControls(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        switch (code) {
        case u'\0': result += QLatin1String("\\0"); continue;
        case u'\t': result += QLatin1String("\\t"); continue;
        case u'\n': result += QLatin1String("\\n"); continue;
        case u'\r': result += QLatin1String("\\r"); continue;
        default: break;
        }
        if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
        else if (code == 0x2028 || code == 0x2029)
            result += QStringLiteral("\\u%1").arg(uint(code), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

QString shown(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return escapedControls(text);
    qsizetype cut = std::max<qsizetype>(limit, 0);
    if (cut > 0 && text[cut - 1].isHighSurrogate())
        --cut;
    return escapedControls(QStringView(text).left(cut)) + QStringLiteral("\u2026");
}

} // namespace LinkText
