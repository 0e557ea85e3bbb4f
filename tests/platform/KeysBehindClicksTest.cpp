#include "platform/QtKeyEvents.h"
#include "platform/sim/Input.h"
#include "platform/sim/KeysBehindClicks.h"
#include "platform/sim/SessionHooks.h"
#include "support/PlatformTest.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtTest/qtestspontaneevent.h>

#include <memory>

using platform::sim::KeysBehindClicks;

namespace {

// A window with two fields, the first focused, on a session whose window
// manager may hold a click back while the keys typed after it arrive.
class KeysBehindClicksTest : public PlatformTest {
protected:
    KeysBehindClicksTest()
    {
        platform::QtKeyEvents::routeToLocalMonitors();
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        first_ = new QLineEdit;
        second_ = new QLineEdit;
        layout->addWidget(first_);
        layout->addWidget(second_);
        window_->show();
        window_->activateWindow();
        QApplication::processEvents();
        first_->setFocus();
    }

    static QPoint centreOf(const QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }

    // The session's raw press: at once, whatever the window manager does.
    static void sessionClick(quint64 time, QPoint at) { platform::sim::sessionButtonPressed(time, 1, at); }

    // The click as the window system hands it to the app, maybe late.
    static void clickArrives(QWidget* widget, quint64 time)
    {
        const QPointF at = QRectF(widget->rect()).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            event.setTimestamp(time);
            QSpontaneKeyEvent::setSpontaneous(&event);
            QApplication::instance()->notify(widget, &event);
        }
    }

    // Keys as the window system hands them to the focused widget.
    static void type(const QString& text, quint64 time)
    {
        for (const QChar character : text) {
            for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, Qt::Key_A + (character.toUpper().unicode() - 'A'), Qt::NoModifier,
                                QString(character));
                event.setTimestamp(time++);
                QApplication::sendEvent(QApplication::focusWidget(), &event);
            }
        }
    }

    std::unique_ptr<QWidget> window_;
    QLineEdit* first_ = nullptr;
    QLineEdit* second_ = nullptr;
};

// --- keys typed after a click ---

TEST_F(KeysBehindClicksTest, KeysTypedAfterALateClickGoToTheFieldItFocused)
{
    int saves = 0;
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), window_.get());
    QObject::connect(save, &QShortcut::activated, [&saves] { ++saves; });

    type(QStringLiteral("ab"), 900);
    sessionClick(1000, centreOf(second_));
    type(QStringLiteral("Zed"), 1010);
    QKeyEvent control(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
    control.setTimestamp(1020);
    QApplication::sendEvent(QApplication::focusWidget(), &control);
    EXPECT_EQ(first_->text(), "ab") << "keys typed before the click stay, later ones wait";
    EXPECT_EQ(saves, 0) << "shortcuts wait too";

    clickArrives(second_, 1000);
    EXPECT_TRUE(second_->hasFocus());
    advance(0);
    EXPECT_EQ(first_->text(), "ab");
    EXPECT_EQ(second_->text(), "Zed");
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(KeysBehindClicks::shared().isHolding());

    // Once the click is in, keys go straight to the focus.
    type(QStringLiteral("s"), 1100);
    EXPECT_EQ(second_->text(), "Zeds");
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(KeysBehindClicksTest, KeysGoWhereTheFocusIsWhenTheClickNeverArrives)
{
    sessionClick(1000, centreOf(second_));
    type(QStringLiteral("Zed"), 1010);
    EXPECT_EQ(first_->text(), "");
    advance(KeysBehindClicks::maxHold - 0.1);
    EXPECT_EQ(first_->text(), "");
    advance(0.1);
    EXPECT_EQ(first_->text(), "Zed");
    EXPECT_EQ(second_->text(), "");
}

TEST_F(KeysBehindClicksTest, ClicksThatHoldNoKeys)
{
    // Outside the app's windows.
    sessionClick(1000, window_->mapToGlobal(QPoint(window_->width() + 50, 0)));
    type(QStringLiteral("a"), 1010);
    // Already delivered when the session's press is read.
    clickArrives(second_, 2000);
    sessionClick(2000, centreOf(second_));
    type(QStringLiteral("b"), 2010);
    // A wheel step.
    platform::sim::sessionButtonPressed(3000, 4, centreOf(first_));
    type(QStringLiteral("c"), 3010);
    EXPECT_EQ(first_->text(), "a");
    EXPECT_EQ(second_->text(), "bc");
    // On a window a modal dialog blocks: the click never reaches it.
    QLineEdit dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setGeometry(window_->geometry().translated(0, window_->height() + 100));
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    dialog.setFocus();
    sessionClick(4000, centreOf(first_));
    type(QStringLiteral("d"), 4010);
    EXPECT_EQ(dialog.text(), "d");
    EXPECT_FALSE(KeysBehindClicks::shared().isHolding());
}

} // namespace
