#include "platform/Lifetime.h"
#include "support/PlatformTest.h"

#include <QStringList>

#include <thread>
#include <vector>

namespace {

QStringList& events()
{
    static QStringList list;
    return list;
}

// Records its making and dropping; asks for the instances named in uses.
struct Piece {
    explicit Piece(QString name, std::vector<Piece& (*)()> uses = {})
        : name_(std::move(name))
    {
        for (auto use : uses)
            use();
        events() << "made " + name_;
    }
    ~Piece() { events() << "dropped " + name_; }
    QString name_;
};

Piece& centre()
{
    static platform::Shared<Piece> piece([] { return new Piece(QStringLiteral("centre")); });
    return piece.get();
}

Piece& store()
{
    static platform::Shared<Piece> piece([] { return new Piece(QStringLiteral("store"), {&centre}); });
    return piece.get();
}

Piece& engine()
{
    static platform::Shared<Piece> piece({
        .make = [] { return new Piece(QStringLiteral("engine")); },
        .needs = {&centre},
        .whenMade = [](Piece&) { events() << "started with " + engine().name_; },
    });
    return piece.get();
}

} // namespace

class LifetimeTest : public PlatformTest {
protected:
    LifetimeTest() { events().clear(); }
};

// --- making and dropping ---

TEST_F(LifetimeTest, OneInstanceUntilTheResetThenAFreshOne)
{
    Piece* first = &centre();
    EXPECT_EQ(&centre(), first);
    platform::resetSharedInstances();
    EXPECT_EQ(events(), (QStringList{"made centre", "dropped centre"}));
    centre();
    EXPECT_EQ(events().last(), "made centre");
}

TEST_F(LifetimeTest, WhatAnInstanceAsksForWhileBeingMadeOutlivesIt)
{
    store();
    platform::resetSharedInstances();
    EXPECT_EQ(events(), (QStringList{"made centre", "made store", "dropped store", "dropped centre"}));
}

TEST_F(LifetimeTest, NamedNeedsAreMadeFirstAndDroppedLast)
{
    engine();
    platform::resetSharedInstances();
    EXPECT_EQ(events(),
              (QStringList{"made centre", "made engine", "started with engine", "dropped engine", "dropped centre"}));
}

TEST_F(LifetimeTest, PlainResetsAndInstancesAreDroppedInOneNewestFirstOrder)
{
    platform::registerSharedReset([] { events() << "reset before"; });
    centre();
    platform::registerSharedReset([] { events() << "reset after"; });
    platform::resetSharedInstances();
    EXPECT_EQ(events(), (QStringList{"made centre", "reset after", "dropped centre", "reset before"}));
}

// --- handles and threads ---

TEST_F(LifetimeTest, WeakHandleEmptiesWhenTheInstanceIsDropped)
{
    static platform::Shared<Piece> piece([] { return new Piece(QStringLiteral("badges")); });
    std::weak_ptr<Piece> handle = piece.weak();
    ASSERT_FALSE(handle.expired());
    EXPECT_EQ(handle.lock().get(), &piece.get());
    platform::resetSharedInstances();
    EXPECT_TRUE(handle.expired());
}

TEST_F(LifetimeTest, ThreadsAskingAtOnceShareOneInstance)
{
    static platform::Shared<Piece> piece([] { return new Piece(QStringLiteral("settings")); });
    std::vector<Piece*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t n = 0; n < seen.size(); ++n)
        threads.emplace_back([&seen, n] { seen[n] = &piece.get(); });
    for (auto& thread : threads)
        thread.join();
    for (Piece* instance : seen)
        EXPECT_EQ(instance, seen.front());
    EXPECT_EQ(events().count("made settings"), 1);
}
