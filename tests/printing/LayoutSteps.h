// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "printing/DrawSteps.h"

namespace halvik::testing {

// One text of a layout with the page and font it lands on.
struct PlacedText {
    int page = 1;
    bool metric = false;
    FontSpec font;
    int x = 0;
    int y = 0;
    bool clipped = false;
    Rect clip;
    std::string text;
    bool warning = false;  // a PrintWarning step (red)
};

struct PlacedLine {
    int page = 1;
    int penWidth = 0;
    DrawLine line;
};

struct PlacedLogo {
    int page = 1;
    bool metric = false;
    Rect rect;
};

struct Placed {
    std::vector<PlacedText> texts;
    std::vector<PlacedLine> lines;
    std::vector<PlacedLogo> logos;
    int pages = 1;
};

// Walks a layout the way a canvas would, keeping page, font, pen and mapping.
inline Placed place(const PrintLayout& layout) {
    Placed out;
    FontSpec font;
    int pen = 1;
    bool metric = false;
    for (const DrawStep& step : layout.steps) {
        if (auto* f = std::get_if<UseFont>(&step)) {
            font = f->font;
        } else if (auto* t = std::get_if<PrintText>(&step)) {
            out.texts.push_back({out.pages, metric, font, t->x, t->y, false, {}, t->text});
        } else if (auto* c = std::get_if<PrintClippedText>(&step)) {
            out.texts.push_back({out.pages, metric, font, c->x, c->y, true, c->clip, c->text});
        } else if (auto* w = std::get_if<PrintWarning>(&step)) {
            out.texts.push_back({out.pages, metric, font, w->x, w->y, false, {}, w->text, true});
        } else if (auto* p = std::get_if<UsePenWidth>(&step)) {
            pen = p->width;
        } else if (auto* l = std::get_if<DrawLine>(&step)) {
            out.lines.push_back({out.pages, pen, *l});
        } else if (auto* g = std::get_if<DrawLogo>(&step)) {
            out.logos.push_back({out.pages, metric, g->rect});
        } else if (std::holds_alternative<StartPage>(step)) {
            ++out.pages;
        } else if (std::holds_alternative<UseMetricMapping>(step)) {
            metric = true;
        }
    }
    return out;
}

}  // namespace halvik::testing
