#include "graph/ResponseCurve.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace kavelo {
namespace {

constexpr int N = kResponsePoints;

const double kLinkwitzRiley[5][4] = {
    {0, 0, 0, 0},
    {2.0, 0, 0, 0},
    {1.414213562, 1.414213562, 0, 0},
    {2.0, 1.0, 1.0, 0},
    {1.847759065, 0.7653668647, 1.847759065, 0.7653668647},
};
const double kBesselD[9][4] = {
    {0, 0, 0, 0},
    {0, 0, 0, 0},
    {1.732050808, 0, 0, 0},
    {1.44708036, 0, 0, 0},
    {1.915948924, 1.24140593, 0, 0},
    {1.77451072, 1.091134411, 0, 0},
    {1.959563142, 1.636140252, 0.9772172032, 0},
    {1.878443311, 1.513268209, 0.8878963849, 0},
    {1.976319466, 1.786961442, 1.406762442, 0.8158806765},
};
const double kBesselK[9][4] = {
    {0, 0, 0, 0},
    {0, 0, 0, 0},
    {1.732050808, 0, 0, 0},
    {2.541541401, 0, 0, 0},
    {3.023264939, 3.389365793, 0, 0},
    {3.777893661, 4.261022801, 0, 0},
    {4.336027051, 4.566489152, 5.149177152, 0},
    {5.06620615, 5.379270034, 6.04952768, 0},
    {5.654840869, 5.825353215, 6.210414904, 6.959311651},
};
const double kBesselG[9] = {1.0,          1.0,          0.5773502692, 0.4030076571, 0.3086066999,
                            0.2496411504, 0.2093977333, 0.1802208568, 0.1581178777};
const double kBesselR[4] = {1.0, 2.3221853546, 3.6467385953, 4.9717868586};

const double kTwoPi = 2.0 * M_PI;
const double kMinAngle = kTwoPi * 5.208333333333333e-8;
const double kMaxAngle = kTwoPi * 0.4583333333333333;

double ClampAngle(double theta) {
    if (theta < kMinAngle) return kMinAngle;
    if (theta > kMaxAngle) return kMaxAngle;
    return theta;
}

// The grid and e^(-jw), e^(-2jw) at every point, built once.
struct GridTables {
    ResponseArray freq;
    ResponseArray cos1, sin1;
    GridTables() {
        for (int k = 0; k < N - 1; ++k) {
            freq[k] = std::pow(10.0, std::log10(kResponseSampleRate / 2.0) * (k + 1) / (N - 1));
        }
        freq[N - 1] = kResponseSampleRate;
        const double nyquist = freq[N - 2];
        for (int k = 0; k < N; ++k) {
            const double w = 8.0 * std::atan(1.0) * (freq[k] * 0.5 / nyquist);
            cos1[k] = std::cos(w);
            sin1[k] = std::sin(w);
        }
    }
};

const GridTables& Tables() {
    static const GridTables tables;
    return tables;
}

bool Finite(const Biquad& q) {
    return std::isfinite(q.b0) && std::isfinite(q.b1) && std::isfinite(q.b2) &&
           std::isfinite(q.a1) && std::isfinite(q.a2);
}

// |H|^2 at z^-1 = c - js, in Horner form: deep stop bands are sensitive to
// the order of operations, and this keeps the plain evaluation's order.
inline double HornerPower(const Biquad& q, double c, double s) {
    // num = b0 + z(b1 + z b2), den = 1 + z(a1 + z a2), z = c - js
    const double tr = q.b1 + c * q.b2, ti = -s * q.b2;
    const double nr = q.b0 + (c * tr + s * ti), ni = c * ti - s * tr;
    const double ur = q.a1 + c * q.a2, ui = -s * q.a2;
    const double dr = 1.0 + (c * ur + s * ui), di = c * ui - s * ur;
    return (nr * nr + ni * ni) / (dr * dr + di * di);
}

// |H|^2 of one biquad at every grid point.
void SectionPower(const Biquad& q, ResponseArray& power) {
    const GridTables& t = Tables();
    for (int k = 0; k < N; ++k) {
        power[k] = HornerPower(q, t.cos1[k], t.sin1[k]);
    }
}

// Sums section levels as a running product of powers, so that a point
// costs one log10 however many sections there are. Factors kept in the
// product stay within 1e-7 ... 1e7: even the most sections a channel has
// (31 bands, two crossovers of four) cannot leave the range of a double.
// Any other power (floored, huge, overflowed or NaN) is added in dB instead.
struct LevelAccumulator {
    ResponseArray prod;
    ResponseArray extra;
    LevelAccumulator() {
        prod.fill(1.0);
        extra.fill(0.0);
    }
    static bool Kept(double power) { return power > 1e-7 && power < 1e7; }
    void Add(const Biquad& q) {
        ResponseArray power;
        SectionPower(q, power);
        // Branch-free so that the compiler can vectorise it; the rare points
        // that need care are handled below.
        int unusual = 0;
        for (int k = 0; k < N; ++k) {
            const bool kept = Kept(power[k]);
            prod[k] *= kept ? power[k] : 1.0;
            unusual += !kept;
        }
        if (unusual == 0) return;
        for (int k = 0; k < N; ++k) {
            if (!Kept(power[k])) extra[k] += SectionPowerToDb(power[k]);
        }
    }
    void AddCrossover(const CrossoverFilter& f, bool highPass) {
        if (f.bypass == 1) return;
        FilterSectionList sections;
        if (!DesignCrossover(highPass, f.fs, f.slope, f.type, sections)) return;
        for (const FilterSection& s : sections) {
            if (s.kind >= 0.0) Add(SectionBiquad(s, highPass));
        }
    }
    void AddBands(const EqBand* bands, int count, bool useEnable, bool bypassAll) {
        if (bands == nullptr) return;
        for (int j = 0; j < count; ++j) {
            const EqBand& b = bands[j];
            double gain = 0.0;
            if (!bypassAll && (!useEnable || b.enable == 1)) gain = b.eqGain;
            Biquad q;
            if (DesignPeaking(kResponseSampleRate, b.freq, gain, b.eqFactor, q)) Add(q);
        }
    }
    void Result(ResponseArray& db) const {
        for (int k = 0; k < N; ++k) db[k] = extra[k] + 10.0 * std::log10(prod[k]);
    }
};

int ClampBandCount(int n) { return n < 0 ? 0 : (n > kEqBands ? kEqBands : n); }

}  // namespace

