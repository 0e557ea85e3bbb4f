#include "switching/Accessibility.h"

#include "platform/Accessibility.h"
#include "platform/Bundle.h"
#include "platform/ChildProcess.h"
#include "platform/Workspace.h"
#include "platform/Lifetime.h"
#include "store/LogFile.h"
#include "store/Settings.h"

#include <QPointer>
#include <QUrl>

namespace {

const QString tccutil = QStringLiteral("/usr/bin/tccutil");
const QString accessibilitySettings =
    QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");

} // namespace

Accessibility& Accessibility::shared()
{
    static platform::Shared<Accessibility> accessibility([] { return new Accessibility; });
    return accessibility.get();
}

Accessibility::Accessibility()
    : trusted_(platform::AX::isProcessTrusted())
{
}

bool Accessibility::needsRepair(bool trusted, bool onboarded, const QString& repairedFor, const QString& version)
{
    return !trusted && onboarded && repairedFor != version;
}

bool Accessibility::isProcessTrusted()
{
    return platform::AX::isProcessTrusted();
}

void Accessibility::start()
{
    const QString version = platform::Bundle::shortVersion().value_or(QString());
    Settings& settings = Settings::shared();
    if (!needsRepair(isProcessTrusted(), settings.onboardingDismissed(), settings.accessibilityRepairedFor(), version))
        return;
    const auto identifier = platform::Bundle::identifier();
    if (!identifier)
        return;
    // Recorded first: each version gets one try, whatever its outcome.
    settings.setAccessibilityRepairedFor(version);
    const auto error = resetGrant(*identifier);
    LogFile::switches().write(QStringLiteral("accessibility grant reset for ") + version + QStringLiteral(": ")
                              + error.value_or(QStringLiteral("done")));
    const bool asked = !error.has_value();
    if (asked != askedAgainAfterUpdate_) {
        askedAgainAfterUpdate_ = asked;
        emit askedAgainAfterUpdateChanged(asked);
    }
}

std::optional<QString> Accessibility::resetGrant(const QString& identifier)
{
    platform::LaunchServices::registerURL(platform::Bundle::bundlePath(), true);
    platform::ChildProcess::Options options;
    options.wait = true;
    options.captureStandardError = true;
    const auto result = platform::ChildProcess::run(
        tccutil, {QStringLiteral("reset"), QStringLiteral("Accessibility"), identifier}, options);
    if (result.launchError)
        return QStringLiteral("could not run tccutil: ") + *result.launchError;
    const QString message = QString::fromUtf8(result.standardError).trimmed();
    const int status = result.exitStatus.value_or(-1);
    if (status == 0)
        return std::nullopt;
    if (!message.isEmpty())
        return message;
    return QStringLiteral("tccutil exited ") + QString::number(status);
}

void Accessibility::refresh(bool prompt)
{
    const bool nowTrusted = prompt ? platform::AX::isProcessTrustedWithOptions(true) : platform::AX::isProcessTrusted();
    if (nowTrusted != trusted_) {
        trusted_ = nowTrusted;
        emit trustedChanged(nowTrusted);
    }
    if (nowTrusted) {
        poll_.reset();
        return;
    }
    if (poll_)
        return;
    QPointer<Accessibility> self(this);
    poll_ = RepeatingTimer::start(pollInterval, pollTolerance, [self] {
        if (self)
            self->refresh(false);
    });
}

void Accessibility::openSystemSettings()
{
    const QUrl url(accessibilitySettings, QUrl::StrictMode);
    if (url.isValid())
        platform::Workspace::open(url);
}
