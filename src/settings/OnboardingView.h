#pragma once

#include <QSize>
#include <QWidget>

#include <functional>

class AccentButton;
class Accessibility;
class QAbstractButton;
class Settings;
class StepRow;

// The welcome window's view, 500 x 560: the app icon, "Welcome to
// Tessaroom", three steps (the menu-bar tile, Accessibility, the Quick
// Switcher) and the buttons. It follows the permission live: once granted,
// step 2 shows its checkmark and "Open Accessibility Settings" becomes
// "Done". "Skip for now" and "Done" write onboardingDismissed first, then
// run the close action; the window's own close control dismisses nothing.
// Return presses the main button wherever the focus is; Tab moves through
// the two buttons only, each showing its ring.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize windowSize{500, 560};

    OnboardingView(Settings& settings, Accessibility& access, std::function<void()> close,
                   QWidget* parent = nullptr);

    StepRow* step(int number) const;
    QAbstractButton* skipButton() const { return skip_; }
    // "Open Accessibility Settings" or "Done": the default button.
    AccentButton* mainButton() const { return main_; }

    void dismiss();

    QSize sizeHint() const override { return windowSize; }

protected:
    // Return or Enter that no control took, also one that reaches the window
    // itself before it is active: the default button, as in a dialog.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void pressMain();
    bool pressesDefault(QEvent* event);

    Settings& settings_;
    Accessibility& access_;
    std::function<void()> close_;
    QList<StepRow*> steps_;
    QAbstractButton* skip_;
    AccentButton* main_;
};
