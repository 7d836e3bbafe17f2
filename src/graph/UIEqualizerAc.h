#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "graph/ControlAttributes.h"
#include "graph/EqualizerGeometry.h"
#include "graph/ResponseCurve.h"

namespace kavelo {

// One measured spectrum: 121 (frequency, level in dB) points.
struct SpectrumCurve {
    std::array<double, kSpectrumPoints> freq{};
    std::array<double, kSpectrumPoints> db{};
};

// The read-only calibration graph ("CurveAc"): ±20 dB axes and three independent
// sets of up to eight curves (measured spectrum, calibration EQ, target).
class UIEqualizerAc : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<std::uint32_t, kCurveSlots> kEqPalette = {
        0xFFFF0000, 0xFFFF8040, 0xFFFFFF37, 0xFFB7FF4A,
        0xFF00AEAE, 0xFF0000E3, 0xFF8600FF, 0xFFF00078};
    static constexpr std::array<std::uint32_t, kCurveSlots> kSpectrumPalette = {
        0xFFEF0000, 0xFFEF7030, 0xFFEFEF27, 0xFFA7EF3A,
        0xFF009E9E, 0xFF0000D3, 0xFF7600EF, 0xFFE00068};
    static constexpr std::uint32_t kTargetColor = 0xFFE00068;

    explicit UIEqualizerAc(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("UIEqualizerAc"); }

    // Each setter ignores a count of 0 or below; otherwise it keeps `count` (at most
    // 8) curves and their show flags (non-zero = shown), clears the rest and repaints.
    void SetEqCurves(const ResponseCurve* curves, int count, const std::uint8_t* show);
    void SetTargetCurves(const ResponseCurve* curves, int count, const std::uint8_t* show);
    void SetSpectrumCurves(const SpectrumCurve* curves, int count, const std::uint8_t* show);

    int GetEqCount() const { return mEq.count; }
    int GetTargetCount() const { return mTarget.count; }
    int GetSpectrumCount() const { return mSpectrum.count; }
    // What a slot holds now (slot 0 ... 7) and whether it is drawn.
    const ResponseCurve& GetEqCurve(int slot) const { return mEq.curves[slot]; }
    const SpectrumCurve& GetSpectrumCurve(int slot) const { return mSpectrum.curves[slot]; }
    bool IsEqShown(int slot) const { return mEq.show[slot] != 0; }
    bool IsTargetShown(int slot) const { return mTarget.show[slot] != 0; }
    bool IsSpectrumShown(int slot) const { return mSpectrum.show[slot] != 0; }

    bool SetAttribute(const QString& name, const QString& value);

signals:
    // A set was handed over and stored (a count of 0 or below stores nothing).
    void EqCurvesSet();
    void TargetCurvesSet();
    void SpectrumCurvesSet();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    template <class Curve>
    struct CurveSet {
        std::vector<Curve> curves = std::vector<Curve>(kCurveSlots);
        std::array<std::uint8_t, kCurveSlots> show{};
        int count = 0;
    };
    template <class Curve>
    bool Store(CurveSet<Curve>& set, const Curve* curves, int count, const std::uint8_t* show);

    CurveSet<SpectrumCurve> mSpectrum;
    CurveSet<ResponseCurve> mEq;
    CurveSet<ResponseCurve> mTarget;
    TextStyle mTextStyle;
    bool mFocused = false;
};

}  // namespace kavelo
