#include "debug/StatusProbe.h"

#include "menubar/StatusBarController.h"
#include "platform/Screens.h"
#include "platform/StatusBar.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"
#include "settings/NotchScreens.h"
#include "store/Timers.h"

#include <QFontInfo>
#include <QVariantMap>

StatusProbe::StatusProbe(AppCommands& commands, ModeOutput::LineSink sink, ModeOutput::Exit exit)
    : sink_(std::move(sink))
    , exit_(std::move(exit))
    , controller_(std::make_unique<StatusBarController>(commands))
{
    std::weak_ptr<bool> alive = alive_;
    runAfter(firstLook, [this, alive] {
        if (alive.expired())
            return;
        sink_(QStringLiteral("tile after 0.6 s: ") + controller_->debugLine());
        controller_->checkFit();
    });
    runAfter(lastLook, [this, alive] {
        if (!alive.expired())
            describe();
    });
}

StatusProbe::~StatusProbe() = default;

static QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// A window-list value in its plain textual form; fallback when missing.
static QString valueText(const QVariant& value, const QString& fallback)
{
    if (!value.isValid())
        return fallback;
    if (value.typeId() == QMetaType::Bool)
        return flag(value.toBool());
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        if (map.isEmpty())
            return QStringLiteral("[:]");
        QStringList parts;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts.append(QStringLiteral("\"%1\": %2").arg(it.key(), it.value().toString()));
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    return value.toString();
}

void StatusProbe::describe()
{
    for (const platform::Screen& screen : platform::Screens::screens()) {
        const std::optional<QRectF> notch = NotchScreens::notchRect(screen);
        sink_(QStringLiteral("screen '%1' frame=%2 notch=%3")
                  .arg(screen.localizedName, ModeOutput::rectText(screen.frame),
                       notch ? ModeOutput::rectText(*notch) : QStringLiteral("-")));
    }
    sink_(QStringLiteral("tile: ") + controller_->debugLine());
    platform::StatusBarButton* button = controller_->item().button();
    platform::StatusBarWindow* window = button ? button->window() : nullptr;
    if (window) {
        const QRectF frame = window->frame();
        const std::optional<platform::Screen> screen = window->screen();
        sink_(QStringLiteral("window visible=%1 screen=%2 occlusion=%3 alpha=%4 buttonFrame=%5 buttonHidden=%6 "
                             "superviewHidden=false")
                  .arg(flag(window->isVisible()), screen ? screen->localizedName : QStringLiteral("-"),
                       QString::number(window->occlusionState()), ModeOutput::number(window->alphaValue()),
                       ModeOutput::rectText(button->frame()), flag(button->isHidden())));
        const QImage image = button->image();
        const QFont font = button->font();
        const QString fontText = font.family().isEmpty()
            ? QStringLiteral("-")
            : font.family() + QLatin1Char(' ') + ModeOutput::number(font.pointSizeF());
        const QRectF bounds(QPointF(0, 0), button->frame().size());
        sink_(QStringLiteral("layout: barThickness=%1 windowFrame=%2 imageSize=%3 imageRect=%4 titleRect=%5 font=%6 "
                             "title='%7' intrinsic=%8 flipped=%9")
                  .arg(ModeOutput::number(platform::StatusItem::thickness), ModeOutput::rectText(frame),
                       image.isNull() ? QStringLiteral("-")
                                      : ModeOutput::sizeText(QSizeF(image.size()) / image.devicePixelRatio()),
                       ModeOutput::rectText(button->imageRect(bounds)),
                       ModeOutput::rectText(button->titleRect(bounds)), fontText,
                       button->title(), ModeOutput::sizeText(button->intrinsicContentSize()),
                       flag(button->isFlipped())));
        const qint32 pid = platform::Workspace::currentProcessIdentifier();
        const QVariantList windows =
            platform::WindowServer::windowListCopyWindowInfo(platform::WindowServer::windowListOptionAll, 0).toList();
        for (const QVariant& entry : windows) {
            const QVariantMap info = entry.toMap();
            if (info.value(QStringLiteral("kCGWindowOwnerPID")).toLongLong() != pid)
                continue;
            sink_(QStringLiteral("  own window id=%1 layer=%2 bounds=%3 onscreen=%4 alpha=%5")
                      .arg(valueText(info.value(QStringLiteral("kCGWindowNumber")), QStringLiteral("0")),
                           valueText(info.value(QStringLiteral("kCGWindowLayer")), QStringLiteral("0")),
                           valueText(info.value(QStringLiteral("kCGWindowBounds")), QStringLiteral("[:]")),
                           valueText(info.value(QStringLiteral("kCGWindowIsOnscreen")), QStringLiteral("false")),
                           valueText(info.value(QStringLiteral("kCGWindowAlpha")), QStringLiteral("1"))));
        }
    }
    sink_(QStringLiteral("done"));
    exit_(0);
}

void runStatusProbe(const QString& logPath, AppCommands& commands, ModeOutput::Exit exit)
{
    ModeOutput::keepUntilExit(std::make_shared<StatusProbe>(commands, ModeOutput::logSink(logPath), std::move(exit)));
}
