#include "update/NetworkUrlLoader.h"

#include "platform/Scheduler.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>

#include <set>
#include <utility>
#include <vector>

namespace {

const QString timedOut = QStringLiteral("The request timed out.");

// Errors Qt reports for HTTP statuses; those answers are reported as their
// status, not as a transport failure.
bool isStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

class NetworkTransfer;

// The process's transfers, on the main thread. A manager may not go while
// its reply's signal runs, and once the event loop has ended no queued call
// runs any more; so ended managers wait here, and the app's end (or the
// loader's) takes whatever is left before the application object goes.
struct Transfers {
    std::set<NetworkTransfer*> open;
    // Managers of ended transfers, deleted once no reply's signal runs.
    std::vector<std::unique_ptr<QNetworkAccessManager>> ended;
    // Depth of the reply signals being handled.
    int delivering = 0;
};

Transfers& transfers()
{
    // Never destroyed: an owner dropped late at exit still finds it.
    static auto* registry = new Transfers;
    return *registry;
}

// Deletes the ended managers, closing their connections and ending their
// threads; nothing while a reply's signal runs.
void deleteEnded()
{
    Transfers& registry = transfers();
    if (registry.delivering > 0)
        return;
    // A manager's end runs no code of ours; the list is taken first anyway.
    auto ended = std::exchange(registry.ended, {});
    ended.clear();
}

// Ends a manager at once when no reply's signal runs, else as soon as the
// signal under way has returned to the event loop.
void release(std::unique_ptr<QNetworkAccessManager> manager)
{
    Transfers& registry = transfers();
    if (registry.delivering == 0) {
        manager.reset();
        return;
    }
    registry.ended.push_back(std::move(manager));
}

// Runs one of a reply's signals; a manager ended meanwhile goes on the
// event loop's next turn, outside the reply's code that emitted it.
template <typename Work>
void deliver(Work work)
{
    Transfers& registry = transfers();
    ++registry.delivering;
    work(); // may end the transfer it belongs to
    if (--registry.delivering > 0 || registry.ended.empty())
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] { deleteEnded(); }, Qt::QueuedConnection);
}

class NetworkTransfer final : public UrlTransfer {
public:
    NetworkTransfer(std::unique_ptr<QNetworkAccessManager> manager, QNetworkReply* reply, double idleTimeout,
                    UrlTransferHandlers handlers)
        : manager_(std::move(manager))
        , reply_(reply)
        , idleTimeout_(idleTimeout)
        , handlers_(std::move(handlers))
        , alive_(std::make_shared<bool>(true))
    {
        QObject::connect(reply_, &QNetworkReply::metaDataChanged, reply_,
                         [this] { deliver([this] { reportResponse(); }); });
        QObject::connect(reply_, &QNetworkReply::readyRead, reply_, [this] { deliver([this] { readAvailable(); }); });
        QObject::connect(reply_, &QNetworkReply::finished, reply_, [this] { deliver([this] { finish(); }); });
        transfers().open.insert(this);
        armIdleTimer();
    }

    ~NetworkTransfer() override
    {
        end();
        transfers().open.erase(this);
    }

    // Stops reporting and lets go of the connection: the manager (and the
    // reply, its child) goes at once, or once the reply's signal that runs
    // now has returned to the event loop.
    void end()
    {
        *alive_ = false;
        platform::Scheduler::current().cancel(idleToken_);
        if (reply_)
            QObject::disconnect(reply_, nullptr, nullptr, nullptr);
        // An aborted reply leaves its connection open and stalled; only the
        // end of its access manager closes it and ends its thread.
        if (manager_)
            release(std::move(manager_));
    }

private:
    void armIdleTimer()
    {
        auto& scheduler = platform::Scheduler::current();
        scheduler.cancel(idleToken_);
        std::weak_ptr<bool> alive = alive_;
        idleToken_ = scheduler.schedule(idleTimeout_, [this, alive] {
            if (alive.lock())
                fail(timedOut);
        });
    }

