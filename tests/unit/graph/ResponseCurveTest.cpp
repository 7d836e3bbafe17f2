#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "ReferenceResponse.h"
#include "control/DspOperations.h"
#include "graph/ResponseCurve.h"

namespace kavelo {
namespace {

// Level of a biquad at an arbitrary frequency (not just a grid point).
double BiquadDbAt(const Biquad& q, double f) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * f / 48000.0);
    const auto h = (q.b0 + z1 * (q.b1 + z1 * q.b2)) / (1.0 + z1 * (q.a1 + z1 * q.a2));
    return 10.0 * std::log10(std::norm(h));
}

double CrossoverDbAt(bool highPass, int fc, int slope, int type, double f) {
    FilterSectionList s;
    EXPECT_TRUE(DesignCrossover(highPass, fc, slope, type, s));
    double db = 0.0;
    for (const FilterSection& sec : s) {
        if (sec.kind >= 0.0) db += BiquadDbAt(SectionBiquad(sec, highPass), f);
    }
    return db;
}

ChannelState FlatChannel() {
    ChannelState ch = DspState().channels[0];
    ch.crossover.hp.bypass = 1;
    ch.crossover.lp.bypass = 1;
    return ch;
}

TEST(ResponseGridTest, Shape) {
    const ResponseArray& g = ResponseGrid();
    EXPECT_NEAR(g[0], 1.0199, 1e-4);
    EXPECT_NEAR(g[510], 24000.0, 1e-9);
    EXPECT_EQ(g[511], 48000.0);
}

struct CornerCase {
    const char* name;
    int type;
    int slope;
    double db;
};
void PrintTo(const CornerCase& c, std::ostream* os) { *os << c.name; }
class CornerLevel : public testing::TestWithParam<CornerCase> {};
TEST_P(CornerLevel, BothDirections) {
    const CornerCase& c = GetParam();
    // Low corners: the textbook levels are analogue values, which the bilinear
    // warp bends only as the section angles approach Nyquist.
    for (int fc : {100, 1000}) {
        EXPECT_NEAR(CrossoverDbAt(true, fc, c.slope, c.type, fc), c.db, 0.005) << fc;
        EXPECT_NEAR(CrossoverDbAt(false, fc, c.slope, c.type, fc), c.db, 0.005) << fc;
    }
}
INSTANTIATE_TEST_SUITE_P(
    Corners, CornerLevel,
    testing::Values(
        CornerCase{"Butterworth1", 1, 1, -3.01}, CornerCase{"Butterworth2", 1, 2, -3.01},
        CornerCase{"Butterworth3", 1, 3, -3.01}, CornerCase{"Butterworth8", 1, 8, -3.01},
        CornerCase{"LinkwitzRiley2", 2, 2, -6.02}, CornerCase{"LinkwitzRiley4", 2, 4, -6.02},
        CornerCase{"LinkwitzRiley6", 2, 6, -6.02}, CornerCase{"LinkwitzRiley8", 2, 8, -6.02},
        CornerCase{"Bessel1", 3, 1, -3.01}, CornerCase{"Bessel2", 3, 2, -4.77},
        CornerCase{"Bessel4", 3, 4, -7.78}, CornerCase{"Type0AnySlopeIsUnitQ", 0, 7, 0.0}));

TEST(Butterworth, MatchesAnalyticMagnitudeWithBilinearWarp) {
    const int fc = 1000;
    const double wc = std::tan(M_PI * fc / 48000.0);
    for (int n = 1; n <= 8; ++n) {
        for (double f : {50.0, 300.0, 900.0, 1000.0, 1500.0, 4000.0, 12000.0}) {
            const double ratio = std::tan(M_PI * f / 48000.0) / wc;
            const double lp = -10.0 * std::log10(1.0 + std::pow(ratio, 2.0 * n));
            const double hp = -10.0 * std::log10(1.0 + std::pow(1.0 / ratio, 2.0 * n));
            EXPECT_NEAR(CrossoverDbAt(false, fc, n, 1, f), lp, 1e-6) << "n " << n << " f " << f;
            EXPECT_NEAR(CrossoverDbAt(true, fc, n, 1, f), hp, 1e-6) << "n " << n << " f " << f;
        }
    }
}

// ---------------------------------------------------------------- prototypes

