// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace halvik {

// A printed layout as the list of canvas operations that produce it. Coordinates are integers in
// the units current at that step: printer device pixels (x right, y down from the top-left of the
// printable area) until a UseMetricMapping step, tenths of a millimetre (x right, y up, same
// origin, so everything on the page has a negative y) after it.

struct FontSpec {
    enum class Size {
        Points,      // size is a point size: prints at its physical size on any printer
        CellHeight,  // size is the character cell height (ascent + descent) in current units
    };
    std::string face;
    int size = 0;
    Size unit = Size::Points;
    bool bold = false;

    bool operator==(const FontSpec&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const Rect&) const = default;
};

// Selects the font for the text steps that follow.
struct UseFont {
    FontSpec font;
};
// Writes text with the top-left corner of its first character cell at (x, y).
struct PrintText {
    int x = 0;
    int y = 0;
    std::string text;  // UTF-8
};
// Fills clip white, then writes text at (x, y) clipped to clip (right and bottom edges excluded).
struct PrintClippedText {
    int x = 0;
    int y = 0;
    Rect clip;
    std::string text;  // UTF-8
};
// Writes text as PrintText does, in red: the warning over a record changed after its download.
struct PrintWarning {
    int x = 0;
    int y = 0;
    std::string text;  // UTF-8
};
// Sets the pen width for the lines that follow.
struct UsePenWidth {
    int width = 0;
};
struct DrawLine {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};
// Draws the print logo stretched into rect.
struct DrawLogo {
    Rect rect;
};
// Ends the current page and starts the next one.
struct StartPage {};
// Switches to tenths of a millimetre with y upward for the rest of the job.
struct UseMetricMapping {};

using DrawStep = std::variant<UseFont, PrintText, PrintClippedText, UsePenWidth, DrawLine, DrawLogo,
                              StartPage, UseMetricMapping, PrintWarning>;

struct PrintLayout {
    std::string title;  // the job's document name in the print queue
    int pageCount = 0;
    std::vector<DrawStep> steps;
};

}  // namespace halvik
