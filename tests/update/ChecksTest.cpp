#include "UpdateTest.h"

#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/World.h"
#include "store/Settings.h"

namespace {

class ChecksTest : public UpdateTest {
protected:
    ChecksTest()
        : updates_(Settings::shared(), loader_)
    {
        QObject::connect(&updates_, &Updates::availableChanged, [this](const auto&) { ++availableSignals_; });
    }

    QByteArray feed(const QString& version)
    {
        QJsonObject object = feedObject(QStringLiteral("https://updates.tessaroom.app"), version, QString());
        object.insert(QStringLiteral("size"), 100000);
        return json(object);
    }

    // Runs a check answered with body; returns its outcome.
    QString checkAnswered(int status, const QByteArray& body)
    {
        std::optional<QString> outcome;
        updates_.check([&](const QString& text) { outcome = text; });
        loader_.answer(status, body);
        return outcome.value_or(QStringLiteral("(no outcome)"));
    }

    ScriptedLoader loader_;
    Updates updates_;
    int availableSignals_ = 0;
};

} // namespace

// --- a check ---

TEST_F(ChecksTest, NewerVersionIsOfferedAndTheTimeStored)
{
    advance(5);
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.3"))), QStringLiteral("1.3 is available"));
    ASSERT_TRUE(updates_.available());
    EXPECT_EQ(updates_.available()->version, QStringLiteral("1.3"));
    EXPECT_EQ(updates_.lastChecked(), startTime + 5);
    EXPECT_EQ(Settings::shared().updateLastChecked(), startTime + 5);
    EXPECT_EQ(updates_.lastOutcome(), QStringLiteral("1.3 is available"));
    EXPECT_FALSE(updates_.checking());
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("check: 1.3 is available")});
}

TEST_F(ChecksTest, RequestAsksForJsonOfTheFeedWithAFifteenSecondWait)
{
    updates_.check();
    ASSERT_EQ(loader_.count(), 1u);
    EXPECT_EQ(loader_.request(0).request.url, QUrl(QStringLiteral("https://updates.tessaroom.app/update.json")));
    EXPECT_EQ(loader_.request(0).request.accept, QByteArray("application/json"));
    EXPECT_EQ(loader_.request(0).request.idleTimeoutSeconds, 15);
}

TEST_F(ChecksTest, SecondCheckWhileOneRunsReturnsAtOnceAndLogsNothing)
{
    updates_.check();
    std::optional<QString> second;
    updates_.check([&](const QString& text) { second = text; });
    EXPECT_EQ(second, QStringLiteral("already checking"));
    EXPECT_EQ(loader_.count(), 1u);
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_TRUE(updates_.checking());
}

TEST_F(ChecksTest, ACheckThatHasNotEndedAfterSixtySecondsFailsAndTheNextOneRuns)
{
    std::optional<QString> outcome;
    updates_.check([&](const QString& text) { outcome = text; });
    advance(Updates::checkTimeLimit - 0.1);
    EXPECT_FALSE(outcome);
    advance(0.1);
    EXPECT_EQ(outcome, QStringLiteral("the version file did not arrive within 60 seconds"));
    EXPECT_TRUE(loader_.request(0).cancelled);
    EXPECT_FALSE(updates_.checking());
    EXPECT_EQ(updates_.lastOutcome(), outcome);
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("check: the version file did not arrive within 60 seconds")});
    // "Check Now" works again, and a check that ends in time leaves no limit behind.
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.3"))), QStringLiteral("1.3 is available"));
    EXPECT_EQ(loader_.count(), 2u);
    advance(platform::PreferenceDomain::writeInterval); // the settings' file write
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(ChecksTest, FailuresLeaveTheOfferAndTheStoredTimeAsTheyWere)
{
    checkAnswered(200, feed(QStringLiteral("1.3")));
    const double stored = Settings::shared().updateLastChecked();
    advance(60);
    EXPECT_EQ(checkAnswered(404, "gone"), QStringLiteral("the site answered 404"));
    EXPECT_EQ(checkAnswered(0, {}), QStringLiteral("the site answered 0"));
    EXPECT_EQ(checkAnswered(200, "{\"version\": 1.4}"), QStringLiteral("the version file did not read"));
    updates_.check();
    loader_.fail(QStringLiteral("Could not connect to the server."));
    EXPECT_EQ(updates_.lastOutcome(), QStringLiteral("Could not connect to the server."));
    EXPECT_EQ(Settings::shared().updateLastChecked(), stored);
    ASSERT_TRUE(updates_.available());
    EXPECT_EQ(updates_.available()->version, QStringLiteral("1.3"));
    EXPECT_EQ(logLines().last(), QStringLiteral("check: Could not connect to the server."));
}