// The crossover families as analogue prototypes, written from the textbook
// rather than from the design tables: Butterworth |H|^2 = 1 / (1 + w^2n);
// Linkwitz-Riley of order n is the Butterworth of order n/2 squared; type 0
// is one section of Q 1, 1 / (s^2 + s + 1); Bessel (phase-normalised) is
// theta_n(0) / theta_n(s * wp), theta_n the reverse Bessel polynomial and wp
// the frequency where its phase reaches n * pi / 4.
std::vector<double> ReverseBesselPolynomial(int n) {
    auto factorial = [](int k) {
        double f = 1.0;
        for (int i = 2; i <= k; ++i) f *= i;
        return f;
    };
    std::vector<double> c(n + 1);  // c[j]: coefficient of s^j
    for (int k = 0; k <= n; ++k) {
        c[n - k] = factorial(n + k) / (factorial(n - k) * factorial(k) * std::pow(2.0, k));
    }
    return c;
}

std::complex<double> Polynomial(const std::vector<double>& c, std::complex<double> s) {
    std::complex<double> v = 0.0;
    for (std::size_t j = c.size(); j-- > 0;) v = v * s + c[j];
    return v;
}

// All roots lie in the left half-plane, so the phase on the imaginary axis
// rises steadily from 0 to n * pi / 2: follow it in small steps, then halve
// the last step.
double PhaseNormalisingFrequency(const std::vector<double>& c) {
    const double target = (c.size() - 1) * M_PI / 4.0;
    const std::complex<double> j(0.0, 1.0);
    double w = 0.0, phase = 0.0;
    std::complex<double> previous = Polynomial(c, 0.0);
    const double step = 1e-3;
    for (;;) {
        const std::complex<double> next = Polynomial(c, j * (w + step));
        const double turn = std::arg(next / previous);
        if (phase + turn >= target) break;
        phase += turn;
        previous = next;
        w += step;
    }
    double lo = w, hi = w + step;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2.0;
        (phase + std::arg(Polynomial(c, j * mid) / previous) < target ? lo : hi) = mid;
    }
    return lo;
}

// Level of the low-pass prototype at normalised frequency w (the corner is 1).
double PrototypeDb(int type, int order, double w) {
    switch (type) {
        case 0:
            return -10.0 * std::log10(std::pow(1.0 - w * w, 2.0) + w * w);
        case 1:
            return -10.0 * std::log10(1.0 + std::pow(w, 2.0 * order));
        case 2:
            return -20.0 * std::log10(1.0 + std::pow(w, order));
        default: {
            const std::vector<double> c = ReverseBesselPolynomial(order);
            const double wp = PhaseNormalisingFrequency(c);
            const std::complex<double> h = c[0] / Polynomial(c, std::complex<double>(0.0, w * wp));
            return 10.0 * std::log10(std::norm(h));
        }
    }
}

struct FamilyCase {
    int type;
    int slope;
};
void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.type << "/" << c.slope; }

class CrossoverFamily : public testing::TestWithParam<FamilyCase> {};

// Every family and order against its prototype, both directions. The digital
// filters are bilinear transforms, so the prototype is read at the warped
// frequency; low corners keep the per-section warping of the Bessel sections
// far below the tolerance, while a wrong table entry moves the curve by
// tenths of a dB.
TEST_P(CrossoverFamily, MatchesItsAnalogue) {
    const FamilyCase& c = GetParam();
    int order = c.slope;
    if (c.type == 0) order = 2;
    if (c.type == 2 && order % 2 != 0) ++order;
    const ResponseArray& grid = ResponseGrid();
    for (int fc : {50, 200}) {
        for (bool highPass : {false, true}) {
            ResponseArray db;
            ComputeCrossoverResponse(CrossoverFilter{fc, c.type, c.slope, 0}, highPass, db);
            int checked = 0;
            for (int k = 0; k < kResponsePoints; ++k) {
                if (grid[k] < fc / 8.0 || grid[k] > fc * 8.0) continue;
                const double w = std::tan(M_PI * grid[k] / 48000.0) / std::tan(M_PI * fc / 48000.0);
                const double expected = PrototypeDb(c.type, order, highPass ? 1.0 / w : w);
                ASSERT_NEAR(db[k], expected, 2e-3)
                    << (highPass ? "high-pass " : "low-pass ") << fc << " Hz at " << grid[k];
                ++checked;
            }
            EXPECT_GT(checked, 50);
        }
    }
}

