#include "UpdateTest.h"

#include "platform/sim/Bundle.h"
#include "platform/sim/CodeSigning.h"
#include "platform/sim/SystemVersion.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "support/MakerFeed.h"
#include "support/TestProcesses.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

std::unique_ptr<UrlTransfer> CountingLoader::start(const UrlRequest& request, UrlTransferHandlers handlers)
{
    handlers.data = [this, data = std::move(handlers.data)](QByteArrayView bytes) {
        received_ += bytes.size();
        if (data)
            data(bytes);
    };
    return inner_.start(request, std::move(handlers));
}

// --- archives ---

bool writeArchive(const QString& path, const std::vector<ArchiveEntry>& entries)
{
    archive* out = archive_write_new();
    archive_write_set_format_pax_restricted(out);
    bool written = archive_write_open_filename(out, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const ArchiveEntry& one : entries) {
        if (!written)
            break;
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, QFile::encodeName(one.path).constData());
        archive_entry_set_mtime(entry, 1700000000, 0);
        switch (one.kind) {
        case ArchiveEntry::Kind::file: archive_entry_set_filetype(entry, AE_IFREG); break;
        case ArchiveEntry::Kind::folder: archive_entry_set_filetype(entry, AE_IFDIR); break;
        case ArchiveEntry::Kind::link:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, QFile::encodeName(one.target).constData());
            break;
        case ArchiveEntry::Kind::pipe: archive_entry_set_filetype(entry, AE_IFIFO); break;
        case ArchiveEntry::Kind::characterDevice:
            archive_entry_set_filetype(entry, AE_IFCHR);
            archive_entry_set_rdevmajor(entry, 1);
            archive_entry_set_rdevminor(entry, 3);
            break;
        }
        archive_entry_set_perm(entry, mode_t(one.mode));
        if (one.kind == ArchiveEntry::Kind::file) {
            const qint64 size = std::max<qint64>(one.apparentSize, one.data.size());
            archive_entry_set_size(entry, size);
            if (size > one.data.size())
                archive_entry_sparse_add_entry(entry, 0, one.data.size());
        }
        written = archive_write_header(out, entry) == ARCHIVE_OK
            && (one.data.isEmpty() || archive_write_data(out, one.data.constData(), std::size_t(one.data.size())) == one.data.size());
        if (!written)
            ADD_FAILURE() << one.path.toStdString() << ": " << (archive_error_string(out) ? archive_error_string(out) : "?");
        archive_entry_free(entry);
    }
    written = archive_write_close(out) == ARCHIVE_OK && written;
    archive_write_free(out);
    return written;
}

std::vector<ArchiveEntry> archiveEntriesOf(const QString& folder)
{
    std::vector<QString> paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.push_back(it.next());
    std::sort(paths.begin(), paths.end());
    std::vector<ArchiveEntry> entries;
    for (const QString& path : paths) {
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        ArchiveEntry entry{.path = QDir(folder).relativeFilePath(path), .mode = int(info.st_mode & 07777)};
        if (S_ISDIR(info.st_mode)) {
            entry.kind = ArchiveEntry::Kind::folder;
        } else if (S_ISLNK(info.st_mode)) {
            entry.kind = ArchiveEntry::Kind::link;
            std::error_code error;
            entry.target = QFile::decodeName(QByteArray::fromStdString(
                std::filesystem::read_symlink(QFile::encodeName(path).toStdString(), error).string()));
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            entry.data = file.readAll();
        }
        entries.push_back(entry);
    }
    return entries;
}

const QString UpdateTest::makerTeam = QStringLiteral("4HN7QX2LPD");

UpdateTest::UpdateTest()
{
    QDir(home()).mkpath(QStringLiteral("tmp"));
    qputenv("TMPDIR", temporaryFolder().toUtf8());
    qunsetenv("TESSAROOM_UPDATE_FEED");
    platform::sim::setBundleShortVersion(QStringLiteral("1.2"));
    platform::sim::setOperatingSystemVersion({14, 6, 1});
    // Made here, by the library the signing tool uses: every test needs the
    // maker's key, and starting the tool costs more than most tests do.
    maker_ = teamWithKey(makerTeam, platform::CodeSignature::generateKey(), true);
}

UpdateTest::~UpdateTest()
{
    qunsetenv("TESSAROOM_UPDATE_FEED");
    qunsetenv("TMPDIR");
}

