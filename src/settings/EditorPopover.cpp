#include "settings/EditorPopover.h"

#include "ui/EditSpaceView.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace {

constexpr int arrowGap = 6;

} // namespace

EditorPopover::EditorPopover(const Desktop& desktop, QWidget* anchor, Edge edge, std::function<void()> onClosed)
    : QWidget(anchor, Qt::Popup | Qt::FramelessWindowHint)
    , onClosed_(std::move(onClosed))
{
    setObjectName(QStringLiteral("editorPopover"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<EditorPopover> weak(this);
    editor_ = new EditSpaceView(desktop, false, [weak] {
        if (weak)
            weak->close();
    });
    layout->addWidget(editor_);
    adjustSize();
    const QRect anchorRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    move(placement(anchorRect, size(), edge));
}

EditorPopover::~EditorPopover() = default;

void EditorPopover::dismissSilently()
{
    onClosed_ = {};
    delete this;
}

QPoint EditorPopover::placement(const QRect& anchor, QSize size, Edge edge)
{
    if (edge == Edge::bottom)
        return {anchor.center().x() - size.width() / 2, anchor.bottom() + 1 + arrowGap};
    return {anchor.right() + 1 + arrowGap, anchor.center().y() - size.height() / 2};
}

void EditorPopover::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (onClosed_)
        std::exchange(onClosed_, {})();
}

void EditorPopover::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    KitShapes::fill(painter, KitShapes::roundedRect(rect(), Theme::cornerRadius), Theme::surface());
    KitShapes::strokeBorder(painter, rect(), Theme::cornerRadius, Theme::hairline());
}
