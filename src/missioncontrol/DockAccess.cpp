#include "missioncontrol/DockAccess.h"

#include "engine/SkyLight.h"
#include "missioncontrol/MissionControlHost.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "store/LogFile.h"
#include "switching/Accessibility.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QHash>

#include <cmath>
#include <limits>

namespace AX = platform::AX;

namespace {

const QString identifierAttribute = QStringLiteral("AXIdentifier");
const QString childrenAttribute = QStringLiteral("AXChildren");
const QString displayIDAttribute = QStringLiteral("AXDisplayID");
const QString pressAction = QStringLiteral("AXPress");

std::optional<QList<AX::Element>> readChildren(const AX::Element& element)
{
    QVariant value;
    if (AX::copyAttributeValue(element, childrenAttribute, &value) != AX::Error::success)
        return std::nullopt;
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<AX::Element> children;
    const QVariantList list = value.toList();
    children.reserve(list.size());
    for (const QVariant& child : list) {
        if (child.typeId() != qMetaTypeId<AX::Element>())
            return std::nullopt;
        children.append(child.value<AX::Element>());
    }
    return children;
}

// The shared children reader: empty when the read fails or is mistyped.
QList<AX::Element> children(const AX::Element& element)
{
    return readChildren(element).value_or(QList<AX::Element>{});
}

std::optional<QString> stringAttribute(const AX::Element& element, const QString& attribute)
{
    QVariant value;
    if (AX::copyAttributeValue(element, attribute, &value) != AX::Error::success)
        return std::nullopt;
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<AX::Element> childWithIdentifier(const QString& identifier, const QList<AX::Element>& list)
{
    for (const auto& element : list) {
        if (stringAttribute(element, identifierAttribute) == identifier)
            return element;
    }
    return std::nullopt;
}

std::optional<quint32> displayIDAttributeOf(const AX::Element& element)
{
    QVariant value;
    if (AX::copyAttributeValue(element, displayIDAttribute, &value) != AX::Error::success)
        return std::nullopt;
    return DockAccess::displayIDOf(value);
}

quint32 mainDisplayID()
{
    const auto screen = platform::Screens::mainScreen();
    if (!screen)
        return 0;
    return DockAccess::displayIDOf(screen->deviceDescription.value(QStringLiteral("NSScreenNumber"))).value_or(0);
}

// One batch read; every entry missing when the call fails or answers the
// wrong count, and an error entry missing on its own.
QVariantList batchRead(const AX::Element& element, const QStringList& attributes)
{
    QVariantList values;
    if (AX::copyMultipleAttributeValues(element, attributes, 0, &values) != AX::Error::success
        || values.size() != attributes.size())
        return QVariantList(attributes.size());
    for (QVariant& value : values) {
        if (value.typeId() == qMetaTypeId<AX::ValueError>())
            value = QVariant();
    }
    return values;
}

bool isFinite(double value)
{
    return std::isfinite(value);
}

} // namespace

const QStringList& DockAccess::notifications()
{
    static const QStringList names{QStringLiteral("AXCreated"), QStringLiteral("AXUIElementDestroyed"),
                                   QStringLiteral("AXSelectedChildrenChanged"),
                                   QStringLiteral("AXFocusedUIElementChanged")};
    return names;
}

const QStringList& DockAccess::itemAttributes()
{
    static const QStringList names{QStringLiteral("AXRole"), QStringLiteral("AXDescription"), QStringLiteral("AXTitle"),
                                   QStringLiteral("AXPosition"), QStringLiteral("AXSize")};
    return names;
}

double DockAccess::labelPadding()
{
    return MissionControlHost::isWindowManager() ? 24 : 10;
}

QFont DockAccess::labelFont()
{
    return Theme::font(12);
}

DockAccess::DockAccess(Accessibility& access)
    : access_(access)
{
}

DockAccess::~DockAccess()
{
    dropObserver();
}

void DockAccess::observe(Handler handler)
{
    handler_ = std::move(handler);
    connect();
}

void DockAccess::dropObserver()
{
    if (observer_.isNull())
        return;
    if (application_) {
        for (const QString& name : notifications())
            AX::observerRemoveNotification(observer_, *application_, name);
    }
    AX::observerSetRunLoopSourceAdded(observer_, false);
    AX::observerRelease(observer_);
    observer_ = {};
}

std::optional<AX::Element> DockAccess::connect()
{
    const QList<platform::RunningApplication> hosts =
        platform::Workspace::runningApplications(MissionControlHost::bundleID());
    if (hosts.isEmpty())
        return std::nullopt;
    const qint32 pid = hosts.first().processIdentifier;
    if (!application_ || pid_ != pid) {
        dropObserver();
        cachedBars_.clear();
        pid_ = pid;
        application_ = AX::createApplication(pid);
        AX::setMessagingTimeout(*application_, messagingTimeout);
    }
    if (observer_.isNull() && handler_ && access_.trusted() && application_) {
        AX::Observer made;
        const auto callback = [](const AX::Observer&, const AX::Element&, const QString& name, void* context) {
            if (context)
                static_cast<DockAccess*>(context)->deliver(name);
        };
        if (AX::observerCreate(pid_, callback, &made) != AX::Error::success || made.isNull())
            return application_;
        QStringList added;
        for (const QString& name : notifications()) {
            if (AX::observerAddNotification(made, *application_, name, this) == AX::Error::success)
                added.append(name);
        }
        LogFile::missionControl().write(MissionControlHost::ownerName() + QStringLiteral(" observer installed for pid ")
                                        + QString::number(pid_) + QStringLiteral(": ") + added.join(QLatin1Char(' ')));
        AX::observerSetRunLoopSourceAdded(made, true);
        observer_ = made;
    }
    return application_;
}

void DockAccess::deliver(const QString& notification)
{
    if (handler_)
        handler_(notification);
}

QList<DockAccess::Row> DockAccess::rows()
{
    const auto application = connect();
    if (!application) {
        cachedBars_.clear();
        return {};
    }
    if (!cachedBars_.isEmpty()) {
        QList<Row> cached;
        bool complete = true;
        for (const auto& [displayID, list] : std::as_const(cachedBars_)) {
            auto row = readRow(list, displayID);
            if (!row) {
                complete = false;
                break;
            }
            cached.append(std::move(*row));
        }
        if (complete)
            return cached;
    }
    cachedBars_.clear();
    const Element mc = childWithIdentifier(QStringLiteral("mc"), children(*application)).value_or(*application);
    QList<Element> displays;
    for (const auto& child : children(mc)) {
        if (stringAttribute(child, identifierAttribute) == QLatin1String("mc.display"))
            displays.append(child);
    }
    if (!displays.isEmpty())
        return rowsPerDisplay(displays, mc);
    if (stringAttribute(mc, identifierAttribute) != QLatin1String("mc"))
        return {};
    Row row;
    row.displayID = displayIDAttributeOf(mc).value_or(mainDisplayID());
    const auto list = spacesListOf(mc);
    if (!list)
        return {row};
    cachedBars_.append({row.displayID, *list});
    return {readRow(*list, row.displayID).value_or(row)};
}

QList<DockAccess::Row> DockAccess::rowsPerDisplay(const QList<Element>& displays, const Element& mc)
{
    QList<Row> result;
    std::optional<quint32> mcDisplay;
    bool mcDisplayRead = false;
    for (const auto& display : displays) {
        Row row;
        auto id = displayIDAttributeOf(display);
        if (!id) {
            if (!mcDisplayRead) {
                mcDisplay = displayIDAttributeOf(mc);
                mcDisplayRead = true;
            }
            id = mcDisplay;
        }
        row.displayID = id.value_or(mainDisplayID());
        const auto list = spacesListOf(display);
        if (!list) {
            result.append(row);
            continue;
        }
        cachedBars_.append({row.displayID, *list});
        result.append(readRow(*list, row.displayID).value_or(row));
    }
    return result;
}

std::optional<DockAccess::Element> DockAccess::spacesListOf(const Element& owner)
{
    auto spaces = childWithIdentifier(QStringLiteral("mc.spaces"), children(owner));
    if (!spaces)
        spaces = findSpaces(owner, searchDepth);
    if (!spaces)
        return std::nullopt;
    return childWithIdentifier(QStringLiteral("mc.spaces.list"), children(*spaces)).value_or(*spaces);
}

std::optional<DockAccess::Element> DockAccess::findSpaces(const Element& element, int depth) const
{
    if (depth < 1)
        return std::nullopt;
    for (const auto& child : children(element)) {
        if (stringAttribute(child, identifierAttribute) == QLatin1String("mc.spaces"))
            return child;
        if (auto found = findSpaces(child, depth - 1))
            return found;
    }
    return std::nullopt;
}

std::optional<DockAccess::Row> DockAccess::readRow(const Element& list, quint32 displayID) const
{
    const auto items = readChildren(list);
    if (!items)
        return std::nullopt;
    static const QStringList barAttributes{QStringLiteral("AXPosition"), QStringLiteral("AXSize")};
    const QVariantList bar = batchRead(list, barAttributes);
    Row row;
    row.displayID = displayID;
    row.bar = frameOf(bar[0], bar[1]);
    row.items = readItems(*items, row.bar);
    return row;
}

QList<DockAccess::Item> DockAccess::readItems(const QList<Element>& children, const std::optional<QRectF>& bar) const
{
    QList<Item> items;
    const bool windowManager = MissionControlHost::isWindowManager();
    for (const auto& child : children) {
        const QVariantList values = batchRead(child, itemAttributes());
        if (values[0].typeId() != QMetaType::QString || values[0].toString() != QLatin1String("AXButton"))
            continue;
        auto frame = frameOf(values[3], values[4]);
        if (!frame)
            continue;
        std::optional<QString> title;
        if (values[2].typeId() == QMetaType::QString)
            title = values[2].toString();
        QString label;
        if (values[1].typeId() == QMetaType::QString)
            label = values[1].toString();
        else if (title)
            label = *title;
        if (windowManager)
            frame = windowManagerFrame(*frame, bar, labelWidth(title.value_or(label)));
        items.append({child, label, *frame});
    }
    return items;
}

bool DockAccess::press(const Item& item)
{
    return AX::performAction(item.element, pressAction) == AX::Error::success;
}

std::optional<QRectF> DockAccess::frameOf(const QVariant& position, const QVariant& size)
{
    if (position.typeId() != QMetaType::QPointF || size.typeId() != QMetaType::QSizeF)
        return std::nullopt;
    const QPointF point = position.toPointF();
    const QSizeF extent = size.toSizeF();
    // A frame that is not a plain finite rectangle places nothing.
    if (!isFinite(point.x()) || !isFinite(point.y()) || !isFinite(extent.width()) || !isFinite(extent.height())
        || extent.width() < 0 || extent.height() < 0)
        return std::nullopt;
    return QRectF(point, extent);
}

std::optional<quint32> DockAccess::displayIDOf(const QVariant& value)
{
    const auto number = SkyLight::unsignedValue(value);
    if (!number || *number > std::numeric_limits<quint32>::max())
        return std::nullopt;
    return quint32(*number);
}

double DockAccess::labelWidth(qint64 desktop)
{
    return labelWidth(QStringLiteral("Desktop ") + QString::number(desktop));
}

double DockAccess::labelWidth(const QString& text)
{
    // The layout pass asks for the same few labels 30 times a second.
    static QHash<QString, double> widths;
    auto it = widths.constFind(text);
    if (it == widths.constEnd()) {
        if (widths.size() >= 1000)
            widths.clear();
        it = widths.insert(text, std::ceil(QFontMetricsF(labelFont()).horizontalAdvance(text)));
    }
    return it.value() + labelPadding();
}

std::optional<qint64> DockAccess::desktopNumber(const QString& label)
{
    const QList<uint> points = label.toUcs4();
    qsizetype start = points.size();
    while (start > 0 && QChar::isNumber(char32_t(points[start - 1])))
        --start;
    if (start == points.size())
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = start; i < points.size(); ++i) {
        const uint point = points[i];
        if (point < '0' || point > '9')
            return std::nullopt;
        const qint64 digit = point - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

QRectF DockAccess::windowManagerFrame(const QRectF& reported, const std::optional<QRectF>& bar, double width)
{
    const double x = reported.x();
    const double y = reported.y();
    const QRectF button(x - reported.width() / 2, y - reported.height() / 2, reported.width(), reported.height());
    if (bar && bar->top() - 0.5 <= button.top())
        return button.adjusted(insetLeft, insetTop, -insetRight, -insetBottom);
    return QRectF(x - width / 2, button.bottom() - labelGap - labelBoxHeight, width, labelBoxHeight);
}
