#pragma once

#include <QWidget>

// A hairline across the width it is given, one point high.
class RowDivider : public QWidget {
    Q_OBJECT
public:
    explicit RowDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