Team UpdateTest::makeTeam(const QString& id, bool pinned)
{
    const QList<QByteArray> keys =
        TestProcesses::run(QStringLiteral(TESSAROOM_SIGN_TOOL), {QStringLiteral("keygen")}).output.trimmed().split(' ');
    return teamWithKey(id, {QByteArray::fromBase64(keys.value(0)), QByteArray::fromBase64(keys.value(1))}, pinned);
}

Team UpdateTest::teamWithKey(const QString& id, const platform::CodeSignature::SigningKey& key, bool pinned)
{
    Team team;
    team.id = id;
    team.key = key;
    team.keyFile = QDir(home()).filePath(QStringLiteral("key-%1-%2").arg(id).arg(QRandomGenerator::global()->generate()));
    QFile file(team.keyFile);
    file.open(QIODevice::WriteOnly);
    file.write(key.privateKey.toBase64());
    if (pinned)
        platform::sim::pinTeamKey(id, team.key.publicKey);
    return team;
}

bool UpdateTest::sign(const QString& path, const Team& team)
{
    const TestProcesses::Ran ran =
        TestProcesses::run(QStringLiteral(TESSAROOM_SIGN_TOOL), {QStringLiteral("sign"), team.keyFile, team.id, path});
    if (ran.exitCode != 0) {
        ADD_FAILURE() << "signing failed: " << ran.errors.toStdString();
        return false;
    }
    return true;
}

QString UpdateTest::makeImage(const QString& name, qint64 payloadBytes, const Team* team)
{
    const QString path = QDir(home()).filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray chunk(1 << 16, '\0');
    QRandomGenerator random(42);
    for (qint64 left = payloadBytes; left > 0; left -= chunk.size()) {
        random.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        file.write(chunk.constData(), std::min<qint64>(left, chunk.size()));
    }
    file.close();
    if (team)
        sign(path, *team);
    return path;
}

QJsonObject UpdateTest::feedObject(const QString& origin, const QString& version, const QString& imagePath)
{
    const qint64 size = imagePath.isEmpty() ? 1 : QFileInfo(imagePath).size();
    const QString digest = imagePath.isEmpty() ? QString(64, QLatin1Char('0')) : Updates::sha256Hex(imagePath).value_or(QString());
    return makerFeed(version, size, digest, origin);
}

QByteArray UpdateTest::json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool UpdateTest::settle(const bool& done)
{
    return waitUntil([&] {
        clock().runPending();
        return done;
    });
}

QString UpdateTest::temporaryFolder() const
{
    return QDir(home()).filePath(QStringLiteral("tmp"));
}

QStringList UpdateTest::temporaryImages() const
{
    return QDir(temporaryFolder()).entryList({QStringLiteral("Tessaroom-*")}, QDir::Files | QDir::Hidden);
}

QStringList UpdateTest::storedImages() const
{
    return QDir(Updates::updatesFolder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

QStringList UpdateTest::logLines() const
{
    QFile file(LogFile::updates().path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype close = line.indexOf("] ");
        lines.append(QString::fromUtf8(close >= 0 ? line.mid(close + 2) : line));
    }
    return lines;
}

// --- served updates ----------------------------------------------------------------------

ServedUpdateTest::ServedUpdateTest()
    : server_(GetParam() ? std::optional(LoopbackServer::testTls()) : std::nullopt)
    , loader_(NetworkUrlLoader::Options{.extraAuthorities = {LoopbackServer::testAuthority()}})
    , counting_(loader_)
    , updates_(Settings::shared(), counting_)
{
    qputenv("TESSAROOM_UPDATE_FEED", (server_.origin() + QStringLiteral("/update.json")).toUtf8());
}

QString ServedUpdateTest::imagePathFor(const QString& version)
{
    return QStringLiteral("/Tessaroom-") + version + QStringLiteral(".dmg");
}

void ServedUpdateTest::serve(const QString& version, const QString& image,
                             const std::function<void(QJsonObject&)>& change, LoopbackServer::Route imageRoute)
{
    QJsonObject feed = feedObject(server_.origin(), version, image);
    if (change)
        change(feed);
    server_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = json(feed)});
    QFile file(image);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << image.toStdString();
    imageRoute.body = file.readAll();
    server_.setRoute(imagePathFor(version), imageRoute);
}

QString ServedUpdateTest::checkNow()
{
    std::optional<QString> outcome;
    updates_.check([&](const QString& text) { outcome = text; });
    EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); })) << "the check never ended";
    return outcome.value_or(QString());
}

Updates::Phase ServedUpdateTest::downloadNow()
{
    bool done = false;
    updates_.download([&] { done = true; });
    EXPECT_TRUE(settle(done)) << "the download never ended";
    return updates_.phase();
}
