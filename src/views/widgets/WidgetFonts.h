// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

namespace halvik {

// A font of the given family, pixel size (character height) and weight. When the family is not
// installed, the nearest installed face takes its place: for the window's narrow family
// "Sakkal Majalla" a narrow sans face, slightly condensed, so that texts fit the widths they
// were laid out for; for other families fontconfig's own substitute.
QFont windowFont(const QString& family, int pixelSize, bool bold = false);

// The family actually drawn for a requested family (for reports and tests).
QString installedFamilyFor(const QString& family);

}  // namespace halvik
