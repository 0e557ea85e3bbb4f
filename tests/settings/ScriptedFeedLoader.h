#pragma once

#include "update/UrlLoader.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// Holds every request until the test answers it, as the feed host or the
// image host would.
class ScriptedFeedLoader final : public UrlLoader {
public:
    struct Pending {
        UrlRequest request;
        UrlTransferHandlers handlers;
        bool cancelled = false;
    };

    std::unique_ptr<UrlTransfer> start(const UrlRequest& request, UrlTransferHandlers handlers) override
    {
        auto pending = std::make_shared<Pending>(Pending{request, std::move(handlers), false});
        requests_.push_back(pending);
        return std::make_unique<Transfer>(pending);
    }

    std::size_t count() const { return requests_.size(); }
    const UrlRequest& request(std::size_t index) const { return requests_.at(index)->request; }

    // The newest request: a status, then part of a body, left open.
    void respond(int status, const QByteArray& part = {})
    {
        const auto pending = requests_.back();
        if (!pending->cancelled)
            pending->handlers.response(status);
        if (!pending->cancelled && !part.isEmpty())
            pending->handlers.data(part);
    }
    // The newest request, answered whole.
    void answer(int status, const QByteArray& body)
    {
        respond(status, body);
        const auto pending = requests_.back();
        if (!pending->cancelled)
            pending->handlers.finished(std::nullopt);
    }
    void fail(const QString& error)
    {
        const auto pending = requests_.back();
        if (!pending->cancelled)
            pending->handlers.finished(error);
    }

private:
    class Transfer final : public UrlTransfer {
    public:
        explicit Transfer(std::shared_ptr<Pending> pending)
            : pending_(std::move(pending))
        {
        }
        ~Transfer() override { pending_->cancelled = true; }

    private:
        std::shared_ptr<Pending> pending_;
    };

    std::vector<std::shared_ptr<Pending>> requests_;
};
