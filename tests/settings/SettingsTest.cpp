#include "SettingsTest.h"

#include "support/Pixels.h"
#include "ui/AppIcon.h"
#include "ui/KitFonts.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdlib>

SettingsTest::SettingsTest()
{
    KitFonts::install();
    world().clear();
}

platform::sim::DisplaySpec SettingsTest::displaySpec(int index, int desktops, int current)
{
    platform::sim::DisplaySpec display;
    display.uuid = QStringLiteral("display-%1").arg(index + 1);
    display.displayID = quint32(index + 1);
    display.frame = QRectF(1512.0 * index, 0, 1512, 982);
    for (int k = 1; k <= desktops; ++k) {
        const quint64 id = spaceID(index, k);
        display.spaces.append({id, qint64(id) + 1000, 0, {}});
    }
    display.currentSpaceID = desktops > 0 ? spaceID(index, current) : 0;
    return display;
}

void SettingsTest::layOut(const QList<int>& desktopsPerDisplay, int currentOnFirst)
{
    world().clear();
    for (qsizetype i = 0; i < desktopsPerDisplay.size(); ++i)
        world().addDisplay(displaySpec(int(i), desktopsPerDisplay[i], i == 0 ? currentOnFirst : 1));
    engine().refresh(false);
}

void SettingsTest::store(qint64 number, const SpaceMeta& meta)
{
    const std::optional<Desktop> found = engine().desktopWithNumber(number);
    ASSERT_TRUE(found.has_value());
    SpaceStore::shared().change(found->managedID(), [&](SpaceMeta& stored) { stored = meta; });
}

Desktop SettingsTest::desktop(qint64 number)
{
    return engine().desktopWithNumber(number).value_or(Desktop{});
}

void SettingsTest::click(QAbstractButton& button)
{
    leftClick(button, QRectF(button.rect()).center());
}

void SettingsTest::leftClick(QWidget& widget, QPointF at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&widget, &release);
}

QImage SettingsTest::render(QWidget& widget, double scale)
{
    return renderLaidOut(widget, Theme::canvas(), scale);
}

void SettingsTest::keep(QWidget& widget, const QString& name)
{
    const QByteArray folder = qgetenv("TESSAROOM_RENDER_DIR");
    if (folder.isEmpty())
        return;
    render(widget, 2).save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void SettingsTest::activate(QWidget& window)
{
    window.show();
    window.activateWindow();
    QApplication::processEvents();
}

void SettingsTest::pressTab(QWidget& window)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : &window, &release);
}

int SettingsTest::differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return differing;
}

::testing::AssertionResult SettingsTest::showsAppIcon(const QImage& image, const QRectF& rect)
{
    const double scale = image.devicePixelRatio();
    const QImage mark = AppIcon::image()->render(rect.width() / AppIcon::image()->size().width() * scale);
    // Inside each of the four white squares, and on the tint between them
    // and the edge.
    for (const QPointF share : {QPointF(0.33, 0.33), QPointF(0.67, 0.33), QPointF(0.33, 0.67), QPointF(0.67, 0.67),
                                QPointF(0.12, 0.5), QPointF(0.5, 0.12), QPointF(0.88, 0.5)}) {
        const QPointF in = rect.topLeft() + QPointF(share.x() * rect.width(), share.y() * rect.height());
        const QColor seen = image.pixelColor(int(in.x() * scale), int(in.y() * scale));
        const QColor expected = mark.pixelColor(int(share.x() * mark.width()), int(share.y() * mark.height()));
        const QColor a = seen.toRgb();
        const QColor e = expected.toRgb();
        if (std::abs(a.red() - e.red()) > 12 || std::abs(a.green() - e.green()) > 12
            || std::abs(a.blue() - e.blue()) > 12) {
            return ::testing::AssertionFailure() << "at " << share.x() << "," << share.y() << " the picture has "
                                                 << a.name().toStdString() << ", the icon "
                                                 << e.name().toStdString();
        }
    }
    return ::testing::AssertionSuccess();
}
