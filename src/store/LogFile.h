#pragma once

#include <QString>
#include <QtGlobal>

// A plain-text log: one timestamped line per entry, appended to a file and cut
// back to its last whole lines within half its byte limit when it grows past
// that limit. Logging never fails loudly: a file-system error (a full disk)
// loses the entry and nothing else happens; the file keeps exactly the lines
// it had. A file another process keeps locked for longer than
// platform::FileIO::lockWait loses the entry too, with a system-log line.
// Every write goes through platform::AtomicFile (appends, trims and clears),
// so other processes writing the same log take turns with it. A symbolic link
// at the path is never followed: lines are dropped, and the system log says
// so once.
class LogFile {
public:
    static constexpr qint64 defaultLimit = 64000;

    // Touches no file. A limit of 0 or less means the file is never trimmed.
    explicit LogFile(QString path, qint64 limit = defaultLimit);

    QString path() const { return path_; }
    qint64 limit() const { return limit_; }

    // Appends "[<UTC time>] <message>".
    void write(const QString& message) const;
    // Appends the text and a line feed, first trimming a file that is past
    // the limit.
    void append(const QString& text) const;
    // Keeps the last whole lines within limit / 2 bytes: the cut is always
    // right after a line feed, so a line longer than that goes whole. Bytes
    // that are not UTF-8 become U+FFFD. Only the end of the file is read, so
    // a huge log costs no more than a small one.
    void trim() const;
    // Empties the file (creating it when missing).
    void clear() const;
    // The last n characters of the file, or "(no log yet)" when it cannot be
    // read as UTF-8.
    QString tail(qint64 characters) const;

    // The shared logs in the logs folder.
    static LogFile& switches();
    static LogFile& missionControl();
    static LogFile& updates();

    // The logs folder, worked out and created once, on first use.
    static QString directory();

    // "2026-05-01T08:30:05Z" for a time in seconds since 1970.
    static QString timestamp(double secondsSince1970);

private:
    QString path_;
    qint64 limit_;
};
