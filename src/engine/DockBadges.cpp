#include "engine/DockBadges.h"

#include "platform/Bundle.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include <limits>
#include <memory>

namespace AX = platform::AX;

namespace {

const QString dockBundleID = QStringLiteral("com.apple.dock");
constexpr float dockMessagingTimeout = 0.5f;

// "+12", "-3", "7": an optional sign and digits only, within 64 bits.
std::optional<qint64> decimalInteger(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<QVariant> attribute(const AX::Element& element, const QString& name)
{
    QVariant value;
    if (AX::copyAttributeValue(element, name, &value) != AX::Error::success)
        return std::nullopt;
    return value;
}

std::optional<QString> textAttribute(const AX::Element& element, const QString& name)
{
    const auto value = attribute(element, name);
    if (!value || value->typeId() != QMetaType::QString)
        return std::nullopt;
    return value->toString();
}

QString standardizedPath(const QString& path)
{
    return QDir::cleanPath(path);
}

// The Dock's list of items, or a null element.
AX::Element dockList(qint32 dockPID)
{
    const AX::Element application = AX::createApplication(dockPID);
    AX::setMessagingTimeout(application, dockMessagingTimeout);
    for (const auto& child : DockBadges::children(application)) {
        if (textAttribute(child, QStringLiteral("AXRole")) == QStringLiteral("AXList"))
            return child;
    }
    return {};
}

struct DockLabels {
    QHash<QString, QString> byPath;
    QHash<QString, QString> byName;
};

DockLabels readLabels(const AX::Element& list)
{
    DockLabels labels;
    for (const auto& item : DockBadges::children(list)) {
        const auto running = attribute(item, QStringLiteral("AXIsApplicationRunning"));
        if (!running || running->typeId() != QMetaType::Bool || !running->toBool())
            continue;
        const auto label = textAttribute(item, QStringLiteral("AXStatusLabel"));
        const auto badge = label ? DockBadges::normalize(*label) : std::nullopt;
        if (!badge)
            continue;
        const auto url = attribute(item, QStringLiteral("AXURL"));
        if (url && url->typeId() == QMetaType::QUrl)
            labels.byPath.insert(standardizedPath(url->toUrl().toLocalFile()), *badge);
        if (const auto title = textAttribute(item, QStringLiteral("AXTitle")))
            labels.byName.insert(*title, *badge);
    }
    return labels;
}

std::optional<QString> badgeFor(const platform::RunningApplication& app, const DockLabels& labels)
{
    std::optional<QString> badge;
    if (app.bundlePath && !labels.byPath.isEmpty()) {
        auto it = labels.byPath.constFind(standardizedPath(*app.bundlePath));
        if (it != labels.byPath.constEnd())
            badge = it.value();
    }
    if (!badge && app.localizedName && !labels.byName.isEmpty()) {
        auto it = labels.byName.constFind(*app.localizedName);
        if (it != labels.byName.constEnd())
            badge = it.value();
    }
    return badge;
}

// Sums past the 64-bit range stick at its ends; every one of them from 100
// upwards shows as "99+" anyway.
qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (!__builtin_add_overflow(a, b, &result))
        return result;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

QByteArray queueLabel()
{
    return platform::Bundle::identifier().value_or(QStringLiteral("app.tessaroom")).toUtf8() + ".badges";
}

} // namespace

platform::Shared<DockBadges>& DockBadges::instance()
{
    static platform::Shared<DockBadges> badges([] { return new DockBadges; });
    return badges;
}

DockBadges& DockBadges::shared()
{
    return instance().get();
}

void DockBadges::refresh()
{
    if (reading_ || !AX::isProcessTrusted())
        return;
    reading_ = true;
    std::weak_ptr<DockBadges> weak = instance().weak();
    static const QByteArray label = queueLabel();
    platform::Scheduler::current().runInBackground(label.constData(), [weak] {
        const double start = platform::now();
        const QHash<qint32, QString> result = readDock();
        const auto milliseconds = static_cast<qint64>((platform::now() - start) * 1000);
        platform::Scheduler::current().schedule(0, [weak, result, milliseconds] {
            if (auto self = weak.lock())
                self->apply(result, milliseconds);
        });
    });
}

void DockBadges::apply(const QHash<qint32, QString>& result, qint64 milliseconds)
{
    reading_ = false;
    lastReadMilliseconds_ = milliseconds;
    lastRead_ = platform::now();
    if (result == badges_)
        return;
    badges_ = result;
    platform::NotificationCenter::defaultCenter().post(badgesDidChange);
}

QHash<qint32, QString> DockBadges::readDock()
{
    const auto docks = platform::Workspace::runningApplications(dockBundleID);
    if (docks.isEmpty())
        return {};
    const AX::Element list = dockList(docks.first().processIdentifier);
    if (list.isNull())
        return {};
    const DockLabels labels = readLabels(list);
    if (labels.byPath.isEmpty() && labels.byName.isEmpty())
        return {};
    QHash<qint32, QString> result;
    for (const auto& app : platform::Workspace::runningApplications()) {
        if (app.activationPolicy != platform::ActivationPolicy::regular)
            continue;
        if (const auto badge = badgeFor(app, labels))
            result.insert(app.processIdentifier, *badge);
    }
    return result;
}

std::optional<QString> DockBadges::normalize(const QString& label)
{
    const QString trimmed = label.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (decimalInteger(trimmed))
        return trimmed;
    return QStringLiteral("•");
}

std::optional<QString> DockBadges::summary(const QStringList& texts)
{
    if (texts.isEmpty())
        return std::nullopt;
    bool anyNumber = false;
    qint64 sum = 0;
    for (const auto& text : texts) {
        if (const auto value = decimalInteger(text)) {
            anyNumber = true;
            sum = saturatingAdd(sum, *value);
        }
    }
    if (!anyNumber || sum == 0)
        return QStringLiteral("•");
    if (sum < 100)
        return QString::number(sum);
    return QStringLiteral("99+");
}

QList<AX::Element> DockBadges::children(const AX::Element& element)
{
    const auto value = attribute(element, QStringLiteral("AXChildren"));
    if (!value || value->typeId() != QMetaType::QVariantList)
        return {};
    QList<AX::Element> elements;
    for (const auto& child : value->toList()) {
        if (child.typeId() != qMetaTypeId<AX::Element>())
            return {};
        elements.append(child.value<AX::Element>());
    }
    return elements;
}
