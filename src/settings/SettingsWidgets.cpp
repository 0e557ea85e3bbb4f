#include "settings/SettingsWidgets.h"

#include "store/Settings.h"
#include "store/Timers.h"
#include "ui/SettingRow.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace SettingsWidgets {

QLabel* label(const QString& text, const QFont& font, const QColor& color, Wrap wrap)
{
    auto* shown = new QLabel(text);
    shown->setFont(font);
    shown->setTextFormat(Qt::PlainText);
    QPalette palette = shown->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    shown->setPalette(palette);
    shown->setWordWrap(wrap == Wrap::wrapping);
    return shown;
}

QVBoxLayout* column(QWidget* owner, int spacing)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

void afterSettingsChange(Settings& settings, QWidget* receiver, std::function<void()> refresh)
{
    QObject::connect(&settings, &Settings::objectWillChange, receiver, [receiver, refresh] {
        QPointer<QWidget> weak(receiver);
        runAfter(0, [weak, refresh] {
            if (weak)
                refresh();
        });
    });
}

void wrapCaptions(QWidget* root)
{
    for (SettingRow* row : root->findChildren<SettingRow*>()) {
        QLabel* caption = row->captionLabel();
        if (!caption)
            continue;
        caption->setWordWrap(true);
        // The texts take the row's free width before the gap does.
        if (auto* box = qobject_cast<QBoxLayout*>(row->layout()); box && box->count() > 2) {
            box->setStretch(0, 1);
            box->setStretch(2, 0);
        }
    }
}

void clear(QBoxLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget())
            delete widget;
        else if (QLayout* inner = item->layout())
            delete inner;
        delete item;
    }
}

} // namespace SettingsWidgets
