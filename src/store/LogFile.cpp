#include "store/LogFile.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "store/Graphemes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

// Text read before the kept part of a log being trimmed, so that a character
// at the cut is seen whole; bytes.
constexpr qint64 contextBytes = 4096;

// The logs folder and the three shared logs, made together on first use.
struct SharedLogs {
    QString directory;
    LogFile switches;
    LogFile missionControl;
    LogFile updates;
};

std::unique_ptr<SharedLogs>& sharedSlot()
{
    static std::unique_ptr<SharedLogs> logs;
    return logs;
}

SharedLogs& shared()
{
    auto& slot = sharedSlot();
    if (!slot) {
        // Made once; a folder that cannot be made is not tried again.
        const QString folder = platform::Folders::logs();
        QDir().mkpath(folder);
        auto in = [&folder](const char* name) { return LogFile(folder + QLatin1Char('/') + QLatin1String(name)); };
        slot.reset(new SharedLogs{folder, in("switches.log"), in("mission-control.log"), in("updates.log")});
        platform::registerSharedReset([] { sharedSlot().reset(); });
    }
    return *slot;
}

// The file read as UTF-8, or none when it cannot be read. `valid` tells
// whether the bytes were well-formed; ill-formed ones decode as U+FFFD.
std::optional<QString> readText(const QString& path, bool* valid)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    *valid = !decoder.hasError();
    return text;
}

// Bytes of the text as UTF-8; a lone surrogate counts as a replacement
// character.
qint64 utf8Size(QStringView text)
{
    qint64 size = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            size += 4;
            ++i;
        } else {
            size += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        }
    }
    return size;
}

// The end of the file, at most keep bytes of UTF-8, starting at a character
// (grapheme cluster) boundary; none when the file cannot be read. Only the
// tail is read, with a little text before it so that the character at the
// cut is recognised.
std::optional<QByteArray> lastBytes(const QString& path, qint64 keep)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    const qint64 start = std::max<qint64>(0, size - keep - contextBytes);
    if (!file.seek(start))
        return std::nullopt;
    const QByteArray bytes = file.read(size - start);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    const bool whole = start == 0;
    // Start on the first byte of a UTF-8 sequence when the read began inside one.
    qsizetype first = 0;
    while (!whole && first < 3 && first < bytes.size() && (quint8(bytes[first]) & 0xC0) == 0x80)
        ++first;
    // Bytes that are not UTF-8 become U+FFFD, so a damaged file is still cut
    // back (and is valid UTF-8 again) instead of growing without bound.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(bytes).sliced(first));
    const QList<qsizetype> offsets = Graphemes::boundaries(text);
    // The first character read may be the end of a longer one: never kept
    // unless the read began at the start of the file.
    const qsizetype firstKeepable = whole ? 0 : 1;
    qsizetype cut = text.size();
    qint64 kept = 0;
    for (qsizetype i = offsets.size() - 2; i >= firstKeepable; --i) {
        kept += utf8Size(QStringView(text).sliced(offsets[i], offsets[i + 1] - offsets[i]));
        if (kept > keep)
            break;
        cut = offsets[i];
    }
    return QStringView(text).sliced(cut).toUtf8();
}

} // namespace

LogFile::LogFile(QString path, qint64 limit)
    : path_(std::move(path))
    , limit_(limit)
{
}

QString LogFile::timestamp(double secondsSince1970)
{
    const auto whole = static_cast<qint64>(std::floor(secondsSince1970));
    return QDateTime::fromSecsSinceEpoch(whole, Qt::UTC).toString(Qt::ISODate);
}

void LogFile::write(const QString& message) const
{
    append(QLatin1Char('[') + timestamp(platform::now()) + QStringLiteral("] ") + message);
}

void LogFile::append(const QString& text) const
{
    if (limit_ >= 1) {
        const QFileInfo info(path_);
        if (info.exists() && info.size() > limit_)
            trim();
    }
    // A line that cannot be written whole is dropped: the file keeps the
    // lines it had.
    (void)platform::AtomicFile::append(path_, text.toUtf8() + '\n');
}

void LogFile::trim() const
{
    // A log made without a limit is never cut, also when asked directly.
    if (limit_ <= 0)
        return;
    // A failed write leaves the file whole and untrimmed.
    if (const std::optional<QByteArray> kept = lastBytes(path_, limit_ / 2))
        (void)platform::AtomicFile::write(path_, *kept);
}

void LogFile::clear() const
{
    (void)platform::AtomicFile::write(path_, QByteArray());
}

QString LogFile::tail(qint64 characters) const
{
    bool valid = true;
    const std::optional<QString> text = readText(path_, &valid);
    if (!text || !valid)
        return QStringLiteral("(no log yet)");
    return Graphemes::last(*text, std::max<qint64>(characters, 0));
}

LogFile& LogFile::switches()
{
    return shared().switches;
}

LogFile& LogFile::missionControl()
{
    return shared().missionControl;
}

LogFile& LogFile::updates()
{
    return shared().updates;
}

QString LogFile::directory()
{
    return shared().directory;
}
