#include "store/IconCatalog.h"

namespace IconCatalog {

const QStringList& symbols()
{
    static const QStringList list = {
        "house.fill", "briefcase.fill", "laptopcomputer", "chevron.left.forwardslash.chevron.right",
        "terminal.fill", "hammer.fill", "wrench.and.screwdriver.fill", "paintbrush.pointed.fill",
        "pencil.and.outline", "doc.text.fill", "book.fill", "graduationcap.fill", "envelope.fill",
        "bubble.left.and.bubble.right.fill", "video.fill", "music.note", "headphones", "gamecontroller.fill",
        "photo.fill", "film.fill", "safari.fill", "globe", "cart.fill", "creditcard.fill", "chart.bar.fill",
        "calendar", "clock.fill", "bolt.fill", "flame.fill", "star.fill", "heart.fill", "leaf.fill",
        "moon.fill", "sun.max.fill", "cloud.fill", "person.fill", "person.2.fill", "lock.fill", "shield.fill",
        "gearshape.fill", "paperplane.fill", "airplane", "car.fill", "cup.and.saucer.fill", "fork.knife",
        "tag.fill", "folder.fill", "tray.full.fill", "archivebox.fill", "flag.fill",
    };
    return list;
}

} // namespace IconCatalog
