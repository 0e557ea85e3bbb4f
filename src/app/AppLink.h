#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

#include <optional>

// A link the app follows: tessaroom://switch/3, tessaroom://switch/Mail,
// tessaroom://settings/shortcuts, tessaroom://next and the other keyword
// hosts. The earlier product's scheme "quorvelin" is read too, never built.
// Scheme and host are case-insensitive; the path keeps its case.
class AppLink {
public:
    enum class Kind {
        number,       // switch to the desktop with this number
        named,        // switch to the desktop whose name matches best
        settingsPage, // open the settings window on a page
        back,
        next,
        previous,
        switcher,
        popover,
        hover,
        presentation,
        settings,
    };

    // A name or settings page longer than this many characters (Unicode code
    // points), decoded, is no link anyone sends: it is not understood. url()
    // writes longer ones all the same, and fromURL refuses them. Within it a
    // link, escapes and all, stays far below the link socket's frame limit.
    static constexpr qsizetype maxTextLength = 1000;

    static inline const QString scheme = QStringLiteral("tessaroom");
    static inline const QString legacyScheme = QStringLiteral("quorvelin");

    static AppLink number(qint64 number) { return AppLink(Kind::number, number, {}); }
    static AppLink named(const QString& text) { return AppLink(Kind::named, 0, text); }
    static AppLink settingsPage(const QString& name) { return AppLink(Kind::settingsPage, 0, name); }
    // One of the payload-free kinds.
    static AppLink keyword(Kind kind) { return AppLink(kind, 0, {}); }

    // The eight keyword hosts: "back", "next", "prev", "switcher", "popover",
    // "hover", "presentation", "settings".
    static const QHash<QString, Kind>& keywords();

    // None when the URL is not one of the app's links, its decoded path is
    // longer than maxTextLength, or it does not decode to UTF-8 text. Reads
    // back every link url() writes within that length.
    static std::optional<AppLink> fromURL(const QUrl& url);
    // A bare command-line argument: a number when it is a decimal integer,
    // else the text as a name.
    static AppLink fromArgument(const QString& argument);
    // "+2", "-1", "007" but not "2.0", " 2" or anything beyond 64 bits.
    static std::optional<qint64> decimalInteger(const QString& text);

    QUrl url() const;

    Kind kind() const { return kind_; }
    qint64 desktopNumber() const { return number_; }
    // The name of a named link or the page of a settings-page link.
    const QString& text() const { return text_; }

    bool operator==(const AppLink&) const = default;

private:
    AppLink(Kind kind, qint64 number, QString text)
        : kind_(kind)
        , number_(number)
        , text_(std::move(text))
    {
    }

    Kind kind_;
    qint64 number_;
    QString text_;
};
