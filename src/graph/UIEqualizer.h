#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "control/DspRecords.h"
#include "graph/ControlAttributes.h"
#include "graph/CurveBands.h"
#include "graph/EqualizerGeometry.h"
#include "graph/ResponseCurve.h"

namespace kavelo {

// The interactive EQ graph ("Curve"): response curves of up to eight outputs, one
// numbered marker per band of the current output and the crossover handles "H" and
// "L". Dragging edits the control's own copy of the values and notifies the owning
// window ("equalizer_eq", "equalizer_hp", "equalizer_lp"); the owner reads the copy
// back, applies it and hands new bands and curves in.
class UIEqualizer : public QWidget {
    Q_OBJECT
    // Layouts give "font" as a face index; a QFont still sets the widget font.
    Q_PROPERTY(QVariant font READ FontAttribute WRITE SetFontAttribute)
public:
    enum class Capture { None, Index, Factor, Hp, Lp };

    explicit UIEqualizer(QWidget* parent = nullptr);
    ~UIEqualizer() override;

    QString GetClass() const { return QStringLiteral("UIEqualizer"); }
    // The control answers for "Curve"; nothing else.
    UIEqualizer* GetInterface(const QString& name) {
        return name == QLatin1String("Curve") ? this : nullptr;
    }

    // Copies `count` bands (at most 31), selects `selected` and lays the markers out
    // again. Does not repaint by itself.
    void SetBands(const EqBand* bands, int count, int selected);
    // Shows "H" for 20 ... 20 000 Hz and "L" likewise; other values hide them.
    void setCurEqHpLp(int hp, int lp);
    // Copies `count` (1 ... 8) curves; `current` is drawn on top, `show` holds one
    // flag per slot (non-zero = shown). Nothing happens for a count of 0 or below.
    void SetCurves(const ResponseCurve* curves, int count, int current, const std::uint8_t* show);
    // A measurement of the current output, its levels on the response grid
    // already moved to the 0 dB line (not-a-number where nothing was
    // measured); null hides it. Drawn with the result the current output's
    // curve predicts from it, which follows every new curve.
    void SetMeasurement(const ResponseArray* levels);
    bool HasMeasurement() const { return mHasMeasurement; }
    const ResponseArray& GetMeasurement() const { return mMeasured; }
    // Measurement plus the current output's response, as drawn.
    ResponseArray GetPredicted() const;
    void SetDragAllDirection(std::uint8_t flag) { mDragAllDirection = flag; }
    std::uint8_t GetDragAllDirection() const { return mDragAllDirection; }

    // Read-back after a notification.
    int GetBandCount() const { return mBandCount; }
    // The control's copy of band `index`; a default band outside 0 ... count-1.
    EqBand GetBand(int index) const;
    int GetHpFreq() const { return mHpFreq; }
    int GetLpFreq() const { return mLpFreq; }
    // The selected band's index in decimal ("" before any selection).
    QString GetUserText() const { return mUserText; }
    int GetCurrentControlIndex() const { return mCurrentControlIndex; }
    Capture GetCapture() const { return mCapture; }
    // True while the "equalizer_eq" of a hover is being delivered: the band was
    // only selected, none of its values changed.
    bool IsHoverSelection() const { return mHoverSelection; }
    bool IsAllBypass() const { return mAllBypass; }

    // Hit areas, for tests and tooling; empty when not shown.
    IntRect GetMarkerRect(int index) const;
    IntPoint GetMarkerCenter(int index) const;
    IntRect GetHpRect() const { return mHpRect; }
    IntRect GetLpRect() const { return mLpRect; }
    IntRect GetInfoRect() const { return mInfoRect; }
    QString GetInfoText() const { return mInfoText; }
    IntRect GetQLeftRect() const { return mQLeft; }
    IntRect GetQRightRect() const { return mQRight; }

    // One layout attribute by name; unknown names are left to the widget.
    bool SetAttribute(const QString& name, const QString& value);
    int GetFontIndex() const { return mFont; }
    int GetBypassFontIndex() const { return mBypassFont; }
    int GetCurveColorCount() const { return static_cast<int>(mCurveColors.size()); }
    const TextStyle& GetTextStyle() const { return mTextStyle; }
    bool GetAutoCalcWidth() const { return mTextStyle.autoCalcWidth; }
    void SetAutoCalcWidth(bool on) { mTextStyle.autoCalcWidth = on; }
    void SetText(const QString& text);
    QString GetText() const { return mText; }

    QVariant FontAttribute() const { return font(); }
    void SetFontAttribute(const QVariant& value);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Marker {
        IntPoint center;
        IntRect rect;
        QString label;
    };

    IntRect OwnRect() const { return {0, 0, width(), height()}; }
    void FullLayout();
    void PartialLayout();
    void LayoutSelected(bool recomputeMarkerRect);
    void LayoutHandles();
    bool BandSelected() const {
        return mCurrentControlIndex >= 0 && mCurrentControlIndex < mBandCount;
    }
    void SelectBand(int index);
    void SetUserText(const QString& text);
    bool RebuildPoints();
    void PaintBackground(QPainter& p) const;
    ChainStroke CurveStroke(int i, const QColor& fallback, double width) const;
    void PaintOtherCurves();
    void PaintMeasurement();
    void PaintCurrentCurve();
    void InvalidateBackground();
    void Notify(const char* type);

    std::array<EqBand, kEqMaxBands> mBands{};
    int mBandCount = 0;
    std::array<Marker, kEqMaxBands> mMarkers{};
    int mCurrentControlIndex = -1;
    Capture mCapture = Capture::None;
    std::uint8_t mDragAllDirection = 0;
    int mHpFreq = -1;
    int mLpFreq = -1;
    IntRect mHpRect, mLpRect;
    QString mInfoText;
    IntRect mInfoRect, mQLeft, mQRight;

    std::vector<ResponseCurve> mCurves;  // kCurveSlots once set
    std::array<bool, kCurveSlots> mShow{};
    int mSlotCount = 0;
    int mCurrent = 0;
    // Point lists are built when curves or the plot change, not on every paint. Three
    // kept images: the background (grid, logo, bypass text, a measurement), which
    // changes only with size, attributes and the measurement; the layer, the
    // background with the other outputs' curves; the frame, the layer with the
    // prediction and the current curve. Markers and texts go on top.
    std::array<std::vector<IntPoint>, kCurveSlots> mPoints;
    std::array<bool, kCurveSlots> mPointsDirty{};
    // The measurement is drawn into the background, which changes only with it;
    // the prediction moves with the current curve and is drawn into the frame
    // under it.
    bool mHasMeasurement = false;
    ResponseArray mMeasured{};
    std::vector<IntPoint> mMeasuredPoints;
    std::vector<IntPoint> mPredictedPoints;
    bool mMeasurementDirty = false;
    QImage mBackground;
    bool mBackgroundDirty = true;
    QImage mLayer;
    bool mLayerDirty = true;
    QImage mFrame;
    int mLayerScale = 0;

    EqAxes mAxes;
    int mScale = 100;
    bool mLayoutValid = false;
    bool mNeedsFullLayout = true;
    bool mAllBypass = false;

    std::vector<QColor> mCurveColors;
    QString mLogo;
    QPixmap mLogoPixmap;
    int mBypassFont = -1;
    int mFont = -1;
    TextStyle mTextStyle;
    bool mFocused = false;
    bool mHoverSelection = false;
    QString mUserText;
    QString mText;
};

}  // namespace kavelo
