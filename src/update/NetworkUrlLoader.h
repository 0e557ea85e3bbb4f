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
// A transfer's manager, its connection and its thread go when the transfer
// does, or, when that happens inside one of the transfer's own reports, on
// the event loop's next turn; whatever is left then goes with the loader or
// with endAllTransfers().
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

    // Ends every transfer of the process at once: each closes its connection
    // and reports nothing more; its manager, reply and thread are gone when
    // this returns. The app calls it once its event loop has ended, before
    // the application object goes: no queued deletion runs after that, and
    // a connection thread left running crashes the process's exit. Main
    // thread, outside the transfers' handlers.
    static void endAllTransfers();

private:
    Options options_;
};
