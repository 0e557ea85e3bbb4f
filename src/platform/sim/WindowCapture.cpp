#include "platform/WindowCapture.h"

#include "platform/Screens.h"
#include "platform/sim/StatusBarState.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace platform::WindowCapture {

namespace {

// Above the status-item windows and the simulated world's own windows.
constexpr qint64 firstNumber = 1 << 20;
const char* const numberProperty = "platform.windowNumber";

// Notes which window came to the front last. The toolkit keeps no stacking
// order it can be asked for, so every showing, raising and activation of a
// top-level window is stamped as it happens, from the start of the app.
class StackingWatch final : public QObject {
public:
    struct Entry {
        QPointer<QWidget> window;
        quint64 stamp = 0;
    };

    explicit StackingWatch(QObject* parent) : QObject(parent) {}

    static StackingWatch* current;

    qint64 number(QWidget* window)
    {
        const QVariant known = window->property(numberProperty);
        if (known.isValid())
            return known.toLongLong();
        const qint64 number = next_++;
        window->setProperty(numberProperty, number);
        entries_.insert(number, Entry{window, 0});
        return number;
    }

    void toFront(QWidget* window) { entries_[number(window)].stamp = ++clock_; }

    QWidget* window(qint64 number)
    {
        auto it = entries_.find(number);
        if (it == entries_.end())
            return nullptr;
        if (!it->window) {
            entries_.erase(it);
            return nullptr;
        }
        return it->window;
    }

    quint64 stamp(qint64 number) const { return entries_.value(number).stamp; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::ZOrderChange || type == QEvent::WindowActivate)
            && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow())
                toFront(widget);
        }
        return false;
    }

private:
    QHash<qint64, Entry> entries_;
    qint64 next_ = firstNumber;
    quint64 clock_ = 0;
};

StackingWatch* StackingWatch::current = nullptr;

void startWatching()
{
    if (StackingWatch::current || !QCoreApplication::instance())
        return;
    StackingWatch::current = new StackingWatch(QCoreApplication::instance());
    QObject::connect(StackingWatch::current, &QObject::destroyed, [] { StackingWatch::current = nullptr; });
    QCoreApplication::instance()->installEventFilter(StackingWatch::current);
}

Q_COREAPP_STARTUP_FUNCTION(startWatching)

StackingWatch* watch()
{
    startWatching();
    return StackingWatch::current;
}

// Menus and tool tips lie above every window, windows that stay on top above
// ordinary ones.
int band(const QWidget* window)
{
    const Qt::WindowType type = window->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip)
        return 2;
    return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) ? 1 : 0;
}

bool isOnScreen(const QWidget* window)
{
    return window->isVisible() && !window->isMinimized() && !window->testAttribute(Qt::WA_DontShowOnScreen)
        && window->windowType() != Qt::Desktop;
}

QImage statusItemImage(qint64 number)
{
    for (const auto& entry : sim::StatusBarState::shared().entries) {
        if (entry.item && entry.item->windowNumber() == number) {
            const std::optional<Screen> screen = Screens::primaryScreen();
            return entry.item->button()->snapshot(screen ? screen->backingScaleFactor : 1.0);
        }
    }
    return {};
}

} // namespace

qint64 windowNumber(const QWidget* window)
{
    if (!window || !watch())
        return 0;
    return watch()->number(const_cast<QWidget*>(window->window()));
}

QList<OwnWindow> onScreenWindows()
{
    StackingWatch* stacking = watch();
    if (!stacking || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return {};
    struct Candidate {
        OwnWindow window;
        int band = 0;
        quint64 stamp = 0;
    };
    QList<Candidate> candidates;
    const qint32 pid = qint32(QCoreApplication::applicationPid());
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!isOnScreen(widget))
            continue;
        const qint64 number = stacking->number(widget);
        candidates.append({OwnWindow{number, pid, QRectF(widget->frameGeometry())}, band(widget),
                           stacking->stamp(number)});
    }
    // Windows never stamped (shown before the watch began) go behind, oldest
    // number first.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        if (a.band != b.band)
            return a.band > b.band;
        if (a.stamp != b.stamp)
            return a.stamp > b.stamp;
        return a.window.number < b.window.number;
    });
    QList<OwnWindow> result;
    result.reserve(candidates.size());
    for (const Candidate& candidate : candidates)
        result.append(candidate.window);
    return result;
}

QImage windowImage(qint64 number)
{
    if (StackingWatch* stacking = watch()) {
        if (QWidget* window = stacking->window(number)) {
            // The window as the screen shows it: with the showings and
            // layouts already asked for done.
            QCoreApplication::sendPostedEvents();
            return window->grab().toImage();
        }
    }
    return statusItemImage(number);
}

} // namespace platform::WindowCapture
