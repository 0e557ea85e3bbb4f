#include "platform/NotificationCenter.h"

#include "platform/Lifetime.h"

#include <vector>

namespace platform {

NotificationCenter::Subscription::Subscription(NotificationCenter* center, Token token)
    : center_(center)
    , centerAlive_(center ? center->alive_ : nullptr)
    , token_(token)
{
}

NotificationCenter::Subscription::Subscription(Subscription&& other) noexcept
    : center_(std::exchange(other.center_, nullptr))
    , centerAlive_(std::exchange(other.centerAlive_, {}))
    , token_(std::exchange(other.token_, 0))
{
}

NotificationCenter::Subscription& NotificationCenter::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        reset();
        center_ = std::exchange(other.center_, nullptr);
        centerAlive_ = std::exchange(other.centerAlive_, {});
        token_ = std::exchange(other.token_, 0);
    }
    return *this;
}

NotificationCenter::Subscription::~Subscription()
{
    reset();
}

void NotificationCenter::Subscription::reset()
{
    if (center_ && !centerAlive_.expired())
        center_->removeObserver(token_);
    center_ = nullptr;
    centerAlive_.reset();
    token_ = 0;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, std::function<void()> callback)
{
    const Token token = nextToken_++;
    observers_.emplace(token, Observer{name, std::make_shared<std::function<void()>>(std::move(callback))});
    return token;
}

NotificationCenter::Subscription NotificationCenter::observe(const QString& name, std::function<void()> callback)
{
    return Subscription(this, addObserver(name, std::move(callback)));
}

void NotificationCenter::removeObserver(Token token)
{
    observers_.erase(token);
}

void NotificationCenter::post(const QString& name)
{
    // Observers may add or remove observers while being called; a removed
    // observer that has not run yet is skipped.
    std::vector<std::pair<Token, std::shared_ptr<std::function<void()>>>> targets;
    for (const auto& [token, observer] : observers_) {
        if (observer.name == name)
            targets.emplace_back(token, observer.callback);
    }
    for (const auto& [token, callback] : targets) {
        if (observers_.count(token))
            (*callback)();
    }
}

namespace {
NotificationCenter* makeCenter()
{
    return new NotificationCenter;
}
} // namespace

NotificationCenter& NotificationCenter::defaultCenter()
{
    static Shared<NotificationCenter> center(makeCenter);
    return center.get();
}

NotificationCenter& NotificationCenter::workspaceCenter()
{
    static Shared<NotificationCenter> center(makeCenter);
    return center.get();
}

} // namespace platform
