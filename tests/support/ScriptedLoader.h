#pragma once

#include "update/UrlLoader.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Holds every request until the test answers it, as the feed host or the
// image host would; a transfer its caller dropped hears nothing more. The
// answers go to the newest request unless an index says which. Header only:
// the binaries that use it link the updater, the others need not.
class ScriptedLoader final : public UrlLoader {
public:
    struct Pending {
        UrlRequest request;
        UrlTransferHandlers handlers;
        bool cancelled = false;
    };

    std::unique_ptr<UrlTransfer> start(const UrlRequest& request, UrlTransferHandlers handlers) override
    {
        requests_.push_back(std::make_shared<Pending>(Pending{request, std::move(handlers), false}));
        return std::make_unique<Transfer>(requests_.back());
    }

    std::size_t count() const { return requests_.size(); }
    const Pending& request(std::size_t index) const { return *requests_.at(index); }

    // A status, then part of a body, left open.
    void respond(int status, const QByteArray& part = {}, std::optional<std::size_t> index = std::nullopt)
    {
        const std::shared_ptr<Pending> pending = at(index);
        if (!pending->cancelled)
            pending->handlers.response(status);
        if (!pending->cancelled && !part.isEmpty())
            pending->handlers.data(part);
    }
    void answer(int status, const QByteArray& body, std::optional<std::size_t> index = std::nullopt)
    {
        // The same request throughout, whatever its handlers start meanwhile.
        const std::size_t which = index.value_or(requests_.size() - 1);
        respond(status, body, which);
        end(std::nullopt, which);
    }
    void fail(const QString& error, std::optional<std::size_t> index = std::nullopt) { end(error, index); }

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

    // Held while its handlers run, which may drop the transfer.
    std::shared_ptr<Pending> at(std::optional<std::size_t> index) const
    {
        return requests_.at(index.value_or(requests_.size() - 1));
    }
    void end(const std::optional<QString>& error, std::optional<std::size_t> index)
    {
        const std::shared_ptr<Pending> pending = at(index);
        if (!pending->cancelled)
            pending->handlers.finished(error);
    }

    std::vector<std::shared_ptr<Pending>> requests_;
};