TEST_F(ChecksTest, OlderOrEqualVersionIsUpToDateAndWithdrawsTheOffer)
{
    checkAnswered(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.2.0"))), QStringLiteral("up to date"));
    EXPECT_FALSE(updates_.available());
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.1"))), QStringLiteral("up to date"));
}

TEST_F(ChecksTest, SkippedVersionIsReportedAndANewerOneOfferedAgain)
{
    checkAnswered(200, feed(QStringLiteral("1.3")));
    updates_.skip();
    EXPECT_EQ(Settings::shared().updateSkipped(), QStringLiteral("1.3"));
    EXPECT_FALSE(updates_.available());
    EXPECT_EQ(logLines().last(), QStringLiteral("skipped 1.3"));
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.3"))), QStringLiteral("1.3 skipped"));
    EXPECT_FALSE(updates_.available());
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.4"))), QStringLiteral("1.4 is available"));
    // A skipped text that is not newer is still reported as skipped.
    Settings::shared().setUpdateSkipped(QStringLiteral("1.1"));
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.1"))), QStringLiteral("1.1 skipped"));
}

TEST_F(ChecksTest, SkipWithNothingOnOfferDoesNothing)
{
    updates_.skip();
    EXPECT_EQ(Settings::shared().updateSkipped(), QString());
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(ChecksTest, SameEntryKeepsAFailedPhaseAndANewOneClearsIt)
{
    checkAnswered(200, feed(QStringLiteral("1.3")));
    updates_.download();
    loader_.answer(500, {});
    ASSERT_EQ(updates_.phase(), Updates::Phase::failed(QStringLiteral("the download answered 500")));
    checkAnswered(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(updates_.phase().kind, Updates::Phase::Kind::failed);
    checkAnswered(200, feed(QStringLiteral("1.4")));
    EXPECT_EQ(updates_.phase(), Updates::Phase::idle());
}

TEST_F(ChecksTest, EveryOfferIsPublishedAlsoWhenUnchanged)
{
    checkAnswered(200, feed(QStringLiteral("1.3")));
    checkAnswered(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(availableSignals_, 2);
}

TEST_F(ChecksTest, NotesAndImageOpenOnlyWhenThereIsSomethingToOpen)
{
    updates_.openNotes();
    updates_.openImage();
    EXPECT_TRUE(platform::sim::World::shared().openedURLs().isEmpty());
    checkAnswered(200, feed(QStringLiteral("1.3")));
    updates_.openNotes();
    EXPECT_EQ(platform::sim::World::shared().openedURLs(),
              QList<QUrl>{QUrl(QStringLiteral("https://updates.tessaroom.app/notes.html"))});
}

TEST_F(ChecksTest, EveryFinishedCheckKeepsItsMomentInMemoryOnly)
{
    EXPECT_EQ(updates_.lastAttempt(), std::nullopt);
    advance(5);
    checkAnswered(200, feed(QStringLiteral("1.2")));
    EXPECT_EQ(updates_.lastAttempt(), startTime + 5);

    // A failure moves the moment of the attempt, not the stored time.
    advance(100);
    std::optional<double> seenWithOutcome;
    QObject::connect(&updates_, &Updates::lastOutcomeChanged,
                     [&](const auto&) { seenWithOutcome = updates_.lastAttempt(); });
    EXPECT_EQ(checkAnswered(503, QByteArray()), QStringLiteral("the site answered 503"));
    EXPECT_EQ(updates_.lastAttempt(), startTime + 105);
    EXPECT_EQ(seenWithOutcome, startTime + 105);
    EXPECT_EQ(updates_.lastChecked(), startTime + 5);
    EXPECT_EQ(Settings::shared().updateLastChecked(), startTime + 5);

    // A check refused while one runs is no attempt.
    advance(10);
    updates_.check();
    updates_.check();
    EXPECT_EQ(updates_.lastAttempt(), startTime + 105);

    Updates fresh(Settings::shared(), loader_);
    EXPECT_EQ(fresh.lastAttempt(), std::nullopt);
    EXPECT_EQ(fresh.lastChecked(), startTime + 5);
}

// --- the schedule ---

TEST_F(ChecksTest, FirstLookAfterAMinuteThenHourly)
{
    updates_.start();
    updates_.start();
    advance(59);
    EXPECT_EQ(loader_.count(), 0u);
    advance(1);
    ASSERT_EQ(loader_.count(), 1u);
    loader_.answer(200, feed(QStringLiteral("1.3")));
    advance(3600);
    EXPECT_EQ(loader_.count(), 1u); // checked a minute ago
}

TEST_F(ChecksTest, ChecksAfterTwentyHoursNotNineteen)
{
    Settings::shared().setUpdateLastChecked(startTime - 19 * 3600);
    updates_.tick();
    EXPECT_EQ(loader_.count(), 0u);
    advance(3600);
    updates_.tick();
    EXPECT_EQ(loader_.count(), 1u);
}

TEST_F(ChecksTest, LastCheckInTheFutureIsDue)
{
    EXPECT_TRUE(Updates::isDue(1e12, startTime));
    EXPECT_TRUE(Updates::isDue(startTime + 60, startTime));
    EXPECT_FALSE(Updates::isDue(startTime - 71999, startTime));
    EXPECT_TRUE(Updates::isDue(startTime - 72000, startTime));
    Settings::shared().setUpdateLastChecked(1e12);
    updates_.tick();
    EXPECT_EQ(loader_.count(), 1u);
}

TEST_F(ChecksTest, AutomaticChecksOffStillAllowsACheckOnRequest)
{
    Settings::shared().setUpdateCheckEnabled(false);
    updates_.start();
    advance(4 * 3600);
    EXPECT_EQ(loader_.count(), 0u);
    EXPECT_EQ(checkAnswered(200, feed(QStringLiteral("1.3"))), QStringLiteral("1.3 is available"));
}

TEST_F(ChecksTest, FailedCheckIsTriedAgainAtTheNextTick)
{
    updates_.start();
    advance(60);
    loader_.answer(503, {});
    advance(3600);
    EXPECT_EQ(loader_.count(), 2u);
}

TEST_F(ChecksTest, LastCheckedIsReadAtConstruction)
{
    Settings::shared().setUpdateLastChecked(startTime - 100);
    Updates other(Settings::shared(), loader_);
    EXPECT_EQ(other.lastChecked(), startTime - 100);
    EXPECT_FALSE(updates_.lastChecked());
}

TEST_F(ChecksTest, TimerFiringAfterTheUpdaterIsGoneDoesNothing)
{
    {
        Updates shortLived(Settings::shared(), loader_);
        shortLived.start();
    }
    advance(3 * 3600);
    EXPECT_EQ(loader_.count(), 0u);
}

// --- the feed address ---

TEST_F(ChecksTest, FeedVariableNamesTheFeedAndItsPolicy)
{
    EXPECT_EQ(Updates::feedPolicy(), (UpdateFeed::Policy{.host = Updates::updateHost, .https = true}));
    platform::resetSharedInstances();
    qputenv("TESSAROOM_UPDATE_FEED", "http://127.0.0.1:8123/update.json");
    EXPECT_EQ(Updates::feedURL(), QUrl(QStringLiteral("http://127.0.0.1:8123/update.json")));
    EXPECT_EQ(Updates::feedPolicy(), (UpdateFeed::Policy{.host = QStringLiteral("127.0.0.1"), .https = false}));
    // Worked out once per process.
    qputenv("TESSAROOM_UPDATE_FEED", "http://other.example/update.json");
    EXPECT_EQ(Updates::feedURL().host(), QStringLiteral("127.0.0.1"));
    platform::resetSharedInstances();
    qputenv("TESSAROOM_UPDATE_FEED", "not a link");
    EXPECT_EQ(Updates::feedURL(), QUrl(QStringLiteral("https://updates.tessaroom.app/update.json")));
    EXPECT_EQ(Updates::feedPolicy(), (UpdateFeed::Policy{.host = Updates::updateHost, .https = true}));
}

TEST_F(ChecksTest, CurrentVersionFallsBackToZero)
{
    EXPECT_EQ(Updates::currentVersion(), QStringLiteral("1.2"));
    platform::resetSharedInstances();
    platform::sim::setBundleShortVersion(std::nullopt);
    EXPECT_EQ(Updates::currentVersion(), QStringLiteral("0"));
}
