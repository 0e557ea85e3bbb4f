#pragma once

#include "ui/AccentButton.h"

#include <QString>

// A plain accent button that puts the application's diagnostics text on the
// clipboard and reads "Copied" for 1.5 s. Every click schedules its own reset
// on the scheduler; the earliest pending one ends the "Copied" state.
class CopyDiagnosticsButton : public AccentButton {
    Q_OBJECT
public:
    static constexpr double copiedSeconds = 1.5;

    explicit CopyDiagnosticsButton(const QString& title = QStringLiteral("Copy Diagnostics"),
                                   QWidget* parent = nullptr);

    QString restingTitle() const { return title_; }
    bool isCopied() const { return copied_; }
    void copy();

private:
    void setCopied(bool copied);

    QString title_;
    bool copied_ = false;
};
