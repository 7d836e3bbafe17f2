#include "graph/EqualizerGeometry.h"

#include <algorithm>

namespace kavelo {

namespace {
const double kLogMin = std::log10(static_cast<double>(kEqMinFreq));
const double kLogSpan = std::log10(static_cast<double>(kEqMaxFreq)) - kLogMin;
// Levels beyond this are off any screen; capping keeps the integer casts defined.
constexpr double kGainLimit = 10000.0;

double CapGain(double gain) { return std::clamp(gain, -kGainLimit, kGainLimit); }

// Truncation that stays defined for any finite or infinite input.
int TruncToInt(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9));
}

// Vertical placement shared by the info text and the Q handles: above the point,
// below it, or pinned near the top or bottom edge.
void PlaceVertically(const IntRect& plot, int y, int scale, int topA, int topB, int upA, int upB,
                     int downA, int downB, int bottomA, int bottomB, IntRect& r) {
    const int T = plot.top, B = plot.bottom;
    if (y < T + Scaled(14, scale)) {
        r.top = T + Scaled(topA, scale);
        r.bottom = T + Scaled(topB, scale);
    } else if (B - Scaled(29, scale) < y && y < B - Scaled(10, scale)) {
        r.top = y - Scaled(upA, scale);
        r.bottom = y - Scaled(upB, scale);
    } else if (y < B - Scaled(10, scale)) {
        r.top = y + Scaled(downA, scale);
        r.bottom = y + Scaled(downB, scale);
    } else {
        r.top = B - Scaled(bottomA, scale);
        r.bottom = B - Scaled(bottomB, scale);
    }
}

// A span centred on c with half-width e, or a full-width span against an edge of
// [lo, hi] when c comes closer to it than e.
void PlaceSpan(int lo, int hi, int c, int e, int width, int& a, int& b) {
    if (c < lo + e) {
        a = lo;
        b = lo + width;
    } else if (c > hi - e) {
        a = hi - width;
        b = hi;
    } else {
        a = c - e;
        b = c + e;
    }
}

void PlaceHorizontally(const IntRect& plot, int x, int e, int width, IntRect& r) {
    PlaceSpan(plot.left, plot.right, x, e, width, r.left, r.right);
}

IntRect CrossoverHandle(const EqAxes& a, int freq, int scale, double gainTop, int extra) {
    IntRect r;
    const int xc = EqFreqToX(a, freq);
    const int half = Scaled(7, scale);
    r.left = xc - half;
    r.right = xc + half;
    if (r.left < a.plot.left) {
        r.left = a.plot.left;
        r.right = a.plot.left + Scaled(14, scale);
    }
    if (r.right > a.plot.right) {
        r.right = a.plot.right;
        r.left = a.plot.right - Scaled(14, scale);
    }
    r.top = EqGainToY(a, gainTop);
    r.bottom = r.top + Scaled(10, scale) + extra;
    return r;
}
}  // namespace

PlotAxes MakePlotAxes(const IntRect& plot, int topDb, int spanDb) {
    PlotAxes a;
    a.plot = plot;
    a.W = plot.Width();
    a.H = plot.Height();
    a.y0 = plot.top + (a.H * topDb) / spanDb;
    return a;
}

double LogFreqToX(const PlotAxes& a, double freq) {
    if (!(freq > 0.0)) return a.plot.left;
    return a.plot.left + a.W * (std::log10(freq) - kLogMin) / kLogSpan;
}

EqAxes MakeEqAxes(const IntRect& plot) { return MakePlotAxes(plot, 12, 30); }

int EqFreqToX(const EqAxes& a, double freq) { return TruncToInt(LogFreqToX(a, freq)); }

int EqXToFreq(const EqAxes& a, int x) {
    if (a.W <= 0) return kEqMinFreq;
    const double e = kLogMin + (x - a.plot.left) * kLogSpan / a.W;
    return TruncToInt(std::round(std::pow(10.0, e)));
}

int EqGainToY(const EqAxes& a, double gain) {
    const double g = CapGain(gain);
    double y = a.y0;
    if (g > 0)
        y = a.y0 - std::round((a.y0 - a.plot.top) * g) / 12.0;
    else if (g < 0)
        y = a.y0 - std::round((a.plot.bottom - a.y0) * g) / 18.0;
    return TruncToInt(y);
}

double EqYToGain(const EqAxes& a, int y) {
    // A plot too flat for one half of the axis has no gain there.
    if (y < a.y0 && a.plot.top != a.y0) return 12.0 * (y - a.y0) / (a.plot.top - a.y0);
    if (y > a.y0 && a.plot.bottom != a.y0) return 18.0 * (a.y0 - y) / (a.plot.bottom - a.y0);
    return 0.0;
}

float EqXToQ(int x, int markerX, int scale) {
    int d = std::abs(x - markerX);
    d = std::max(d, Scaled(3, scale));
    d = std::min(d, Scaled(162, scale));
    if (d <= 0) return kEqMaxQ;  // only at a scale so small that every length is 0
    const float q = static_cast<float>(scale * 81 / 100) / static_cast<float>(d);
    return std::clamp(q, kEqMinQ, kEqMaxQ);
}

IntPoint ClampToPlot(const IntRect& plot, int x, int y) {
    return {std::clamp(x, plot.left, std::max(plot.left, plot.right)),
            std::clamp(y, plot.top, std::max(plot.top, plot.bottom))};
}

