#include "settings/UpdateRowModel.h"

#include "settings/RelativeTimeText.h"

#include <algorithm>
#include <cmath>

const QString UpdateRowModel::installNote = QStringLiteral(
    "Install puts it in place of this copy and restarts Tessaroom. Your names, shortcuts and tracked time stay.");

namespace {

constexpr double momentSeconds = 60;

// Outcomes of a check that read the feed and found nothing wrong.
bool isGoodNews(const QString& outcome)
{
    return outcome == QLatin1String("up to date") || outcome.endsWith(QLatin1String("is available"));
}

// A description that ends its own sentence ("…offline.") gets no second stop.
QString withFullStop(const QString& text)
{
    static const QString enders = QStringLiteral(".!?\u2026");
    if (!text.isEmpty() && enders.contains(text.back()))
        return text;
    return text + QLatin1Char('.');
}

} // namespace

UpdateRowModel::State UpdateRowModel::State::of(const Updates& updates, double now)
{
    return State{
        .available = updates.available(),
        .checking = updates.checking(),
        .phase = updates.phase(),
        .lastChecked = updates.lastChecked(),
        .lastAttempt = updates.lastAttempt(),
        .lastOutcome = updates.lastOutcome(),
        .currentVersion = Updates::currentVersion(),
        .now = now,
    };
}

QString UpdateRowModel::moment(double secondsSince)
{
    if (!std::isfinite(secondsSince) || secondsSince < momentSeconds)
        return QStringLiteral("a moment ago");
    return RelativeTimeText::since(secondsSince);
}

QString UpdateRowModel::lastCheckText(const State& state)
{
    // The moment of the last finished attempt when this run made one, so a
    // failure is never shown with the time of an older success.
    const std::optional<double> when = state.lastAttempt ? state.lastAttempt : state.lastChecked;
    if (!when)
        return QStringLiteral("Not checked yet.");
    const QString shown = moment(state.now - *when);
    if (state.lastOutcome && !isGoodNews(*state.lastOutcome))
        return QStringLiteral("Last check ") + shown + QStringLiteral(": ") +
            withFullStop(state.lastOutcome->simplified());
    if (!state.lastChecked)
        return QStringLiteral("Not checked yet.");
    return QStringLiteral("Up to date. Last check ") + shown + QLatin1Char('.');
}

QString UpdateRowModel::failureCaption(const QString& failure)
{
    QString text = failure.simplified();
    if (!text.isEmpty()) {
        // A surrogate pair is one character.
        const qsizetype first = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
        text.replace(0, first, text.left(first).toUpper());
    }
    return withFullStop(text) + QStringLiteral(" Nothing was installed.");
}

QString UpdateRowModel::shownVersion(const QString& version)
{
    if (version.size() <= maximumShownVersion)
        return version;
    const qsizetype head = maximumShownVersion / 2;
    const qsizetype tail = maximumShownVersion - head - 1;
    return version.left(head) + QChar(0x2026) + version.right(tail);
}

UpdateRowModel UpdateRowModel::make(const State& state)
{
    UpdateRowModel row;
    if (!state.available) {
        row.title = state.checking ? QStringLiteral("Checking\u2026") : QStringLiteral("Version ") + state.currentVersion;
        row.caption = lastCheckText(state);
        row.buttons = {{.action = Action::checkNow, .title = QStringLiteral("Check Now"), .enabled = !state.checking}};
        return row;
    }
    const QString version = shownVersion(state.available->version);
    switch (state.phase.kind) {
    case Updates::Phase::Kind::idle:
        row.title = QStringLiteral("Tessaroom ") + version + QStringLiteral(" is available");
        row.caption = QStringLiteral("Released ") + state.available->releasedText() +
            QStringLiteral(". The current version is ") + state.currentVersion + QLatin1Char('.');
        row.buttons = {
            {.action = Action::skip, .title = QStringLiteral("Skip")},
            {.action = Action::whatsNew, .title = QStringLiteral("What's New")},
            {.action = Action::download, .title = QStringLiteral("Download"), .prominent = true},
        };
        break;
    case Updates::Phase::Kind::downloading:
        row.title = QStringLiteral("Downloading Tessaroom ") + version;
        row.caption = QStringLiteral("Checking the size, the hash and the signature before it opens.");
        row.control = Control::progressBar;
        row.fraction = std::isfinite(state.phase.fraction) ? std::clamp(state.phase.fraction, 0.0, 1.0) : 0.0;
        break;
    case Updates::Phase::Kind::ready:
        row.title = QStringLiteral("Tessaroom ") + version + QStringLiteral(" is downloaded and verified");
        row.caption = installNote;
        row.buttons = {
            {.action = Action::showImage, .title = QStringLiteral("Show Image")},
            {.action = Action::installAndRelaunch, .title = QStringLiteral("Install and Relaunch"), .prominent = true},
        };
        break;
    case Updates::Phase::Kind::installing:
        row.title = QStringLiteral("Installing Tessaroom ") + version;
        row.caption = QStringLiteral("A few seconds. Tessaroom restarts by itself.");
        row.control = Control::busyIndicator;
        break;
    case Updates::Phase::Kind::failed:
        row.title = QStringLiteral("The download did not go through");
        row.caption = failureCaption(state.phase.failure);
        row.buttons = {{.action = Action::tryAgain, .title = QStringLiteral("Try Again"), .prominent = true}};
        break;
    }
    if (version != state.available->version)
        row.toolTip = QString(row.title).replace(version, state.available->version);
    return row;
}
