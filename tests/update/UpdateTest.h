#pragma once

#include "platform/CodeSignature.h"
#include "support/LoopbackServer.h"
#include "support/PlatformTest.h"
#include "support/ScriptedLoader.h"
#include "update/NetworkUrlLoader.h"
#include "update/UpdateFeed.h"
#include "update/Updates.h"
#include "update/UrlLoader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Hands transfers to another loader, counting the body bytes they deliver.
class CountingLoader final : public UrlLoader {
public:
    explicit CountingLoader(UrlLoader& inner)
        : inner_(inner)
    {
    }
    std::unique_ptr<UrlTransfer> start(const UrlRequest& request, UrlTransferHandlers handlers) override;
    qint64 received() const { return received_; }

private:
    UrlLoader& inner_;
    qint64 received_ = 0;
};

// One entry of an image's archive, written as it is: the image tool must
// cope with whatever an image holds.
struct ArchiveEntry {
    enum class Kind { file, folder, link, pipe, characterDevice };
    QString path;
    Kind kind = Kind::file;
    int mode = 0644;          // permission bits, special bits included
    QByteArray data{};        // a file's bytes
    qint64 apparentSize = -1; // larger than data: the rest is a hole (a sparse file)
    QString target{};         // a link's text
};

// Writes a pax archive of the entries, in order, to path (an unsigned image).
bool writeArchive(const QString& path, const std::vector<ArchiveEntry>& entries);
// The entries of the tree under folder, paths relative to it, in the image
// tool's order.
std::vector<ArchiveEntry> archiveEntriesOf(const QString& folder);

// A signer: a team identifier and its key pair, written to a key file the
// signing tool reads.
struct Team {
    QString id;
    platform::CodeSignature::SigningKey key;
    QString keyFile;
};

// Fresh home, a private temporary folder, no feed variable, running version
// 1.2 on system 14.6.1, and the maker's team pinned to a key of the test's.
class UpdateTest : public PlatformTest {
public:
    static QByteArray json(const QJsonObject& object);

protected:
    UpdateTest();
    ~UpdateTest() override;

    static const QString makerTeam;

    // A new key pair made by the signing tool; pinned for id when asked.
    Team makeTeam(const QString& id, bool pinned);
    // The team id with key, written to a key file for the tool.
    Team teamWithKey(const QString& id, const platform::CodeSignature::SigningKey& key, bool pinned);
    // Runs the signing tool; false (with its error printed) when it fails.
    bool sign(const QString& path, const Team& team);
    // An image of roughly payloadBytes, signed by team unless none.
    QString makeImage(const QString& name, qint64 payloadBytes, const Team* team);

    static QJsonObject feedObject(const QString& origin, const QString& version, const QString& imagePath);
    QString temporaryFolder() const;
    // Runs the event loop and the clock's hand-overs from background work
    // until done holds; false when it never did.
    bool settle(const bool& done);
    QStringList temporaryImages() const;
    QStringList storedImages() const;
    // The lines of "updates.log" without their time stamps.
    QStringList logLines() const;

    Team maker_;
};

// The road over a loopback server that serves the feed and the image, over
// HTTP or, when the parameter is true, over HTTPS.
class ServedUpdateTest : public UpdateTest, public ::testing::WithParamInterface<bool> {
protected:
    ServedUpdateTest();

    static QString imagePathFor(const QString& version);
    // Serves image as version and a feed announcing it (after change).
    void serve(const QString& version, const QString& image, const std::function<void(QJsonObject&)>& change = {},
               LoopbackServer::Route imageRoute = {});
    // Checks and waits for the outcome's text.
    QString checkNow();
    // Downloads what is on offer and waits for the phase to settle.
    Updates::Phase downloadNow();

    LoopbackServer server_;
    NetworkUrlLoader loader_;
    CountingLoader counting_;
    Updates updates_;
};
