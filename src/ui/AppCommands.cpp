#include "ui/AppCommands.h"

#include <QVariant>
#include <QWidget>

namespace {
const char* const commandsKey = "tessaroom.environment.commands";
} // namespace

InertCommands& InertCommands::shared()
{
    static InertCommands* const inert = new InertCommands; // lives to the end of the process
    return *inert;
}

namespace AppEnvironment {

AppCommands& commands(const QWidget* widget)
{
    for (const QWidget* current = widget; current; current = current->parentWidget()) {
        const QVariant value = current->property(commandsKey);
        if (value.isValid())
            return *static_cast<AppCommands*>(value.value<void*>());
    }
    return InertCommands::shared();
}

void setCommands(QWidget* widget, AppCommands& commands)
{
    widget->setProperty(commandsKey, QVariant::fromValue(static_cast<void*>(&commands)));
}

QWidget* withAppEnvironment(QWidget* root, AppCommands& commands)
{
    setCommands(root, commands);
    return root;
}

} // namespace AppEnvironment
