#pragma once

// What the pills view measured for one pill, in points.
struct PillMetrics {
    double width = 0;
    double height = 0;
    // The size factor (the mcScale setting).
    double scale = 1;
    // padding + text width + padding + icon and gap when an icon is drawn.
    double contentWidth = 0;
    double padding = 0;
    double glyphSize = 0;
    // Between icon and text.
    double gap = 0;
    // The width the text may take.
    double textWidth = 0;
};
