#include "ui/SymbolNames.h"

#include <QHash>

namespace SymbolNames {

namespace {
struct Entry {
    const char* symbol;
    const char* ligature;
};

// The icon catalog first, in its order, then every other symbol the
// surfaces, menus and settings pages draw.
constexpr Entry table[] = {
    {"house.fill", "home"},
    {"briefcase.fill", "work"},
    {"laptopcomputer", "laptop_mac"},
    {"chevron.left.forwardslash.chevron.right", "code"},
    {"terminal.fill", "terminal"},
    {"hammer.fill", "hardware"},
    {"wrench.and.screwdriver.fill", "handyman"},
    {"paintbrush.pointed.fill", "brush"},
    {"pencil.and.outline", "edit"},
    {"doc.text.fill", "description"},
    {"book.fill", "menu_book"},
    {"graduationcap.fill", "school"},
    {"envelope.fill", "email"},
    {"bubble.left.and.bubble.right.fill", "forum"},
    {"video.fill", "videocam"},
    {"music.note", "music_note"},
    {"headphones", "headphones"},
    {"gamecontroller.fill", "sports_esports"},
    {"photo.fill", "photo"},
    {"film.fill", "movie"},
    {"safari.fill", "explore"},
    {"globe", "public"},
    {"cart.fill", "shopping_cart"},
    {"creditcard.fill", "credit_card"},
    {"chart.bar.fill", "bar_chart"},
    {"calendar", "calendar_today"},
    {"clock.fill", "watch_later"},
    {"bolt.fill", "bolt"},
    {"flame.fill", "local_fire_department"},
    {"star.fill", "star"},
    {"heart.fill", "favorite"},
    {"leaf.fill", "eco"},
    {"moon.fill", "dark_mode"},
    {"sun.max.fill", "light_mode"},
    {"cloud.fill", "cloud"},
    {"person.fill", "person"},
    {"person.2.fill", "people"},
    {"lock.fill", "lock"},
    {"shield.fill", "shield"},
    {"gearshape.fill", "settings"},
    {"paperplane.fill", "send"},
    {"airplane", "flight"},
    {"car.fill", "directions_car"},
    {"cup.and.saucer.fill", "local_cafe"},
    {"fork.knife", "restaurant"},
    {"tag.fill", "sell"},
    {"folder.fill", "folder"},
    {"tray.full.fill", "inbox"},
    {"archivebox.fill", "archive"},
    {"flag.fill", "flag"},
    {"xmark.circle.fill", "cancel"},
    {"photo", "image"},
    {"face.smiling", "sentiment_satisfied"},
    {"chevron.left", "chevron_left"},
    {"chevron.right", "chevron_right"},
    {"arrow.right.doc.on.clipboard", "content_paste_go"},
    {"arrow.down.circle.fill", "arrow_circle_down"},
    {"checkmark.circle.fill", "check_circle"},
    {"checkmark", "check"},
    {"exclamationmark.triangle.fill", "warning"},
    {"keyboard", "keyboard"},
    {"eye.fill", "visibility"},
    {"eye.slash.fill", "visibility_off"},
    {"link", "link"},
    {"slider.horizontal.3", "tune"},
    {"rectangle.3.group", "dashboard"},
    {"magnifyingglass", "search"},
    {"arrow.uturn.backward", "undo"},
    {"arrow.up.forward.square", "open_in_new"},
    {"arrow.up.forward", "north_east"},
    {"return", "keyboard_return"},
    {"arrow.right", "arrow_forward"},
    {"square.grid.2x2.fill", "grid_view"},
    {"macwindow.on.rectangle", "web_asset"},
    {"cursorarrow.motionlines", "ads_click"},
    {"command", "keyboard_command_key"},
    {"info.circle.fill", "info"},
    {"books.vertical.fill", "auto_stories"},
};

const QHash<QString, QString>& lookup()
{
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> built;
        for (const Entry& entry : table)
            built.insert(QLatin1String(entry.symbol), QLatin1String(entry.ligature));
        return built;
    }();
    return map;
}
} // namespace

std::optional<QString> ligature(const QString& symbolName)
{
    const auto found = lookup().constFind(symbolName);
    if (found == lookup().constEnd())
        return std::nullopt;
    return *found;
}

QStringList all()
{
    QStringList names;
    for (const Entry& entry : table)
        names.append(QLatin1String(entry.symbol));
    return names;
}

} // namespace SymbolNames
