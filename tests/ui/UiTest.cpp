#include "UiTest.h"

#include "store/SpaceStore.h"
#include "ui/KitFonts.h"

#include <QLayout>
#include <QWidget>

#include <cmath>
#include <cstdlib>

UiTest::UiTest()
{
    KitFonts::install();
}

QImage UiTest::render(QWidget& widget, QColor background, double scale)
{
    if (!widget.testAttribute(Qt::WA_Resized))
        widget.resize(widget.sizeHint());
    if (widget.layout())
        widget.layout()->activate();
    QImage image(QSize(int(std::ceil(widget.width() * scale)), int(std::ceil(widget.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QColor UiTest::at(const QImage& image, QPointF point)
{
    const double scale = image.devicePixelRatio();
    return image.pixelColor(int(std::floor(point.x() * scale)), int(std::floor(point.y() * scale)));
}

QColor UiTest::over(const QColor& fg, const QColor& bg)
{
    const double a = fg.alphaF();
    return QColor::fromRgbF(float(fg.redF() * a + bg.redF() * (1 - a)), float(fg.greenF() * a + bg.greenF() * (1 - a)),
                            float(fg.blueF() * a + bg.blueF() * (1 - a)));
}

Desktop UiTest::desktop(qint64 number, const SpaceIcon& icon, const TileColor& color, const QString& name)
{
    Desktop made;
    made.space.id = quint64(100 + number);
    made.space.managedID = 10 + number;
    made.space.displayUUID = QStringLiteral("display-1");
    made.number = number;
    SpaceStore::shared().change(made.managedID(), [&](SpaceMeta& meta) {
        meta.icon = icon;
        meta.color = color;
        meta.name = name;
    });
    return made;
}

::testing::AssertionResult sameColor(const QColor& actual, const QColor& expected, int tolerance)
{
    const QColor a = actual.toRgb();
    const QColor e = expected.toRgb();
    const bool close = std::abs(a.red() - e.red()) <= tolerance && std::abs(a.green() - e.green()) <= tolerance
        && std::abs(a.blue() - e.blue()) <= tolerance && std::abs(a.alpha() - e.alpha()) <= tolerance;
    if (close)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << a.name(QColor::HexArgb).toStdString() << " is not "
                                         << e.name(QColor::HexArgb).toStdString();
}
