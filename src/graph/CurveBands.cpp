#include "graph/CurveBands.h"

#include <QPainter>
#include <algorithm>

#include "graph/ControlAttributes.h"

namespace kavelo {

void StrokeChainsInBands(QImage& image, const std::vector<ChainStroke>& chains, int bandWidth) {
    if (image.isNull() || image.depth() != 32 || chains.empty()) return;
    const qreal dpr = image.devicePixelRatio();
    const int width = image.width();
    bandWidth = std::max(1, bandWidth);
    uchar* const bits = image.bits();
    for (int x0 = 0; x0 < width; x0 += bandWidth) {
        const int x1 = std::min(width, x0 + bandWidth);
        QImage band(bits + static_cast<size_t>(x0) * 4, x1 - x0, image.height(),
                    image.bytesPerLine(), image.format());
        band.setDevicePixelRatio(dpr);
        QPainter p(&band);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(Qt::NoBrush);
        p.translate(-x0 / dpr, 0);
        for (const ChainStroke& c : chains) {
            if (!c.points) continue;
            // Half the pen plus the antialiased fringe, with room to spare.
            const double margin = c.pen.widthF() + 2.0;
            const SegmentRange near =
                ChainSegmentsNear(*c.points, c.segments, x0 / dpr, x1 / dpr, margin);
            if (near.IsEmpty()) continue;
            p.setPen(c.pen);
            p.drawPath(BezierChainPiece(*c.points, near));
        }
    }
}

}  // namespace kavelo
