#include "ui/SettingsCard.h"

#include <QVBoxLayout>

SettingsCard::SettingsCard(const QList<QWidget*>& rows, QWidget* parent)
    : Card(new QWidget, 0, parent)
    , rows_(new QVBoxLayout(content()))
{
    rows_->setContentsMargins(16, 4, 16, 4);
    rows_->setSpacing(0);
    for (QWidget* row : rows)
        addRow(row);
}

void SettingsCard::addRow(QWidget* row)
{
    rows_->addWidget(row);
}