const ResponseArray& ResponseGrid() { return Tables().freq; }

double SectionPowerToDb(double power) {
    if (!(power > 1e-8)) return kSectionFloorDb;
    if (power > DBL_MAX) return 10.0 * std::log10(DBL_MAX);
    return 10.0 * std::log10(power);
}

bool DesignPeaking(double fs, double f0, double gainDb, double q, Biquad& out) {
    if (!(q > 0.0) || !(f0 > 0.0) || !(f0 < fs / 2.0) || !std::isfinite(gainDb)) return false;
    const double A = std::pow(10.0, gainDb / 20.0);
    const double w0 = kTwoPi * f0 / fs;
    const double s = std::sin(w0);
    const double c = std::cos(w0);
    const double beta = w0 * (std::sqrt(4.0 * q * q + 1.0) - 1.0) / (2.0 * q);
    double T = std::sin(beta) * s / (2.0 * (std::cos(beta) - c));
    if (A < 1.0) T = T * A;
    const double D = 2.0 * T + s;
    Biquad r;
    r.a1 = -4.0 * T * c / D;
    r.a2 = (2.0 * T - s) / D;
    r.b0 = (2.0 * T + A * s) / D;
    r.b1 = r.a1;
    r.b2 = (2.0 * T - A * s) / D;
    if (!Finite(r)) return false;
    out = r;
    return true;
}

bool DesignCrossover(bool highPass, int fc, int slope, int type, FilterSectionList& out) {
    if (type < 0 || type > 3) return false;
    int n = slope;
    if (type == 0) n = 2;
    if (type == 2 && slope % 2 != 0) n = slope + 1;
    if (n < 1) n = 1;
    if (n > 8) n = 8;
    const double thetaC = ClampAngle(kTwoPi * fc / static_cast<double>(48000.0f));
    int r = n;
    for (int i = 0; i < 4; ++i) {
        double theta = thetaC;
        if (type == 3) theta = highPass ? thetaC / kBesselG[n] : thetaC * kBesselG[n];
        FilterSection& s = out[i];
        if (r == 0) {
            s = {0.0, std::cos(theta), -1.0};
        } else if (r == 1) {
            if (type == 3) theta = ClampAngle(highPass ? theta / kBesselR[i] : theta * kBesselR[i]);
            const double ct = std::cos(theta), st = std::sin(theta);
            s = {(ct + st - 1.0) / (ct - st - 1.0), ct, 0.0};
            r -= 1;
        } else {
            double d = 1.0;
            if (type == 1) {
                d = 2.0 * std::sin((2 * (n / 2) - 2 * i - 1) * M_PI / (2.0 * n));
            } else if (type == 2) {
                d = kLinkwitzRiley[n / 2][i];
            } else if (type == 3) {
                d = kBesselD[n][i];
                theta = ClampAngle(highPass ? theta / kBesselK[n][i] : theta * kBesselK[n][i]);
            }
            const double st = std::sin(theta);
            s = {(2.0 - d * st) / (2.0 + d * st), std::cos(theta), 1.0};
            r -= 2;
        }
    }
    return true;
}

Biquad SectionBiquad(const FilterSection& s, bool highPass) {
    Biquad q;
    const double p = s.p, c = s.c;
    if (s.kind == 0.0) {
        const double g = highPass ? (1.0 - p) / 2.0 : (1.0 + p) / 2.0;
        q.b0 = g;
        q.b1 = highPass ? -g : g;
        q.b2 = 0.0;
        q.a1 = p;
        q.a2 = 0.0;
    } else if (s.kind == 1.0) {
        const double e = highPass ? (1.0 + p) * (1.0 + c) / 4.0 : (1.0 + p) * (1.0 - c) / 4.0;
        q.b0 = e;
        q.b1 = highPass ? -2.0 * e : 2.0 * e;
        q.b2 = e;
        q.a1 = -(1.0 + p) * c;
        q.a2 = p;
    }
    return q;
}

void ComputeCrossoverResponse(const CrossoverFilter& f, bool highPass, ResponseArray& db) {
    LevelAccumulator acc;
    acc.AddCrossover(f, highPass);
    acc.Result(db);
}

void ComputeChannelResponse(const ChannelState& channel, ResponseCurve& out) {
    const int count = ClampBandCount(channel.eqSize);
    if (count == 0) return;
    LevelAccumulator acc;
    acc.AddCrossover(channel.crossover.hp, true);
    acc.AddCrossover(channel.crossover.lp, false);
    acc.AddBands(channel.bands.data(), count, true, channel.bypass == 1);
    out.freq = ResponseGrid();
    acc.Result(out.db);
}

void ComputeCalibrationResponse(const EqBand* bands, int count, ResponseCurve& out) {
    LevelAccumulator acc;
    acc.AddBands(bands, ClampBandCount(count), false, false);
    out.freq = ResponseGrid();
    acc.Result(out.db);
}

}  // namespace kavelo