    void reportResponse()
    {
        if (responded_)
            return;
        const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid() && !reply_->isFinished())
            return; // headers not in yet
        // A transfer that failed before any answer (no connection, refused,
        // an untrusted certificate) has no response: finish() reports the
        // failure's own description.
        if (!status.isValid() && reply_->error() != QNetworkReply::NoError)
            return;
        responded_ = true;
        // A copy: the handler may destroy this transfer and its handlers.
        if (auto handler = handlers_.response)
            handler(status.isValid() ? status.toInt() : 0);
    }

    // Returns false when a handler ended the transfer.
    bool readAvailable()
    {
        const std::weak_ptr<bool> alive = alive_;
        armIdleTimer();
        reportResponse();
        if (!alive.lock())
            return false;
        while (reply_->bytesAvailable() > 0) {
            const QByteArray bytes = reply_->read(NetworkUrlLoader::readBufferBytes);
            if (bytes.isEmpty())
                break;
            received_ += bytes.size();
            if (auto handler = handlers_.data)
                handler(bytes);
            if (!alive.lock())
                return false;
        }
        return true;
    }

    void finish()
    {
        if (!readAvailable())
            return;
        platform::Scheduler::current().cancel(idleToken_);
        const auto error = reply_->error();
        const bool hasStatus = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (error == QNetworkReply::NoError) {
            const std::optional<qint64> length = plainLength();
            if (length && received_ < *length)
                done(QStringLiteral("The connection closed after %1 of the %2 bytes announced.")
                         .arg(received_)
                         .arg(*length));
            else
                done(std::nullopt);
        } else if (hasStatus && isStatusError(error)) {
            done(std::nullopt);
        } else {
            done(reply_->errorString());
        }
    }

    // The length the server announced, where it counts what we read: Qt
    // sometimes ends a reply without an error when the server closes before
    // that length, and a cut answer is a failure. A decoded answer has
    // another length.
    std::optional<qint64> plainLength() const
    {
        const QVariant announced = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (!announced.isValid() || reply_->hasRawHeader("Content-Encoding"))
            return std::nullopt;
        return announced.toLongLong();
    }

    void fail(const QString& error)
    {
        if (reply_) {
            QObject::disconnect(reply_, nullptr, nullptr, nullptr);
            reply_->abort();
        }
        done(error);
    }

    void done(std::optional<QString> error)
    {
        if (finished_)
            return;
        finished_ = true;
        if (auto handler = handlers_.finished)
            handler(std::move(error));
    }

    std::unique_ptr<QNetworkAccessManager> manager_;
    QPointer<QNetworkReply> reply_;
    double idleTimeout_;
    UrlTransferHandlers handlers_;
    std::shared_ptr<bool> alive_;
    platform::TimerToken idleToken_ = 0;
    bool responded_ = false;
    bool finished_ = false;
    qint64 received_ = 0;
};

} // namespace

NetworkUrlLoader::NetworkUrlLoader()
    : NetworkUrlLoader(Options{})
{
}

NetworkUrlLoader::NetworkUrlLoader(Options options)
    : options_(std::move(options))
{
}

NetworkUrlLoader::~NetworkUrlLoader()
{
    deleteEnded();
}

void NetworkUrlLoader::endAllTransfers()
{
    // A copy: ending a transfer leaves it in the set until its owner drops it.
    const std::set<NetworkTransfer*> open = transfers().open;
    for (NetworkTransfer* transfer : open)
        transfer->end();
    deleteEnded();
}

std::unique_ptr<UrlTransfer> NetworkUrlLoader::start(const UrlRequest& request, UrlTransferHandlers handlers)
{
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    networkRequest.setRawHeader("Cache-Control", "no-cache");
    if (!request.accept.isEmpty())
        networkRequest.setRawHeader("Accept", request.accept);
    // Timing out is ours, on the scheduler.
    networkRequest.setTransferTimeout(0);
    if (!options_.extraAuthorities.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(options_.extraAuthorities);
        networkRequest.setSslConfiguration(tls);
    }
    // A manager of its own: ending the transfer ends its connection too.
    auto manager = std::make_unique<QNetworkAccessManager>();
    QNetworkReply* reply = manager->get(networkRequest);
    reply->setReadBufferSize(readBufferBytes);
    return std::make_unique<NetworkTransfer>(std::move(manager), reply, request.idleTimeoutSeconds,
                                             std::move(handlers));
}
