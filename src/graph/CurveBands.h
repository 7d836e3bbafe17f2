#pragma once

#include <QImage>
#include <QPen>
#include <vector>

#include "graph/EqualizerGeometry.h"

namespace kavelo {

// One Bézier chain to stroke: its points (a start point, then three per segment),
// how many of its segments are drawn, and the pen.
struct ChainStroke {
    const std::vector<IntPoint>* points = nullptr;
    int segments = 0;
    QPen pen;
};

// Strokes `chains` antialiased, in order, into `image` (32 bits per pixel), one band
// of `bandWidth` pixel columns at a time. A long antialiased stroke is costly to
// rasterize in one piece; each band is painted through an image over the same
// pixels with only the part of each chain near it, which leaves exactly the pixels
// a stroke of the whole chains leaves.
void StrokeChainsInBands(QImage& image, const std::vector<ChainStroke>& chains, int bandWidth);

}  // namespace kavelo
