#include "settings/OnboardingView.h"

#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "settings/StepRow.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"
#include "ui/AccentButton.h"
#include "ui/AppIcon.h"
#include "ui/KitFocus.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QKeyEvent>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int iconSize = 76;
constexpr double skipRingRadius = 7;

// The app's icon over its blue glow.
class WelcomeIcon : public QWidget {
public:
    WelcomeIcon()
    {
        setObjectName(QStringLiteral("appIcon"));
        // Room below for the glow.
        setFixedSize(iconSize + 40, iconSize + 28);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF icon((width() - iconSize) / 2.0, 0, iconSize, iconSize);
        QRadialGradient glow(icon.center() + QPointF(0, 8), iconSize * 0.75);
        QColor blue = Theme::blue();
        blue.setAlphaF(0.5f);
        glow.setColorAt(0, blue);
        blue.setAlphaF(0);
        glow.setColorAt(1, blue);
        painter.fillRect(rect(), glow);
        AppIcon::paint(painter, icon);
    }
};

// "Skip for now": a borderless text button that shows the kit's focus ring.
class SkipButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPushButton::paintEvent(event);
        if (!KitFocus::showsRing(*this))
            return;
        QPainter painter(this);
        KitFocus::paintRing(painter, QRectF(rect()), skipRingRadius, Theme::focusRing());
    }
};

} // namespace

OnboardingView::OnboardingView(Settings& settings, Accessibility& access, std::function<void()> close,
                               QWidget* parent)
    : QWidget(parent)
    , settings_(settings)
    , access_(access)
    , close_(std::move(close))
{
    setObjectName(QStringLiteral("onboardingView"));
    setFixedSize(windowSize);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::canvas());
    setPalette(palette);

    auto* layout = SettingsWidgets::column(this, 0);
    auto* header = new QVBoxLayout;
    header->setContentsMargins(0, 36, 0, 24);
    header->setSpacing(12);
    header->addWidget(new WelcomeIcon, 0, Qt::AlignHCenter);
    QLabel* title = SettingsWidgets::label(QStringLiteral("Welcome to Tessaroom"), Theme::displayFont(26, QFont::Bold),
                                           Theme::text());
    title->setObjectName(QStringLiteral("welcomeTitle"));
    header->addWidget(title, 0, Qt::AlignHCenter);
    QLabel* intro = SettingsWidgets::label(QStringLiteral("Name your desktops. See the names in the menu bar, inside "
                                                          "Mission Control, and as a tag whenever you switch."),
                                           Theme::font(13), Theme::textSecondary(), SettingsWidgets::Wrap::wrapping);
    intro->setObjectName(QStringLiteral("welcomeIntro"));
    intro->setAlignment(Qt::AlignHCenter);
    intro->setFixedWidth(400);
    header->addWidget(intro, 0, Qt::AlignHCenter);
    layout->addLayout(header);

    auto* steps = new QVBoxLayout;
    steps->setContentsMargins(28, 0, 28, 0);
    steps->setSpacing(10);
    steps_ = {new StepRow(1, QStringLiteral("Look at the menu bar")),
              new StepRow(2, QStringLiteral("Allow Accessibility")),
              new StepRow(3, QStringLiteral("Try the Quick Switcher"))};
    for (StepRow* row : std::as_const(steps_))
        steps->addWidget(row);
    layout->addLayout(steps);
    layout->addStretch(1);
    layout->addSpacing(16);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(24, 0, 24, 22);
    auto* skip = new SkipButton(QStringLiteral("Skip for now"));
    skip->setObjectName(QStringLiteral("skipButton"));
    skip->setFlat(true);
    skip->setFont(Theme::font(12));
    skip->setCursor(Qt::PointingHandCursor);
    QPalette skipPalette = skip->palette();
    skipPalette.setColor(QPalette::ButtonText, Theme::textTertiary());
    skip->setPalette(skipPalette);
    skip->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    QSizePolicy keepsPlace = skip->sizePolicy();
    keepsPlace.setRetainSizeWhenHidden(true);
    skip->setSizePolicy(keepsPlace);
    KitFocus::pressesOnReturn(*skip);
    connect(skip, &QAbstractButton::clicked, this, &OnboardingView::dismiss);
    skip_ = skip;
    buttons->addWidget(skip_);
    buttons->addStretch(1);
    main_ = new AccentButton({});
    main_->setObjectName(QStringLiteral("mainButton"));
    connect(main_, &QAbstractButton::clicked, this, &OnboardingView::pressMain);
    buttons->addWidget(main_);
    // The default button: Return presses it wherever the focus is in the
    // window, from the moment it shows (keyPressEvent and the window's
    // filter take it while the window is not active yet).
    auto* pressesMain = new QShortcut(this);
    pressesMain->setKeys({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    pressesMain->setContext(Qt::WindowShortcut);
    connect(pressesMain, &QShortcut::activated, main_, &QAbstractButton::click);
    layout->addLayout(buttons);

    connect(&access_, &Accessibility::trustedChanged, this, &OnboardingView::refresh);
    connect(&access_, &Accessibility::askedAgainAfterUpdateChanged, this, &OnboardingView::refresh);
    SettingsWidgets::afterSettingsChange(settings_, this, [this] { refresh(); });
    refresh();
}

StepRow* OnboardingView::step(int number) const
{
    return number >= 1 && number <= steps_.size() ? steps_[number - 1] : nullptr;
}

void OnboardingView::refresh()
{
    const bool trusted = access_.trusted();
    steps_[0]->setState(QStringLiteral("The current desktop's tile and name are up there now. Click it to rename, "
                                       "pick an icon, or jump anywhere."),
                        true, false);
    steps_[1]->setState(SettingsTexts::accessibilityStepDetail(trusted, access_.askedAgainAfterUpdate()), trusted,
                        !trusted);
    steps_[2]->setState(SettingsTexts::switcherStepDetail(settings_.switcherHotkey()), false, false);
    // Transparent while trusted, but it keeps its place.
    skip_->setVisible(!trusted);
    main_->setText(trusted ? QStringLiteral("Done") : QStringLiteral("Open Accessibility Settings"));
    main_->updateGeometry();
    main_->update();
}

void OnboardingView::pressMain()
{
    if (access_.trusted())
        dismiss();
    else
        access_.openSystemSettings();
}

bool OnboardingView::pressesDefault(QEvent* event)
{
    auto* key = static_cast<QKeyEvent*>(event);
    const bool returnKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!returnKey || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || !main_->isEnabled())
        return false;
    key->accept();
    main_->click();
    return true;
}

void OnboardingView::keyPressEvent(QKeyEvent* event)
{
    if (!pressesDefault(event))
        QWidget::keyPressEvent(event);
}

void OnboardingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // With no control focused, keys go to the window itself.
    if (window() != this)
        window()->installEventFilter(this);
}

bool OnboardingView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window() && event->type() == QEvent::KeyPress)
        return pressesDefault(event);
    return QWidget::eventFilter(watched, event);
}

void OnboardingView::dismiss()
{
    settings_.setOnboardingDismissed(true);
    if (close_)
        close_();
}
