#pragma once

#include "engine/Desktop.h"

#include <optional>

// The page the menu-bar popover shows: the list of every desktop, or the
// editor of one desktop. It sits below the popover because the command
// interface names it.
struct PopoverPage {
    enum class Kind { list, edit };

    Kind kind = Kind::list;
    // Set for the editor page only.
    std::optional<Desktop> desktop;

    static PopoverPage list() { return {}; }
    static PopoverPage edit(const Desktop& desktop) { return {Kind::edit, desktop}; }

    // Two edit pages are equal when they edit the same desktop (by space id).
    bool operator==(const PopoverPage& other) const
    {
        if (kind != other.kind)
            return false;
        return kind == Kind::list || (desktop && other.desktop && desktop->id() == other.desktop->id());
    }
};
