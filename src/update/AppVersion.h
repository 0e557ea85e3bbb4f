#pragma once

#include <QString>
#include <QtGlobal>

#include <compare>
#include <optional>
#include <vector>

// A dotted version number such as 1.2 or 14.6.1. Missing trailing parts count
// as 0, so 1.2 equals 1.2.0; 1.10 is above 1.9.
class AppVersion {
public:
    // None unless every "."-separated piece is a non-negative 64-bit decimal
    // (one leading "+" allowed); an empty piece (1..2, 1., the empty text), an
    // overflow or a minus sign before a non-zero number makes it unreadable.
    static std::optional<AppVersion> parse(const QString& text);

    const std::vector<qint64>& parts() const { return parts_; }
    // The parts joined with "." (01.2 prints as 1.2).
    QString text() const;

    friend std::strong_ordering operator<=>(const AppVersion& a, const AppVersion& b);
    friend bool operator==(const AppVersion& a, const AppVersion& b) { return (a <=> b) == 0; }

private:
    explicit AppVersion(std::vector<qint64> parts);
    std::vector<qint64> parts_;
};
