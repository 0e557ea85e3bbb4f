#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// One GET, as the updater asks for it.
struct UrlRequest {
    QUrl url{};
    // The "Accept" header; none when empty.
    QByteArray accept{};
    // The longest wait for data before the transfer fails; it does not limit
    // the length of the whole transfer.
    double idleTimeoutSeconds = 15;
};

// What a transfer reports, always on the main thread and in this order:
// response once, data zero or more times, finished once. A transfer that
// fails before an answer arrives (no connection, refused, an untrusted
// certificate) reports no response, only finished with its failure. A
// handler may end the transfer by destroying it; nothing is reported after
// that.
struct UrlTransferHandlers {
    // The HTTP status, or 0 for an answer that is not HTTP.
    std::function<void(int status)> response;
    std::function<void(QByteArrayView bytes)> data;
    // None when the answer arrived whole; otherwise the transport failure's
    // description (no connection, time-out, connection cut mid-body).
    std::function<void(std::optional<QString> error)> finished;
};

// A running transfer; destroying it cancels it silently. Nothing is reported
// from inside UrlLoader::start().
class UrlTransfer {
public:
    virtual ~UrlTransfer() = default;
};

// Loads URLs. The app uses the network; tests can script the answers.
// Redirects are never followed: a 3xx answer is reported as its status.
class UrlLoader {
public:
    virtual ~UrlLoader() = default;
    virtual std::unique_ptr<UrlTransfer> start(const UrlRequest& request, UrlTransferHandlers handlers) = 0;
};
