#include "SettingsTest.h"

#include "ui/KitFonts.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QLayout>
#include <QMouseEvent>

#include <cmath>

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
    if (!widget.testAttribute(Qt::WA_Resized))
        widget.resize(widget.sizeHint());
    if (widget.layout())
        widget.layout()->activate();
    QImage image(QSize(int(std::ceil(widget.width() * scale)), int(std::ceil(widget.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Theme::canvas());
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void SettingsTest::keep(QWidget& widget, const QString& name)
{
    const QByteArray folder = qgetenv("TESSAROOM_RENDER_DIR");
    if (folder.isEmpty())
        return;
    render(widget, 2).save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + name + QStringLiteral(".png"));
}
