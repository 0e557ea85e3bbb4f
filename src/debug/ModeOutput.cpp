#include "debug/ModeOutput.h"

#include "platform/Lifetime.h"
#include "platform/Screens.h"
#include "store/LogFile.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <memory>

namespace ModeOutput {

LineSink logSink(const QString& path)
{
    auto log = std::make_shared<LogFile>(path, 0);
    log->clear();
    return [log](const QString& entry) { log->append(entry); };
}

Exit quitApplication()
{
    return [](int status) { QCoreApplication::exit(status); };
}

void keepUntilExit(std::shared_ptr<void> mode)
{
    // Left allocated at exit on purpose.
    static auto* kept = new std::shared_ptr<void>;
    *kept = std::move(mode);
    platform::registerSharedReset([] { kept->reset(); });
}

QString number(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (!std::isfinite(value))
        return text;
    // Exponent forms are written out in full, as a plain decimal.
    if (text.contains(QLatin1Char('e')))
        text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString tuple(const QRectF& rect)
{
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(number(rect.x()), number(rect.y()), number(rect.width()), number(rect.height()));
}

QString screenFrames()
{
    QStringList frames;
    for (const platform::Screen& screen : platform::Screens::screens())
        frames.append(tuple(screen.frame));
    return QLatin1Char('[') + frames.join(QStringLiteral(", ")) + QLatin1Char(']');
}

static QString shortest(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    // Large numbers are written out in full, as the platform's forms do.
    if (std::isfinite(value) && text.contains(QLatin1Char('e')))
        text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    return text;
}

QString rectText(const QRectF& rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(shortest(rect.x()), shortest(rect.y()), shortest(rect.width()), shortest(rect.height()));
}

QString sizeText(const QSizeF& size)
{
    return QStringLiteral("{%1, %2}").arg(shortest(size.width()), shortest(size.height()));
}

std::optional<QString> valueAfter(const QString& flag, const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(flag);
    if (at < 0 || at + 1 >= arguments.size())
        return std::nullopt;
    return arguments.at(at + 1);
}

bool hasFlag(const QString& flag, const QStringList& arguments)
{
    return arguments.contains(flag);
}

} // namespace ModeOutput
