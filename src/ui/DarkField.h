#pragma once

#include <QWidget>

class QLineEdit;

// The kit's text-field look: a bezel-less field padded 10 by 6 points on a
// dark well with the theme's stroke. The field keeps the font and text
// colour it inherits or was given. While the field has focus its border is
// the focus ring. A text longer than the field shows its start when it is
// set from outside while the field is not being edited and when the user
// leaves the field, never on the user's own edits.
class DarkField : public QWidget {
    Q_OBJECT
public:
    // Takes the field in.
    explicit DarkField(QLineEdit* field, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showStart();

    QLineEdit* field_;
};