std::vector<FamilyCase> AllFamilies() {
    std::vector<FamilyCase> cases;
    for (int type = 0; type <= 3; ++type) {
        for (int slope = 1; slope <= 8; ++slope) cases.push_back({type, slope});
    }
    return cases;
}
std::string FamilyName(const testing::TestParamInfo<FamilyCase>& info) {
    static const char* const kNames[] = {"UnitQ", "Butterworth", "LinkwitzRiley", "Bessel"};
    return kNames[info.param.type] + std::to_string(info.param.slope);
}
INSTANTIATE_TEST_SUITE_P(EveryOrder, CrossoverFamily, testing::ValuesIn(AllFamilies()), FamilyName);

// The prototypes themselves, against the textbook corner levels.
TEST(CrossoverPrototype, GivesTheTextbookCornerLevels) {
    EXPECT_NEAR(PrototypeDb(3, 1, 1.0), -3.01, 0.005);
    EXPECT_NEAR(PrototypeDb(3, 2, 1.0), -4.77, 0.005);
    EXPECT_NEAR(PrototypeDb(3, 4, 1.0), -7.78, 0.005);
    EXPECT_NEAR(PrototypeDb(1, 5, 1.0), -3.01, 0.005);
    EXPECT_NEAR(PrototypeDb(2, 6, 1.0), -6.02, 0.005);
    EXPECT_NEAR(PrototypeDb(0, 2, 1.0), 0.0, 1e-12);
    // theta_3(s) = s^3 + 6 s^2 + 15 s + 15
    EXPECT_EQ(ReverseBesselPolynomial(3), (std::vector<double>{15, 15, 6, 1}));
}

TEST(Peaking, GainAtCentreAndFlatAtZero) {
    Biquad q;
    ASSERT_TRUE(DesignPeaking(48000.0, 1000.0, 6.0, 1.41, q));
    EXPECT_NEAR(BiquadDbAt(q, 1000.0), 6.0, 1e-9);
    ASSERT_TRUE(DesignPeaking(48000.0, 1000.0, -6.0, 1.41, q));
    EXPECT_NEAR(BiquadDbAt(q, 1000.0), -6.0, 1e-9);
    ASSERT_TRUE(DesignPeaking(48000.0, 1000.0, 0.0, 1.41, q));
    for (double f : {20.0, 1000.0, 20000.0}) EXPECT_EQ(BiquadDbAt(q, f), 0.0);
    EXPECT_FALSE(DesignPeaking(48000.0, 1000.0, 6.0, 0.0, q));
    EXPECT_FALSE(DesignPeaking(48000.0, 1000.0, 6.0, -1.0, q));
    EXPECT_FALSE(DesignPeaking(48000.0, 0.0, 6.0, 1.0, q));
    EXPECT_FALSE(DesignPeaking(48000.0, 30000.0, 6.0, 1.0, q));
}

TEST(CrossoverTest, TypeTwoOddSlopeEqualsNextEven) {
    for (int slope : {1, 3, 5, 7}) {
        CrossoverFilter odd{1000, 2, slope, 0}, even{1000, 2, slope + 1, 0};
        ResponseArray a, b;
        ComputeCrossoverResponse(odd, true, a);
        ComputeCrossoverResponse(even, true, b);
        EXPECT_EQ(a, b) << slope;
    }
}

TEST(CrossoverTest, CornerAbove22kHzIsClamped) {
    for (int type = 0; type <= 3; ++type) {
        ResponseArray a, b;
        ComputeCrossoverResponse(CrossoverFilter{22000, type, 4, 0}, false, a);
        ComputeCrossoverResponse(CrossoverFilter{30000, type, 4, 0}, false, b);
        EXPECT_EQ(a, b) << type;
    }
}

TEST(CrossoverTest, DeepStopBandHitsTheFloorPerSection) {
    ResponseArray db;
    ComputeCrossoverResponse(CrossoverFilter{20000, 1, 8, 0}, true, db);
    // Near 1 Hz every one of the four sections is below 1e-8: 4 x -400 dB.
    EXPECT_EQ(db[0], 4 * kSectionFloorDb);
}

TEST(CrossoverTest, UnknownTypeAndBypassAreFlat) {
    for (CrossoverFilter f : {CrossoverFilter{1000, 4, 4, 0}, CrossoverFilter{1000, -1, 4, 0},
                              CrossoverFilter{1000, 1, 4, 1}}) {
        ResponseArray db;
        ComputeCrossoverResponse(f, true, db);
        for (double v : db) ASSERT_EQ(v, 0.0);
    }
}

