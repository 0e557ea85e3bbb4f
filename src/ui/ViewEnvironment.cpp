#include "ui/ViewEnvironment.h"

#include <QCoreApplication>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {
const char* const tintPaletteKey = "tessaroom.environment.tintPalette";
const char* const rendersFlatKey = "tessaroom.environment.rendersFlat";
} // namespace

TintPalette ViewEnvironment::tintPalette(const QWidget* widget)
{
    const QVariant value = lookup(widget, tintPaletteKey);
    return value.isValid() ? value.value<TintPalette>() : TintPalette::blue();
}

void ViewEnvironment::setTintPalette(QWidget* widget, const TintPalette& palette)
{
    store(widget, tintPaletteKey, QVariant::fromValue(palette));
}

bool ViewEnvironment::rendersFlat(const QWidget* widget)
{
    return lookup(widget, rendersFlatKey).toBool();
}

void ViewEnvironment::setRendersFlat(QWidget* widget, bool flat)
{
    store(widget, rendersFlatKey, flat);
}

QEvent::Type ViewEnvironment::changeEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QVariant ViewEnvironment::lookup(const QWidget* widget, const char* key)
{
    for (const QWidget* current = widget; current; current = current->parentWidget()) {
        const QVariant value = current->property(key);
        if (value.isValid())
            return value;
    }
    return {};
}

void ViewEnvironment::store(QWidget* widget, const char* key, const QVariant& value)
{
    widget->setProperty(key, value);
    // A widget may rebuild itself on the event, deleting some of the subtree.
    QList<QPointer<QWidget>> subtree{widget};
    for (QWidget* member : widget->findChildren<QWidget*>())
        subtree.append(member);
    for (const QPointer<QWidget>& member : subtree) {
        if (!member)
            continue;
        QEvent event(changeEvent());
        QCoreApplication::sendEvent(member, &event);
        member->update();
    }
}
