#include "ui/SettingRow.h"

#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color)
{
    auto* label = new QLabel(text);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    return label;
}
} // namespace

SettingRow::SettingRow(const QString& title, const std::optional<QString>& caption, QWidget* control,
                       QWidget* parent)
    : QWidget(parent)
    , title_(makeLabel(title, Theme::font(13, QFont::Medium), Theme::text()))
    , control_(control)
{
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(title_);
    if (caption) {
        caption_ = makeLabel(*caption, Theme::font(11.5), Theme::textSecondary());
        texts->addWidget(caption_);
    }

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 9, 0, 9);
    row->setSpacing(0);
    row->addLayout(texts);
    row->addSpacing(16);
    row->addStretch(1);
    row->addSpacing(12);
    row->addSpacing(16);
    if (control_)
        row->addWidget(control_, 0, Qt::AlignVCenter);
}
