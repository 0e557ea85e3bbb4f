#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QtGlobal>

#include <optional>

// One release announced by the version feed: a small JSON object whose every
// member is required. A document that breaks any rule is unreadable as a
// whole; there is never a partly filled entry.
struct UpdateFeed {
    QString version;  // a dotted version, as the feed wrote it
    QString released; // meant as yyyy-MM-dd; not checked
    QUrl dmg;         // where the disk image is downloaded from
    qint64 size = 0;  // the image's exact length in bytes, at least 1
    QString sha256;   // 64 lower-case hexadecimal digits
    QUrl notes;       // the release notes page
    QString minOS;    // oldest system version the release runs on

    // Which links a feed may send the user to: only ones on host (compared
    // as written, case-sensitively), and over "https" alone when https is set.
    struct Policy {
        QString host{};
        bool https = true;

        bool allows(const QUrl& url) const;
        // The same for a link as written: the host and scheme are read from
        // the text itself, since QUrl lower-cases them.
        bool allows(const QString& urlText) const;
        // The policy of a feed at urlText: its host as written (empty when
        // none), and "https" only when the feed itself is on "https".
        static Policy forFeed(const QString& urlText);
        friend bool operator==(const Policy&, const Policy&) = default;
    };

    // Feeds larger than this are not read at all.
    static constexpr qint64 maximumDocumentBytes = 1 << 20;

    static std::optional<UpdateFeed> parse(const QByteArray& body, const Policy& policy);

    // True when some character is not a hexadecimal digit (0-9, a-f, A-F and
    // their full-width forms count as digits).
    static bool hasNonHexDigit(const QString& text);

    // released as "7 March 2026" in the user's language, or unchanged when it
    // is not a yyyy-MM-dd date.
    QString releasedText() const;

    friend bool operator==(const UpdateFeed&, const UpdateFeed&) = default;
};
