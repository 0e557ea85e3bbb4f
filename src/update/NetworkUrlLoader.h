#pragma once

#include "update/UrlLoader.h"

#include <QList>
#include <QSslCertificate>

// HTTP and HTTPS through Qt Network. Requests bypass every cache, the body is
// handed on as it arrives (the reply buffers at most readBufferBytes), and a
// transfer that gets no data for its idle time-out fails with "The request
// timed out." The time-out runs on the platform scheduler. Each transfer has
// an access manager of its own, so a transfer that ends early (cancelled,
// refused, timed out) closes its connection; nothing is shared or kept alive.
class NetworkUrlLoader final : public UrlLoader {
public:
    struct Options {
        // Trusted in addition to the system's certificate authorities.
        QList<QSslCertificate> extraAuthorities{};
    };

    static constexpr qint64 readBufferBytes = 256 * 1024;

    NetworkUrlLoader();
    explicit NetworkUrlLoader(Options options);
    ~NetworkUrlLoader() override;

    std::unique_ptr<UrlTransfer> start(const UrlRequest& request, UrlTransferHandlers handlers) override;

private:
    Options options_;
};