IntRect MarkerRect(const IntRect& plot, int x, int y, int scale) {
    const int e = Scaled(8, scale), w = Scaled(16, scale);
    IntRect r;
    PlaceHorizontally(plot, x, e, w, r);
    PlaceSpan(plot.top, plot.bottom, y, e, w, r.top, r.bottom);
    return r;
}

IntRect InfoRect(const IntRect& plot, int x, int y, int scale, bool wide) {
    IntRect r;
    PlaceHorizontally(plot, x, Scaled(wide ? 75 : 25, scale), Scaled(wide ? 150 : 50, scale), r);
    PlaceVertically(plot, y, scale, 22, 37, 29, 14, 14, 29, 37, 22, r);
    return r;
}

void QHandleRects(const IntRect& plot, int x, int y, float q, int scale, IntRect& left,
                  IntRect& right) {
    const float qc = std::clamp(q, kEqMinQ, kEqMaxQ);
    const int l = TruncToInt(std::round(81.0 / qc) * scale / 100.0);
    const int h = Scaled(4, scale);
    left.left = x - l - h;
    left.right = x - l + h;
    right.left = x + l - h;
    right.right = x + l + h;
    PlaceVertically(plot, y, scale, 12, 20, 12, 4, 4, 12, 20, 12, left);
    right.top = left.top;
    right.bottom = left.bottom;
}

IntRect HpHandleRect(const EqAxes& a, int freq, int scale) {
    return CrossoverHandle(a, freq, scale, -8.0, 0);
}

IntRect LpHandleRect(const EqAxes& a, int freq, int scale) {
    return CrossoverHandle(a, freq, scale, -11.0, 2);
}

AcAxes MakeAcAxes(const IntRect& plot) { return MakePlotAxes(plot, 20, 40); }

double AcFreqToX(const AcAxes& a, double freq) { return LogFreqToX(a, freq); }

double AcGainToY(const AcAxes& a, double gain) {
    const double g = CapGain(gain);
    if (g > 0) return a.y0 - (a.y0 - a.plot.top) * g / 20.0;
    if (g < 0) return a.y0 + (a.plot.bottom - a.y0) * g / -20.0;
    return a.y0;
}

void EqCurvePoints(const EqAxes& a, const double* freq, const double* db, int n, bool smooth,
                   std::vector<IntPoint>& out) {
    BuildCurvePoints(
        freq, db, n, 10.0, 20100.0, smooth, a.plot.left,
        [&a](double f, double g) {
            return PointF{static_cast<double>(EqFreqToX(a, f)),
                          static_cast<double>(EqGainToY(a, g))};
        },
        out);
}

std::vector<IntPoint> EqCurvePoints(const EqAxes& a, const double* freq, const double* db, int n,
                                    bool smooth) {
    std::vector<IntPoint> out;
    EqCurvePoints(a, freq, db, n, smooth, out);
    return out;
}

std::vector<IntPoint> AcCurvePoints(const AcAxes& a, const double* freq, const double* db, int n,
                                    bool smooth) {
    return BuildCurvePoints(freq, db, n, kEqMinFreq, kEqMaxFreq, smooth, a.plot.left,
                            [&a](double f, double g) {
                                return PointF{AcFreqToX(a, f), AcGainToY(a, g)};
                            });
}

SegmentRange ChainSegmentsNear(const std::vector<IntPoint>& points, int segments, double x0,
                               double x1, double margin) {
    segments = std::min(segments, BezierSegments(static_cast<int>(points.size())));
    const auto at = [&points](int i) { return points[static_cast<size_t>(i)]; };
    SegmentRange r{segments, -1};
    for (int s = 0; s < segments; ++s) {
        int lo = at(3 * s).x, hi = lo;
        for (int k = 1; k <= 3; ++k) {
            lo = std::min(lo, at(3 * s + k).x);
            hi = std::max(hi, at(3 * s + k).x);
        }
        if (hi < x0 - margin || lo > x1 + margin) continue;
        r.first = std::min(r.first, s);
        r.last = s;
    }
    if (r.IsEmpty()) return {};
    // A segment that returns to its start gives the stroker no direction, so the
    // cut must lie beyond one that does.
    const auto moves = [&at](int s) { return !(at(3 * s) == at(3 * s + 3)); };
    while (r.first > 0) {
        --r.first;
        if (moves(r.first)) break;
    }
    while (r.last + 1 < segments) {
        ++r.last;
        if (moves(r.last)) break;
    }
    return r;
}

std::vector<PointF> CardinalToBezier(const std::vector<IntPoint>& points, double tension) {
    std::vector<PointF> out;
    const int n = static_cast<int>(points.size());
    if (n < 2) return out;
    out.reserve(static_cast<size_t>(3 * (n - 1) + 1));
    const double k = tension / 3.0;
    auto at = [&](int i) {
        const IntPoint& p = points[static_cast<size_t>(std::clamp(i, 0, n - 1))];
        return PointF{static_cast<double>(p.x), static_cast<double>(p.y)};
    };
    out.push_back(at(0));
    for (int i = 0; i + 1 < n; ++i) {
        const PointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        out.push_back({p1.x + k * (p2.x - p0.x), p1.y + k * (p2.y - p0.y)});
        out.push_back({p2.x - k * (p3.x - p1.x), p2.y - k * (p3.y - p1.y)});
        out.push_back(p2);
    }
    return out;
}

int CircleSweepDegrees(double value, double minimum, double maximum) {
    const double range = maximum - minimum;
    if (!(range != 0.0) || !std::isfinite(value)) return 0;
    const double degrees = value / range * 360.0;
    return static_cast<int>(std::clamp(degrees, 0.0, 360.0));
}

}  // namespace kavelo
