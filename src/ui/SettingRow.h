#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

// A settings row: the title (and an optional caption under it) on the left,
// the control on the right, at least 12 points apart.
class SettingRow : public QWidget {
    Q_OBJECT
public:
    SettingRow(const QString& title, const std::optional<QString>& caption, QWidget* control,
               QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    // Null without a caption.
    QLabel* captionLabel() const { return caption_; }
    QWidget* control() const { return control_; }

private:
    QLabel* title_;
    QLabel* caption_ = nullptr;
    QWidget* control_;
};
