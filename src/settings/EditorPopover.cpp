#include "settings/EditorPopover.h"

#include "store/Timers.h"
#include "ui/EditSpaceView.h"
#include "ui/HostedWindow.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

EditorPopover::EditorPopover(const Desktop& desktop, QWidget* anchor, Edge edge, std::function<void()> onClosed)
    : anchor_(anchor)
    , edge_(edge)
    , onClosed_(std::move(onClosed))
{
    setObjectName(QStringLiteral("editorPopover"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<EditorPopover> weak(this);
    editor_ = new EditSpaceView(desktop, false, [weak] {
        if (weak)
            weak->popover_.performClose();
    });
    layout->addWidget(editor_);
    popover_.setBehavior(platform::Popover::Behavior::transient);
    popover_.setAnimates(false);
    popover_.setContentView(this);
    popover_.window()->setAttribute(Qt::WA_TranslucentBackground);
    popover_.setOnDidClose([this] { closed(); });
    if (anchor)
        anchor->installEventFilter(this);
}

EditorPopover::~EditorPopover()
{
    popover_.setOnDidClose({});
    popover_.setContentView(nullptr);
}

void EditorPopover::open()
{
    const QRectF anchor = anchor_ ? platform::Popover::screenRect(anchor_) : QRectF();
    popover_.show(anchor, edge_ == Edge::bottom ? platform::Popover::Edge::minY : platform::Popover::Edge::maxX);
    popover_.window()->activateWindow();
}

void EditorPopover::dismissSilently()
{
    onClosed_ = {};
    delete this;
}

void EditorPopover::closed()
{
    if (onClosed_)
        std::exchange(onClosed_, {})();
    deleteLater();
}

bool EditorPopover::eventFilter(QObject* watched, QEvent* event)
{
    // The anchor hides with its window (a child gets the window's hide).
    // Done runs on the next turn: its save makes pages rebuild, which must
    // not happen while the toolkit walks the hiding window's children.
    if (watched == anchor_ && event->type() == QEvent::Hide && popover_.isShown()) {
        QPointer<EditorPopover> self(this);
        runAfter(0, [self] {
            if (self && self->popover_.isShown())
                self->editor_->done();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void EditorPopover::keyPressEvent(QKeyEvent* event)
{
    if (!HostedWindow::performMenuKey(event, anchor_ ? anchor_->window() : nullptr))
        QWidget::keyPressEvent(event);
}

void EditorPopover::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    KitShapes::fill(painter, KitShapes::roundedRect(rect(), Theme::cornerRadius), Theme::surface());
    KitShapes::strokeBorder(painter, rect(), Theme::cornerRadius, Theme::hairline());
}
