#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// A version feed as the maker's host serves it, for tests that build one:
// the image "<origin>/Tessaroom-<version>.dmg" of size bytes with digest
// sha256 (hex), released 2026-03-07, notes at "<origin>/notes.html", for
// macOS 14.0 on. A test changes single fields from there.
QJsonObject makerFeed(const QString& version, qint64 size = 4, const QString& sha256 = QString(64, QLatin1Char('0')),
                      const QString& origin = QStringLiteral("https://updates.tessaroom.app"));
// The feed's bytes, compact.
QByteArray makerFeedBytes(const QJsonObject& feed);
