#include "ui/SettingsPage.h"

#include <array>

namespace {

struct PageTexts {
    SettingsPage page;
    const char* rawValue;
    const char* label;
    const char* title;
    const char* subtitle;
    const char* symbol;
};

constexpr std::array<PageTexts, 8> pages{{
    {SettingsPage::spaces, "spaces", "Spaces", "Your spaces", "Names, icons, colors and shortcuts for every desktop.",
     "square.grid.2x2.fill"},
    {SettingsPage::missionControl, "missionControl", "Mission Control", "Mission Control",
     "Your names on the thumbnails when you swipe up.", "macwindow.on.rectangle"},
    {SettingsPage::switchTag, "switchTag", "Switch Tag", "Switch tag", "The tag that appears when you land on a space.",
     "tag.fill"},
    {SettingsPage::spaceHover, "spaceHover", "Hover", "Space hover",
     "Rest the pointer at the top of the screen to reveal every space.", "cursorarrow.motionlines"},
    {SettingsPage::shortcuts, "shortcuts", "Shortcuts", "Shortcuts",
     "Global keys for switching, jumping back and moving windows.", "command"},
    {SettingsPage::timeTracking, "timeTracking", "Time", "Time tracking", "How long you spend on each space.",
     "clock.fill"},
    {SettingsPage::general, "general", "General", "General", "Menu bar, camera notch, login and data.",
     "gearshape.fill"},
    {SettingsPage::about, "about", "About", "About Tessaroom", "Version, diagnostics and how it works.",
     "info.circle.fill"},
}};

const PageTexts& texts(SettingsPage page)
{
    return pages[static_cast<size_t>(page)];
}

} // namespace

namespace SettingsPages {

const QList<SettingsPage>& allCases()
{
    static const QList<SettingsPage> all = [] {
        QList<SettingsPage> list;
        for (const PageTexts& entry : pages)
            list.append(entry.page);
        return list;
    }();
    return all;
}

QString rawValue(SettingsPage page)
{
    return QString::fromUtf8(texts(page).rawValue);
}

QString label(SettingsPage page)
{
    return QString::fromUtf8(texts(page).label);
}

QString title(SettingsPage page)
{
    return QString::fromUtf8(texts(page).title);
}

QString subtitle(SettingsPage page)
{
    return QString::fromUtf8(texts(page).subtitle);
}

QString symbol(SettingsPage page)
{
    return QString::fromUtf8(texts(page).symbol);
}

std::optional<SettingsPage> fromRawValue(const QString& text)
{
    for (const PageTexts& entry : pages) {
        if (text == QLatin1String(entry.rawValue))
            return entry.page;
    }
    return std::nullopt;
}

} // namespace SettingsPages
