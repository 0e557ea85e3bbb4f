#include "settings/HeroStrip.h"

#include "engine/SpaceEngine.h"
#include "settings/EditorPopover.h"
#include "settings/HeroTile.h"

#include <QHash>

HeroStrip::HeroStrip(SpaceEngine& engine, QWidget* parent)
    : QWidget(parent)
    , engine_(engine)
{
    setObjectName(QStringLiteral("heroStrip"));
    connect(&engine_, &SpaceEngine::changed, this, &HeroStrip::reload);
    reload();
}

void HeroStrip::reload()
{
    QHash<quint64, HeroTile*> old;
    for (HeroTile* tile : std::as_const(tiles_))
        old.insert(tile->desktop().id(), tile);
    QList<HeroTile*> next;
    for (const Desktop& desktop : engine_.desktops()) {
        HeroTile* tile = old.take(desktop.id());
        if (tile) {
            tile->setDesktop(desktop);
        } else {
            tile = new HeroTile(desktop, this);
        }
        next.append(tile);
    }
    for (HeroTile* gone : std::as_const(old))
        delete gone;
    tiles_ = next;
    place();
}

QSize HeroStrip::sizeHint() const
{
    const QSize tile = HeroTile::preferredSize();
    const int count = int(tiles_.size());
    return {count == 0 ? 0 : count * tile.width() + (count - 1) * spacing, tile.height()};
}

QSize HeroStrip::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void HeroStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void HeroStrip::place()
{
    int x = 0;
    for (HeroTile* tile : std::as_const(tiles_)) {
        const QSize size = tile->sizeHint();
        tile->setGeometry(x, 0, size.width(), size.height());
        tile->setVisible(x + size.width() <= width());
        x += size.width() + spacing;
    }
}
