// The delegate's links: checked as text, followed, and what is said about the
// ones that cannot be.
#include "app/AppDelegate.h"

#include "app/AppLink.h"
#include "app/LinkServer.h"
#include "app/LinkText.h"
#include "engine/SpaceEngine.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/Timers.h"

#include <QPointer>
#include <QStringDecoder>

namespace {

const QString linkSymbol = QStringLiteral("link");
// The minute over which lines about links not understood are counted, seconds.
constexpr double notUnderstoodWindow = 60;

// A link, name or page as messages show it: cut, with its controls escaped.
QString shownLink(const QString& text)
{
    return LinkText::shown(text, AppDelegate::shownLinkCharacters);
}

QString oversizedLinkText(qint64 size)
{
    return QStringLiteral("(a link of %1 bytes, more than the %2 KB a link may have)")
        .arg(QString::number(size), QString::number(LinkServer::maxLinkBytes / 1024));
}

// The link bytes received from outside hold; none when the app does not
// understand them, with the text to show and a note on why.
std::optional<AppLink> readLinkBytes(const QByteArray& bytes, QString* text, QString* note)
{
    // The same limit as the link socket's, for links that come another way.
    if (bytes.size() > LinkServer::maxLinkBytes) {
        *text = oversizedLinkText(bytes.size());
        return std::nullopt;
    }
    // Stateless: bytes that stop inside a character are an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder(bytes);
    if (decoder.hasError()) {
        *note = QStringLiteral(" (not UTF-8 text)");
        return std::nullopt;
    }
    // Names are limited once decoded (AppLink::fromURL), so every link
    // "--switch" writes is read back whatever its escapes.
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    std::optional<AppLink> link = AppLink::fromURL(url);
    if (!link)
        *text = url.toString(QUrl::FullyEncoded);
    return link;
}

} // namespace

void AppDelegate::linkFailed(const QString& message)
{
    LogFile::switches().write(QStringLiteral("link: ") + message);
    toast(message, linkSymbol, linkToastDuration);
}

QString AppDelegate::linkNotUnderstood(const QString& text, const QString& note)
{
    const QString shown = shownLink(text) + note;
    logNotUnderstood(QStringLiteral("link not understood: ") + shown);
    const QString message = QStringLiteral("Tessaroom doesn't know the link ") + shown;
    toast(message, linkSymbol, linkToastDuration);
    return message;
}

void AppDelegate::logNotUnderstood(const QString& line)
{
    // A flood of bad links must not push the log's history out.
    const double now = platform::now();
    if (!notUnderstoodMinute_ || now >= *notUnderstoodMinute_ + notUnderstoodWindow) {
        logLeftOutNotUnderstood();
        notUnderstoodMinute_ = now;
        notUnderstoodWritten_ = 0;
    }
    if (notUnderstoodWritten_ < notUnderstoodPerMinute) {
        ++notUnderstoodWritten_;
        LogFile::switches().write(line);
        return;
    }
    if (notUnderstoodLeftOut_++ > 0)
        return;
    QPointer<AppDelegate> self(this);
    runAfter(*notUnderstoodMinute_ + notUnderstoodWindow - now, [self] {
        if (self)
            self->logLeftOutNotUnderstood();
    });
}

void AppDelegate::logLeftOutNotUnderstood()
{
    if (notUnderstoodLeftOut_ == 0)
        return;
    LogFile::switches().write(QStringLiteral("\u2026 and %1 more not understood").arg(notUnderstoodLeftOut_));
    notUnderstoodLeftOut_ = 0;
}

void AppDelegate::handleLinkBytes(const QByteArray& bytes)
{
    QString text;
    QString note;
    if (const std::optional<AppLink> link = readLinkBytes(bytes, &text, &note))
        follow(*link);
    else
        linkNotUnderstood(text, note);
}

std::optional<QString> AppDelegate::refuseLink(const QByteArray& bytes)
{
    QString text;
    QString note;
    if (readLinkBytes(bytes, &text, &note))
        return std::nullopt;
    return linkNotUnderstood(text, note);
}

void AppDelegate::handleOversizedLink(qint64 size)
{
    linkNotUnderstood(oversizedLinkText(size));
}

void AppDelegate::handleLink(const QUrl& url)
{
    const std::optional<AppLink> link = AppLink::fromURL(url);
    if (!link) {
        linkNotUnderstood(url.toString(QUrl::FullyEncoded));
        return;
    }
    follow(*link);
}

void AppDelegate::follow(const AppLink& link)
{
    switch (link.kind()) {
    case AppLink::Kind::number:
        if (const auto desktop = engine_.desktopWithNumber(link.desktopNumber()))
            engine_.switchTo(*desktop, QStringLiteral("link"));
        else
            linkFailed(QStringLiteral("There is no Desktop ") + QString::number(link.desktopNumber()));
        break;
    case AppLink::Kind::named:
        if (const auto desktop = engine_.bestDesktopMatching(link.text()))
            engine_.switchTo(*desktop, QStringLiteral("link"));
        else
            linkFailed(QStringLiteral("No desktop matches \u201C") + shownLink(link.text()) + QStringLiteral("\u201D"));
        break;
    case AppLink::Kind::settingsPage: {
        std::optional<SettingsPage> found;
        for (SettingsPage page : SettingsPages::allCases()) {
            if (SettingsPages::rawValue(page).toLower() == link.text().toLower()) {
                found = page;
                break;
            }
        }
        if (found)
            openSettings(found);
        else
            linkFailed(QStringLiteral("There is no Settings page called \u201C") + shownLink(link.text())
                       + QStringLiteral("\u201D"));
        break;
    }
    case AppLink::Kind::back:
        engine_.jumpBack();
        break;
    case AppLink::Kind::next:
        engine_.step(1);
        break;
    case AppLink::Kind::previous:
        engine_.step(-1);
        break;
    case AppLink::Kind::switcher:
        toggleQuickSwitcher();
        break;
    case AppLink::Kind::popover:
        togglePopover();
        break;
    case AppLink::Kind::hover:
        previewHover();
        break;
    case AppLink::Kind::presentation:
        settings_.changePresenting([](bool& on) { on = !on; });
        break;
    case AppLink::Kind::settings:
        openSettings(std::nullopt);
        break;
    }
}
