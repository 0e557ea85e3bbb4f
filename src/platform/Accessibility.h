#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace platform {

// The accessibility service: the trust check and the element trees that
// applications expose (attributes, settable attributes, actions).
namespace AX {

enum class Error : qint32 {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    cannotComplete = -25204,
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notImplemented = -25208,
    apiDisabled = -25211,
    noValue = -25212,
};

// A reference to one element of some application's tree. Copies refer to
// the same element; a default-made one refers to nothing.
class Element {
public:
    Element() = default;
    explicit Element(quint64 handle)
        : handle_(handle)
    {
    }
    quint64 handle() const { return handle_; }
    bool isNull() const { return handle_ == 0; }
    bool operator==(const Element&) const = default;

private:
    quint64 handle_ = 0;
};

// Whether this process may use the accessibility service.
bool isProcessTrusted();
// The same check; with prompt true the system asks the user to grant the
// permission when it is missing.
bool isProcessTrustedWithOptions(bool prompt);

// The root element of an application's tree.
Element createApplication(qint32 processIdentifier);

// Attribute values: QString (text), bool, qint64 or double (number), QUrl,
// Element, QVariantList of Element, QPointF (position), QSizeF (size),
// QRectF (frame).
// The value is written only on success. Safe to call from any thread.
Error copyAttributeValue(const Element& element, const QString& attribute, QVariant* value);
Error setAttributeValue(const Element& element, const QString& attribute, const QVariant& value);
Error performAction(const Element& element, const QString& action);
// The names of the element's attributes, sorted; written only on success.
Error copyAttributeNames(const Element& element, QStringList* names);
// Bounds how long requests to the element's application may wait.
Error setMessagingTimeout(const Element& element, float seconds);

// --- typed values --------------------------------------------------------------

// The kinds of accessibility value: a point (QPointF), a size (QSizeF), a
// rectangle (QRectF). Other values (texts, numbers, elements) are illegal.
enum class ValueType { illegal = 0, cgPoint = 1, cgSize = 2, cgRect = 3 };
ValueType valueGetType(const QVariant& value);

// --- batch reads ---------------------------------------------------------------

// The entry of a batch read for an attribute that could not be read.
struct ValueError {
    Error error = Error::failure;
};

// Reads several attributes in one request: values gets one entry per
// attribute, in order, a ValueError where that attribute failed. When the
// element itself cannot be reached the whole call fails and values is left
// alone. options is reserved (0).
Error copyMultipleAttributeValues(const Element& element, const QStringList& attributes, quint32 options,
                                  QVariantList* values);

// --- observers -------------------------------------------------------------------

// Receives an application's notifications. A default-made one refers to nothing.
class Observer {
public:
    Observer() = default;
    explicit Observer(quint64 handle)
        : handle_(handle)
    {
    }
    quint64 handle() const { return handle_; }
    bool isNull() const { return handle_ == 0; }
    bool operator==(const Observer&) const = default;

private:
    quint64 handle_ = 0;
};

// (observer, element the notification is about, its name, the context given
// when the notification was added). Runs on the main thread.
using ObserverCallback = std::function<void(const Observer&, const Element&, const QString&, void*)>;

// An observer of process pid's notifications; out is written on success only.
Error observerCreate(qint32 processIdentifier, ObserverCallback callback, Observer* out);
// Asks for one notification of element (the application element: of every
// element of the process); context is handed back to the callback, not owned.
Error observerAddNotification(const Observer& observer, const Element& element, const QString& notification,
                              void* context);
Error observerRemoveNotification(const Observer& observer, const Element& element, const QString& notification);
// Adds or removes the observer's run-loop source on the main run loop;
// notifications are delivered only while it is added.
void observerSetRunLoopSourceAdded(const Observer& observer, bool added);
// Drops the observer; nothing more is delivered to it.
void observerRelease(const Observer& observer);

} // namespace AX
} // namespace platform

Q_DECLARE_METATYPE(platform::AX::Element)
Q_DECLARE_METATYPE(platform::AX::ValueError)
