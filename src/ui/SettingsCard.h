#pragma once

#include "ui/Card.h"

#include <QList>

class QVBoxLayout;

// A card without padding around a column of rows (16 points in from the
// sides, 4 from the top and bottom), as the settings pages use.
class SettingsCard : public Card {
    Q_OBJECT
public:
    explicit SettingsCard(const QList<QWidget*>& rows = {}, QWidget* parent = nullptr);

    void addRow(QWidget* row);

private:
    QVBoxLayout* rows_;
};
