// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

class QPainter;

// Strokes every window draws with, following pen-and-brush canvas rules: a line leaves out its
// end point and a rectangle leaves out its right column and bottom row. Every stroke is an
// exact fill, never antialiased, so drawings can be checked pixel by pixel.
namespace gauges {

// A horizontal line from x1 up to x2, x2 left out; nothing when x2 <= x1.
void HLine(QPainter& p, int x1, int x2, int y, const QColor& colour);

// A vertical line from y1 towards y2, y2 left out, in either direction.
void VLine(QPainter& p, int x, int y1, int y2, const QColor& colour);

} // namespace gauges
