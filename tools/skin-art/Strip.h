// Builds a strip image: N equal cells side by side, cell i drawn for state i
// (normal, hover, pressed, disabled). The cells start fully transparent.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>

#include <functional>

enum class CellState { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

// Draws one cell; rect is the cell's rectangle inside the strip, the painter
// already has antialiasing on and no clipping beyond the strip.
using CellDrawer = std::function<void(QPainter&, const QRectF& rect, CellState state)>;

// Returns a (cell.width() * cells) x cell.height() ARGB image; each cell is
// clipped to itself so a drawer can never bleed into its neighbour.
QImage makeStrip(QSize cell, int cells, const CellDrawer& draw);

// A transparent ARGB image of the given size, premultiplied for drawing.
QImage blankImage(QSize size);
