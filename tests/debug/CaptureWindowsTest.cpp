#include "platform/WindowCapture.h"

#include "platform/StatusBar.h"
#include "support/PlatformTest.h"

#include <QCoreApplication>
#include <QPainter>
#include <QWidget>

#include <cmath>
#include <memory>

namespace {

using platform::WindowCapture::onScreenWindows;
using platform::WindowCapture::windowImage;
using platform::WindowCapture::windowNumber;

// A window filled with one colour.
class SolidWindow : public QWidget {
public:
    SolidWindow(QColor color, QSize size, Qt::WindowFlags flags = {}) : QWidget(nullptr, flags), color_(color)
    {
        resize(size);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), color_); }

private:
    QColor color_;
};

class CaptureWindowsTest : public PlatformTest {
protected:
    CaptureWindowsTest() { ensureTestApplication(); }

    // The numbers of the listed windows that are among windows, in list order.
    static QList<qint64> listed(const QList<const QWidget*>& windows)
    {
        QList<qint64> numbers;
        for (const auto& entry : onScreenWindows()) {
            for (const QWidget* window : windows) {
                if (windowNumber(window) == entry.number)
                    numbers.append(entry.number);
            }
        }
        return numbers;
    }
};

// --- window numbers ---

TEST_F(CaptureWindowsTest, AWindowKeepsOneNumberAndItsChildrenAnswerIt)
{
    SolidWindow first(Qt::red, QSize(100, 50));
    SolidWindow second(Qt::blue, QSize(100, 50));
    auto* child = new QWidget(&first);
    EXPECT_GT(windowNumber(&first), 0);
    EXPECT_EQ(windowNumber(&first), windowNumber(&first));
    EXPECT_NE(windowNumber(&first), windowNumber(&second));
    EXPECT_EQ(windowNumber(child), windowNumber(&first));
    EXPECT_EQ(windowNumber(nullptr), 0);
}

// --- the list ---

TEST_F(CaptureWindowsTest, TheListHoldsShownWindowsFrontToBackWithThisProcessAsOwner)
{
    SolidWindow back(Qt::red, QSize(120, 60));
    SolidWindow front(Qt::blue, QSize(80, 40));
    SolidWindow hidden(Qt::green, QSize(80, 40));
    back.move(10, 20);
    back.show();
    front.show();
    EXPECT_EQ(listed({&back, &front, &hidden}), (QList<qint64>{windowNumber(&front), windowNumber(&back)}));
    back.raise();
    EXPECT_EQ(listed({&back, &front}), (QList<qint64>{windowNumber(&back), windowNumber(&front)}));
    for (const auto& entry : onScreenWindows()) {
        EXPECT_EQ(entry.ownerPID, qint32(QCoreApplication::applicationPid()));
        if (entry.number == windowNumber(&back)) {
            EXPECT_EQ(entry.bounds, QRectF(back.frameGeometry()));
        }
    }
    front.hide();
    EXPECT_EQ(listed({&back, &front}), QList<qint64>{windowNumber(&back)});
}

TEST_F(CaptureWindowsTest, WindowsThatStayOnTopComeBeforeOrdinaryOnesShownLater)
{
    SolidWindow panel(Qt::red, QSize(60, 30), Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    SolidWindow ordinary(Qt::blue, QSize(60, 30));
    panel.show();
    ordinary.show();
    EXPECT_EQ(listed({&panel, &ordinary}), (QList<qint64>{windowNumber(&panel), windowNumber(&ordinary)}));
}

// --- pictures ---

TEST_F(CaptureWindowsTest, APictureShowsTheWindowAtItsSize)
{
    SolidWindow window(QColor(10, 200, 30), QSize(64, 32));
    window.show();
    const QImage image = windowImage(windowNumber(&window));
    ASSERT_FALSE(image.isNull());
    const double ratio = window.devicePixelRatioF();
    EXPECT_EQ(image.size(), QSize(int(std::lround(64 * ratio)), int(std::lround(32 * ratio))));
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(10, 200, 30));
}

TEST_F(CaptureWindowsTest, NoPictureForAnUnknownOrDestroyedWindow)
{
    auto window = std::make_unique<SolidWindow>(Qt::red, QSize(40, 40));
    const qint64 number = windowNumber(window.get());
    window.reset();
    EXPECT_TRUE(windowImage(number).isNull());
    EXPECT_TRUE(windowImage(123).isNull());
}

TEST_F(CaptureWindowsTest, AStatusItemsWindowIsPicturedAsTheBarDrawsIt)
{
    platform::StatusItem item(50);
    item.button()->setTitle(QStringLiteral("Mail"));
    const QImage image = windowImage(item.windowNumber());
    EXPECT_EQ(image, item.button()->snapshot(2));
    EXPECT_EQ(image.size(), QSize(100, int(platform::StatusItem::thickness * 2)));
}

} // namespace
