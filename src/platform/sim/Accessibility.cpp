#include "platform/Accessibility.h"

#include "platform/sim/WorldState.h"

namespace platform::AX {

namespace {

using sim::World;
using Lock = std::lock_guard<std::recursive_mutex>;

QString frontmostAttribute()
{
    return QStringLiteral("AXFrontmost");
}

// The element's node when a request to it may proceed; otherwise the error.
const sim::ElementNode* reachable(const World::Internals& d, const Element& element, Error* error)
{
    if (!d.trusted) {
        *error = Error::apiDisabled;
        return nullptr;
    }
    const sim::ElementNode* node = d.node(element.handle());
    const sim::AppSpec* app = node ? d.findApp(node->pid) : nullptr;
    if (!node || !app || app->terminated) {
        *error = element.isNull() ? Error::illegalArgument : Error::invalidUIElement;
        return nullptr;
    }
    if (node->error != Error::success) {
        *error = node->error;
        return nullptr;
    }
    *error = Error::success;
    return node;
}

bool isApplicationElement(const World::Internals& d, const Element& element, const sim::ElementNode& node)
{
    return d.applicationElements.value(node.pid) == element.handle();
}

QString describe(const QVariant& value)
{
    if (value.canConvert<Element>() && value.typeId() == qMetaTypeId<Element>())
        return QStringLiteral("element ") + QString::number(value.value<Element>().handle());
    return value.toString();
}

} // namespace

bool isProcessTrusted()
{
    return World::shared().trusted();
}

bool isProcessTrustedWithOptions(bool prompt)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    if (prompt && !d.trusted)
        ++d.trustPrompts;
    return d.trusted;
}

Element createApplication(qint32 processIdentifier)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    return Element(world.internals().applicationElement(processIdentifier));
}

Error copyAttributeValue(const Element& element, const QString& attribute, QVariant* value)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    const auto& d = world.internals();
    d.countCall(QStringLiteral("copyAttributeValue"));
    Error error = Error::success;
    const sim::ElementNode* node = reachable(d, element, &error);
    if (!node)
        return error;
    if (attribute == QLatin1String("AXChildren")) {
        QVariantList children;
        for (quint64 child : node->children)
            children.append(QVariant::fromValue(Element(child)));
        *value = children;
        return Error::success;
    }
    if (attribute == QLatin1String("AXParent") && node->parent != 0) {
        *value = QVariant::fromValue(Element(node->parent));
        return Error::success;
    }
    if (attribute == frontmostAttribute() && isApplicationElement(d, element, *node)) {
        *value = d.frontmostApp == node->pid;
        return Error::success;
    }
    auto it = node->attributes.constFind(attribute);
    if (it == node->attributes.constEnd())
        return Error::attributeUnsupported;
    if (!it.value().isValid())
        return Error::noValue;
    *value = it.value();
    return Error::success;
}

Error setAttributeValue(const Element& element, const QString& attribute, const QVariant& value)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    Error error = Error::success;
    const sim::ElementNode* node = reachable(d, element, &error);
    if (!node)
        return error;
    d.attributeWrites.append(QString::number(element.handle()) + QLatin1Char(' ') + attribute + QLatin1Char('=') +
                             describe(value));
    if (attribute == frontmostAttribute() && isApplicationElement(d, element, *node)) {
        if (value.toBool())
            d.frontmostApp = node->pid;
        return Error::success;
    }
    d.node(element.handle())->attributes.insert(attribute, value);
    return Error::success;
}

Error performAction(const Element& element, const QString& action)
{
    World& world = World::shared();
    std::function<Error()> handler;
    {
        Lock lock(world.mutex());
        const auto& d = world.internals();
        d.countCall(QStringLiteral("performAction"));
        Error error = Error::success;
        const sim::ElementNode* node = reachable(d, element, &error);
        if (!node)
            return error;
        handler = node->actions.value(action);
    }
    if (!handler)
        return Error::actionUnsupported;
    return handler();
}

Error copyAttributeNames(const Element& element, QStringList* names)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    const auto& d = world.internals();
    d.countCall(QStringLiteral("copyAttributeNames"));
    Error error = Error::success;
    const sim::ElementNode* node = reachable(d, element, &error);
    if (!node)
        return error;
    QStringList list = node->attributes.keys();
    // These are answered from the tree, not stored.
    list.append(QStringLiteral("AXChildren"));
    if (node->parent != 0)
        list.append(QStringLiteral("AXParent"));
    if (isApplicationElement(d, element, *node))
        list.append(frontmostAttribute());
    list.removeDuplicates();
    list.sort();
    *names = list;
    return Error::success;
}

ValueType valueGetType(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QPointF: return ValueType::cgPoint;
    case QMetaType::QSizeF: return ValueType::cgSize;
    case QMetaType::QRectF: return ValueType::cgRect;
    default: return ValueType::illegal;
    }
}

Error setMessagingTimeout(const Element& element, float seconds)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    sim::ElementNode* node = world.internals().node(element.handle());
    if (!node || seconds < 0)
        return Error::illegalArgument;
    node->messagingTimeout = seconds;
    return Error::success;
}

} // namespace platform::AX
