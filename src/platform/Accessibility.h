#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

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
// Element, QVariantList of Element, QPointF (position), QSizeF (size).
// The value is written only on success. Safe to call from any thread.
Error copyAttributeValue(const Element& element, const QString& attribute, QVariant* value);
Error setAttributeValue(const Element& element, const QString& attribute, const QVariant& value);
Error performAction(const Element& element, const QString& action);
// Bounds how long requests to the element's application may wait.
Error setMessagingTimeout(const Element& element, float seconds);

} // namespace AX
} // namespace platform

Q_DECLARE_METATYPE(platform::AX::Element)