TEST(ChannelResponse, FlatCases) {
    ChannelState ch = FlatChannel();
    ResponseCurve curve;
    ComputeChannelResponse(ch, curve);
    for (double v : curve.db) ASSERT_EQ(v, 0.0);
    // Gains present but the EQ bypassed, or bands disabled: still flat.
    for (auto& b : ch.bands) b.eqGain = 5.0f;
    ComputeChannelResponse(ch, curve);
    for (double v : curve.db) ASSERT_EQ(v, 0.0);
    ch.bypass = 0;
    for (auto& b : ch.bands) b.enable = 0;
    ComputeChannelResponse(ch, curve);
    for (double v : curve.db) ASSERT_EQ(v, 0.0);
    EXPECT_EQ(curve.freq, ResponseGrid());
}

TEST(ChannelResponse, NoBandsLeavesCurveAlone) {
    ChannelState ch = FlatChannel();
    ch.eqSize = 0;
    ResponseCurve curve;
    curve.db.fill(7.0);
    ComputeChannelResponse(ch, curve);
    for (double v : curve.db) ASSERT_EQ(v, 7.0);
}

TEST(ChannelResponse, HostileValuesStayFinite) {
    ChannelState ch = FlatChannel();
    ch.bypass = 0;
    ch.eqSize = 400;  // more than the table holds
    ch.bands[0] = EqBand{6.0f, 0.0f, 1000, 1};
    ch.bands[1] = EqBand{6.0f, -2.0f, 1000, 1};
    ch.bands[2] = EqBand{5000.0f, 1.0f, 1000, 1};
    ch.bands[3] = EqBand{-5000.0f, 1.0f, 1000, 1};
    ch.bands[4] = EqBand{6.0f, 1.0f, 0, 1};
    ch.bands[5] = EqBand{6.0f, 1.0f, -50, 1};
    ch.bands[6] = EqBand{6.0f, 1.0f, 2000000000, 1};
    ch.crossover.hp = CrossoverFilter{1000, 9, 4, 0};
    ch.crossover.lp = CrossoverFilter{-5, 3, 100, 0};
    ResponseCurve curve;
    ComputeChannelResponse(ch, curve);
    for (double v : curve.db) ASSERT_TRUE(std::isfinite(v));
    ComputeCalibrationResponse(ch.bands.data(), -4, curve);
    for (double v : curve.db) ASSERT_EQ(v, 0.0);
}

TEST(ChannelResponse, CalibrationIgnoresEnableAndCrossover) {
    ChannelState ch = DspState().channels[6];
    ch.bands[17] = EqBand{6.0f, 1.41f, 1000, 0};
    ResponseCurve curve;
    ComputeCalibrationResponse(ch.bands.data(), kEqBands, curve);
    ResponseCurve expected;
    ChannelState plain = FlatChannel();
    plain.bypass = 0;
    plain.bands = ch.bands;
    for (auto& b : plain.bands) b.enable = 1;
    reference::ChannelResponse(plain, expected);
    for (int k = 0; k < kResponsePoints; ++k) ASSERT_NEAR(curve.db[k], expected.db[k], 1e-9);
}

// Gains the editors allow, and gains only a hand-made profile holds: their
// section powers leave the range the fast path multiplies and are summed in
// dB instead.
class FastPathMatchesReference : public testing::TestWithParam<float> {};

TEST_P(FastPathMatchesReference, OnRandomChannels) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> gain(-GetParam(), GetParam()), q(0.5f, 9.0f);
    std::uniform_int_distribution<int> freq(20, 20000), type(0, 3), slope(0, 8), coin(0, 3);
    for (int iter = 0; iter < 200; ++iter) {
        ChannelState ch = FlatChannel();
        ch.bypass = coin(rng) == 0 ? 1 : 0;
        for (auto& b : ch.bands) {
            b = EqBand{gain(rng), q(rng), freq(rng), static_cast<uint8_t>(coin(rng) != 0)};
        }
        for (CrossoverFilter* f : {&ch.crossover.hp, &ch.crossover.lp}) {
            f->fs = freq(rng);
            f->type = type(rng);
            SetFilterSlope(*f, slope(rng));
        }
        ResponseCurve fast, ref;
        ComputeChannelResponse(ch, fast);
        reference::ChannelResponse(ch, ref);
        for (int k = 0; k < kResponsePoints; ++k) {
            ASSERT_TRUE(std::isfinite(fast.db[k]));
            ASSERT_NEAR(fast.db[k], ref.db[k], 1e-9) << "iter " << iter << " point " << k;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Gains, FastPathMatchesReference, testing::Values(20.0f, 200.0f),
                         [](const testing::TestParamInfo<float>& info) {
                             return "plus_minus_" + std::to_string(static_cast<int>(info.param));
                         });

}  // namespace
}  // namespace kavelo
