#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "base/DisplayScale.h"
#include "control/DspRecords.h"

// Coordinate mappings, hit rectangles and curve point lists of the EQ graphs.
// Pure integer/float arithmetic so the rules are testable without a screen.
// S is the display scale in percent (100 at standard resolution); a length
// "k at S" is k * S / 100 with truncating division.
namespace kavelo {

inline constexpr int kEqMinFreq = kMinFrequency;
inline constexpr int kEqMaxFreq = kMaxFrequency;
inline constexpr float kEqMinQ = kMinEqFactor;
inline constexpr float kEqMaxQ = kMaxEqFactor;
inline constexpr int kEqMaxBands = kEqBands;
inline constexpr int kCurveSlots = kOutputChannels;
inline constexpr int kMaxCurveColors = 12;
inline constexpr int kSpectrumPoints = 121;

// Vertical lines of both graphs; the last (20 kHz) is the right edge and not drawn.
inline constexpr std::array<int, 28> kFreqGrid = {
    20,  30,  40,  50,   60,   70,   80,   90,   100,  200,  300,  400,  500,   600,
    700, 800, 900, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000};
inline constexpr std::array<int, 5> kEqGainGrid = {-15, -10, -5, 5, 10};
inline constexpr std::array<int, 6> kAcGainGrid = {-15, -10, -5, 5, 10, 15};

struct IntPoint {
    int x = 0;
    int y = 0;
    bool operator==(const IntPoint& o) const { return x == o.x && y == o.y; }
};

struct PointF {
    double x = 0.0;
    double y = 0.0;
};

// Edges as left/top/right/bottom; right and bottom lie outside (a 16 px marker
// at x spans [x-8, x+8)).
struct IntRect : ScreenRect {
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const IntRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Scaled length: k * S / 100, truncated.
inline int Scaled(int k, int scale) { return k * scale / 100; }

// A plot with a logarithmic 20 Hz ... 20 kHz axis and its 0 dB line y0.
struct PlotAxes {
    IntRect plot;
    int W = 0;
    int H = 0;
    double y0 = 0.0;
};
// y0 lies topDb / spanDb of the height below the top (integer division).
PlotAxes MakePlotAxes(const IntRect& plot, int topDb, int spanDb);
double LogFreqToX(const PlotAxes& a, double freq);

// Axes of the EQ curve control: +12 dB at the top edge, -18 dB at the bottom edge.
using EqAxes = PlotAxes;

EqAxes MakeEqAxes(const IntRect& plot);
// Truncated to an integer. Frequencies of 0 or below map to the left edge.
int EqFreqToX(const EqAxes& a, double freq);
// Rounded to the nearest Hz. An empty plot gives the lowest frequency.
int EqXToFreq(const EqAxes& a, int x);
// Truncated to an integer.
int EqGainToY(const EqAxes& a, double gain);
double EqYToGain(const EqAxes& a, int y);
// Q from the horizontal distance between the pointer and the band's marker.
float EqXToQ(int x, int markerX, int scale);
IntPoint ClampToPlot(const IntRect& plot, int x, int y);

// Full-size rectangles that are shifted, never shrunk, at the plot's edges.
IntRect MarkerRect(const IntRect& plot, int x, int y, int scale);
IntRect InfoRect(const IntRect& plot, int x, int y, int scale, bool wide);
void QHandleRects(const IntRect& plot, int x, int y, float q, int scale, IntRect& left,
                  IntRect& right);
IntRect HpHandleRect(const EqAxes& a, int freq, int scale);
IntRect LpHandleRect(const EqAxes& a, int freq, int scale);

// Axes of the calibration graph: +20 dB at the top, -20 dB at the bottom.
using AcAxes = PlotAxes;

AcAxes MakeAcAxes(const IntRect& plot);
double AcFreqToX(const AcAxes& a, double freq);
double AcGainToY(const AcAxes& a, double gain);

// Builds the point list of one curve, walking from the last point (highest
// frequency) to the first. Points whose frequency lies outside [fmin, fmax] or
// whose level is not a finite number are skipped. `map` gives the float position of
// a kept point. Without smoothing the point is rounded; with smoothing a running
// average (factor 0.5) starts at the first point at or right of `left`, and a point
// left of `left` repeats the running value (none is emitted before it starts).
// `out` is cleared first, so a caller can keep one buffer per curve.
template <class Map>
void BuildCurvePoints(const double* freq, const double* db, int n, double fmin, double fmax,
                      bool smooth, int left, Map map, std::vector<IntPoint>& out) {
    out.clear();
    if (n <= 0) return;
    out.reserve(static_cast<size_t>(n));
    bool started = false;
    double sx = 0.0, sy = 0.0;
    for (int i = n - 1; i >= 0; --i) {
        const double f = freq[i];
        if (!(f >= fmin && f <= fmax) || !std::isfinite(db[i])) continue;
        const PointF p = map(f, db[i]);
        if (!smooth) {
            out.push_back({static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))});
            continue;
        }
        if (p.x >= left) {
            if (!started) {
                sx = p.x;
                sy = p.y;
                started = true;
            } else {
                sx = (p.x + sx) / 2.0;
                sy = (p.y + sy) / 2.0;
            }
        }
        if (started)
            out.push_back({static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy))});
    }
}

template <class Map>
std::vector<IntPoint> BuildCurvePoints(const double* freq, const double* db, int n, double fmin,
                                       double fmax, bool smooth, int left, Map map) {
    std::vector<IntPoint> out;
    BuildCurvePoints(freq, db, n, fmin, fmax, smooth, left, map, out);
    return out;
}

// Point lists of the EQ curve control: frequencies 10 ... 20 100 Hz, positions on
// the integer mappings above.
std::vector<IntPoint> EqCurvePoints(const EqAxes& a, const double* freq, const double* db, int n,
                                    bool smooth);
void EqCurvePoints(const EqAxes& a, const double* freq, const double* db, int n, bool smooth,
                   std::vector<IntPoint>& out);
// Point lists of the calibration graph: 20 ... 20 000 Hz on the float mappings.
std::vector<IntPoint> AcCurvePoints(const AcAxes& a, const double* freq, const double* db, int n,
                                    bool smooth);

// Number of whole cubic segments a chain drawn over `points` points has (start
// point, then three points per segment); leftover points are not drawn.
inline int BezierSegments(int points) { return points >= 4 ? (points - 1) / 3 : 0; }

// Segments first ... last of a Bézier chain (start point, then three points per
// segment) whose control points reach into [x0 - margin, x1 + margin], widened on
// each side by the segments up to and including one whose end points differ. A
// stroke of that piece, wherever it is cut off at `margin` or more outside the band,
// covers the band exactly as the stroke of the whole chain: no cap or missing join
// falls into it. Empty (last < first) when no segment reaches the band.
struct SegmentRange {
    int first = 0;
    int last = -1;
    bool IsEmpty() const { return last < first; }
};
SegmentRange ChainSegmentsNear(const std::vector<IntPoint>& points, int segments, double x0,
                               double x1, double margin);

// Cardinal spline through `points` as a cubic Bézier chain (start point, then two
// control points and an end point per segment); tension 0.5 is Catmull-Rom.
std::vector<PointF> CardinalToBezier(const std::vector<IntPoint>& points, double tension);

// Sweep of the circular progress ring in whole degrees, 0 ... 360; an empty range
// sweeps nothing.
int CircleSweepDegrees(double value, double minimum, double maximum);

}  // namespace kavelo
