#pragma once

#include <QString>

#include <functional>
#include <map>
#include <memory>

namespace platform {

// Named in-process notifications, delivered synchronously on the posting
// thread (the main thread everywhere in this app).
class NotificationCenter {
public:
    using Token = quint64;

    // Removes its observer when destroyed; movable, not copyable. Outliving its
    // centre is harmless: it then has nothing to remove.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(NotificationCenter* center, Token token);
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription();
        void reset();

    private:
        NotificationCenter* center_ = nullptr;
        std::weak_ptr<bool> centerAlive_;
        Token token_ = 0;
    };

    Token addObserver(const QString& name, std::function<void()> callback);
    [[nodiscard]] Subscription observe(const QString& name, std::function<void()> callback);
    void removeObserver(Token token);
    void post(const QString& name);

    // The app's default centre and the workspace's own centre.
    static NotificationCenter& defaultCenter();
    static NotificationCenter& workspaceCenter();

private:
    struct Observer {
        QString name;
        std::shared_ptr<std::function<void()>> callback;
    };
    std::map<Token, Observer> observers_;
    Token nextToken_ = 1;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Names of the system's own notifications.
namespace notifications {
inline const QString activeSpaceDidChange = QStringLiteral("NSWorkspaceActiveSpaceDidChangeNotification");
inline const QString screenParametersDidChange = QStringLiteral("NSApplicationDidChangeScreenParametersNotification");
} // namespace notifications

} // namespace platform
