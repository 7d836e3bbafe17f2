#include "graph/UIEqualizer.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "graph/Measurement.h"
#include "ui/LanguageService.h"

namespace kavelo {

// Drag steps and paints are traced for debugging only; enable with
// QT_LOGGING_RULES="kavelo.equalizer.debug=true".
Q_LOGGING_CATEGORY(lcEqualizer, "kavelo.equalizer", QtWarningMsg)

namespace {
const QColor kRed = QColor::fromRgba(0xFFFF0000);
const QColor kWhite = QColor::fromRgba(0xFFFFFFFF);
const QColor kBypassTextColor = QColor::fromRgba(0x77777777);
const QColor kOtherCurveColor = QColor::fromRgba(0xFF646464);
const QColor kCurrentCurveColor = QColor::fromRgba(0xFF00C000);
// Apart from every layout colour of the outputs: the measurement a light grey,
// the prediction white, both legible on the dark plot.
const QColor kMeasurementColor = QColor::fromRgba(0xFFB0B0B0);
const QColor kPredictedColor = QColor::fromRgba(0xFFFFFFFF);
// Columns per band when curves are stroked into the kept images.
constexpr int kCurveBandWidth = 150;

QRect ToQRect(const IntRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

}  // namespace

UIEqualizer::UIEqualizer(QWidget* parent) : QWidget(parent), mCurves(kCurveSlots) {
    setMouseTracking(true);  // hover selects bands
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The all-bypass hint is a language text.
    connect(&LanguageService::Instance(), &LanguageService::LanguageChanged, this, [this] {
        InvalidateBackground();
        update();
    });
}

UIEqualizer::~UIEqualizer() = default;

void UIEqualizer::SetBands(const EqBand* bands, int count, int selected) {
    mBandCount = bands ? std::clamp(count, 0, kEqMaxBands) : 0;
    bool allZero = true;
    for (int i = 0; i < mBandCount; ++i) {
        mBands[static_cast<size_t>(i)] = bands[i];
        if (bands[i].eqGain != 0.0f) allZero = false;
    }
    if (mAllBypass != allZero) InvalidateBackground();
    mAllBypass = allZero;
    mCurrentControlIndex = selected;
    if (selected >= 0 && selected < mBandCount) SetUserText(QString::number(selected));
    FullLayout();
}

void UIEqualizer::setCurEqHpLp(int hp, int lp) {
    mScale = DisplayScaleOf(this);
    const EqAxes axes = MakeEqAxes(OwnRect());
    if (hp >= kEqMinFreq && hp <= kEqMaxFreq) {
        mHpFreq = hp;
        mHpRect = HpHandleRect(axes, hp, mScale);
        qCDebug(lcEqualizer, "setCurEqHpLp mHpFreq(%d)", hp);
    } else {
        mHpFreq = -1;
        mHpRect = {};
    }
    if (lp >= kEqMinFreq && lp <= kEqMaxFreq) {
        mLpFreq = lp;
        mLpRect = LpHandleRect(axes, lp, mScale);
        qCDebug(lcEqualizer, "setCurEqHpLp mHpFreq(%d)", lp);
    } else {
        mLpFreq = -1;
        mLpRect = {};
    }
    update();
}

void UIEqualizer::SetCurves(const ResponseCurve* curves, int count, int current,
                            const std::uint8_t* show) {
    if (count <= 0 || !curves) return;
    const int used = std::min(count, kCurveSlots);
    // Only what changed is rebuilt: during a drag the owner hands in all eight curves
    // though usually only the current output's moved.
    const bool currentChanged = current != mCurrent || used != mSlotCount;
    for (int i = 0; i < kCurveSlots; ++i) {
        const size_t k = static_cast<size_t>(i);
        const bool shown = i < used && show && show[i] != 0;
        const ResponseCurve next = i < used ? curves[i] : ResponseCurve{};
        const bool dataChanged = next.freq != mCurves[k].freq || next.db != mCurves[k].db;
        if (dataChanged || currentChanged) mPointsDirty[k] = true;
        if (i != current && (dataChanged || shown != mShow[k])) mLayerDirty = true;
        mShow[k] = shown;
        if (dataChanged) mCurves[k] = next;
    }
    if (currentChanged) mLayerDirty = true;
    mSlotCount = used;
    mCurrent = current;
    update();
}

void UIEqualizer::SetMeasurement(const ResponseArray* levels) {
    if (!levels) {
        if (!mHasMeasurement) return;
        mHasMeasurement = false;
    } else {
        // Compared bit for bit: the levels hold not-a-number where nothing was measured.
        if (mHasMeasurement &&
            std::memcmp(levels->data(), mMeasured.data(), sizeof(double) * levels->size()) == 0)
            return;
        mMeasured = *levels;
        mHasMeasurement = true;
    }
    mMeasurementDirty = true;
    InvalidateBackground();
    update();
}

ResponseArray UIEqualizer::GetPredicted() const {
    const bool curve = mCurrent >= 0 && mCurrent < mSlotCount;
    ResponseArray flat{};
    return PredictedResponse(mMeasured, curve ? mCurves[static_cast<size_t>(mCurrent)].db : flat);
}

EqBand UIEqualizer::GetBand(int index) const {
    if (index < 0 || index >= mBandCount) return {};
    return mBands[static_cast<size_t>(index)];
}

IntRect UIEqualizer::GetMarkerRect(int index) const {
    if (index < 0 || index >= mBandCount) return {};
    return mMarkers[static_cast<size_t>(index)].rect;
}

IntPoint UIEqualizer::GetMarkerCenter(int index) const {
    if (index < 0 || index >= mBandCount) return {};
    return mMarkers[static_cast<size_t>(index)].center;
}

void UIEqualizer::FullLayout() {
    mScale = DisplayScaleOf(this);
    const EqAxes axes = MakeEqAxes(OwnRect());
    if (!(axes.plot == mAxes.plot) || axes.y0 != mAxes.y0 || mScale != mLayerScale) {
        mPointsDirty.fill(true);
        mMeasurementDirty = true;
        InvalidateBackground();
    }
    mAxes = axes;
    if (mAxes.H != 0 && mAxes.W != 0 && mAxes.y0 != 0) mLayoutValid = true;
    for (int i = 0; i < mBandCount; ++i) {
        Marker& m = mMarkers[static_cast<size_t>(i)];
        const EqBand& b = mBands[static_cast<size_t>(i)];
        m.center = {EqFreqToX(mAxes, b.freq), EqGainToY(mAxes, b.eqGain)};
        m.rect = MarkerRect(mAxes.plot, m.center.x, m.center.y, mScale);
        m.label = QString::number(i + 1);
    }
    LayoutSelected(false);
    LayoutHandles();
    mNeedsFullLayout = false;
}

void UIEqualizer::PartialLayout() {
    LayoutSelected(true);
    LayoutHandles();
}

void UIEqualizer::LayoutSelected(bool recomputeMarkerRect) {
    mQLeft = mQRight = {};
    if (!BandSelected()) {
        // No band (or one the table does not hold): no info text, no Q handles.
        mInfoText.clear();
        mInfoRect = {};
        return;
    }
    Marker& m = mMarkers[static_cast<size_t>(mCurrentControlIndex)];
    const EqBand& b = mBands[static_cast<size_t>(mCurrentControlIndex)];
    if (recomputeMarkerRect) m.rect = MarkerRect(mAxes.plot, m.center.x, m.center.y, mScale);
    if (mDragAllDirection == 1) {
        const QString q = QString::asprintf("%0.2f", static_cast<double>(b.eqFactor));
        mInfoText = QString::asprintf("%d Hz %s Q %.1f dB", b.freq, q.toUtf8().constData(),
                                      static_cast<double>(b.eqGain));
        mInfoRect = InfoRect(mAxes.plot, m.center.x, m.center.y, mScale, true);
        QHandleRects(mAxes.plot, m.center.x, m.center.y, b.eqFactor, mScale, mQLeft, mQRight);
    } else {
        mInfoText = QString::asprintf("%.1f dB", static_cast<double>(b.eqGain));
        mInfoRect = InfoRect(mAxes.plot, m.center.x, m.center.y, mScale, false);
    }
}

void UIEqualizer::LayoutHandles() {
    if (mHpFreq >= kEqMinFreq && mHpFreq <= kEqMaxFreq)
        mHpRect = HpHandleRect(mAxes, mHpFreq, mScale);
    if (mLpFreq >= kEqMinFreq && mLpFreq <= kEqMaxFreq)
        mLpRect = LpHandleRect(mAxes, mLpFreq, mScale);
}

void UIEqualizer::InvalidateBackground() {
    mBackgroundDirty = true;
    mLayerDirty = true;
}

// Returns whether the current curve's points were rebuilt.
bool UIEqualizer::RebuildPoints() {
    bool currentRebuilt = false;
    for (int i = 0; i < kCurveSlots; ++i) {
        const size_t k = static_cast<size_t>(i);
        if (!mPointsDirty[k]) continue;
        mPointsDirty[k] = false;
        std::vector<IntPoint>& pts = mPoints[k];
        if (i >= mSlotCount) {
            pts.clear();
        } else {
            // Other outputs are smoothed; the current one is drawn as computed.
            const ResponseCurve& c = mCurves[k];
            EqCurvePoints(mAxes, c.freq.data(), c.db.data(), kResponsePoints, i != mCurrent, pts);
        }
        if (i == mCurrent) currentRebuilt = true;
    }
    if (mMeasurementDirty) {
        mMeasuredPoints.clear();
        if (mHasMeasurement)
            EqCurvePoints(mAxes, ResponseGrid().data(), mMeasured.data(), kResponsePoints, false,
                          mMeasuredPoints);
    }
    if (mMeasurementDirty || currentRebuilt) {
        mPredictedPoints.clear();
        if (mHasMeasurement) {
            const ResponseArray predicted = GetPredicted();
            EqCurvePoints(mAxes, ResponseGrid().data(), predicted.data(), kResponsePoints, false,
                          mPredictedPoints);
        }
        currentRebuilt = true;
    }
    mMeasurementDirty = false;
    return currentRebuilt;
}

void UIEqualizer::Notify(const char* type) { NotifyOwner(this, QString::fromLatin1(type)); }

void UIEqualizer::SelectBand(int index) {
    mCurrentControlIndex = index;
    SetUserText(QString::number(index));
}

void UIEqualizer::SetUserText(const QString& text) {
    mUserText = text;
    // Also the control's "userdata", which the window layer reads as an index.
    setProperty("userdata", text);
}

bool UIEqualizer::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("curvecolor")) {
        mCurveColors = ParseColorList(value, kMaxCurveColors);
    } else if (name == QLatin1String("curvelogo")) {
        mLogo = value;
        // A logo that cannot be loaded is logged and treated as absent, so the
        // all-bypass hint is not lost behind an empty picture.
        mLogoPixmap = LoadSkinImage(value);
    } else if (name == QLatin1String("bypassfont")) {
        mBypassFont = value.trimmed().toInt();
    } else if (name == QLatin1String("font")) {
        mFont = value.trimmed().toInt();
    } else if (mTextStyle.Apply(name, value)) {
        if (name == QLatin1String("autocalcwidth")) updateGeometry();
    } else {
        return false;
    }
    InvalidateBackground();
    update();
    return true;
}

void UIEqualizer::SetFontAttribute(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QFont) {
        setFont(value.value<QFont>());
        return;
    }
    SetAttribute(QStringLiteral("font"), value.toString());
}

void UIEqualizer::SetText(const QString& text) {
    mText = text;
    if (mTextStyle.autoCalcWidth) updateGeometry();
    update();
}

bool UIEqualizer::event(QEvent* event) {
    ForwardAttribute(this, event,
                     [this](const QString& n, const QString& v) { SetAttribute(n, v); });
    return QWidget::event(event);
}

void UIEqualizer::changeEvent(QEvent* event) {
    const auto t = event->type();
    if (t == QEvent::PaletteChange || t == QEvent::FontChange || t == QEvent::StyleChange) {
        InvalidateBackground();
        update();
    }
    QWidget::changeEvent(event);
}

void UIEqualizer::resizeEvent(QResizeEvent* event) {
    // Markers and handles follow the new plot at the next paint.
    mNeedsFullLayout = true;
    QWidget::resizeEvent(event);
}

void UIEqualizer::focusInEvent(QFocusEvent* event) {
    mFocused = true;
    QWidget::focusInEvent(event);
}

void UIEqualizer::focusOutEvent(QFocusEvent* event) {
    mFocused = false;
    QWidget::focusOutEvent(event);
}

void UIEqualizer::PaintBackground(QPainter& p) const {
    const int S = mScale;
    const int L = mAxes.plot.left, T = mAxes.plot.top, R = mAxes.plot.right, B = mAxes.plot.bottom;
    PaintPlotGrid(
        p, mAxes, palette().color(QPalette::Window), S / 100, kEqGainGrid,
        [this](int g) { return EqGainToY(mAxes, g); },
        [this](int f) { return EqFreqToX(mAxes, f); });

    if (!mLogoPixmap.isNull()) {
        const QSize size = mLogoPixmap.size() * S / 100;
        const QRect at(QPoint(L + (mAxes.W - size.width()) / 2, T + (mAxes.H - size.height()) / 2),
                       size);
        p.drawPixmap(at, mLogoPixmap);
    } else if (mAllBypass) {
        mTextStyle.Draw(p, QRect(L, T + 40, R - L, B - T - 40),
                        kavelo::GetText(QStringLiteral("${all_bypass}")),
                        SkinFont(this, mBypassFont), kBypassTextColor);
    }
}

// Output i's curve in its layout colour (or `fallback`), `width` wide.
ChainStroke UIEqualizer::CurveStroke(int i, const QColor& fallback, double width) const {
    const size_t k = static_cast<size_t>(i);
    const QColor color = k < mCurveColors.size() ? mCurveColors[k] : fallback;
    const int n = static_cast<int>(mPoints[k].size()) - 1;
    return {&mPoints[k], BezierSegments(n),
            QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)};
}

void UIEqualizer::PaintOtherCurves() {
    const int colors = static_cast<int>(mCurveColors.size());
    const double width = (colors > mCurrent ? 2.0 : 3.0) * mScale / 100.0;
    std::vector<ChainStroke> chains;
    chains.reserve(kCurveSlots);
    for (int i = 0; i < mSlotCount; ++i) {
        if (i == mCurrent || !mShow[static_cast<size_t>(i)]) continue;
        chains.push_back(CurveStroke(i, kOtherCurveColor, width));
    }
    StrokeChainsInBands(mLayer, chains, kCurveBandWidth);
}

void UIEqualizer::PaintCurrentCurve() {
    std::vector<ChainStroke> chains;
    if (mHasMeasurement) {
        chains.push_back({&mPredictedPoints,
                          BezierSegments(static_cast<int>(mPredictedPoints.size()) - 1),
                          QPen(kPredictedColor, 2.0 * mScale / 100.0, Qt::SolidLine, Qt::RoundCap,
                               Qt::RoundJoin)});
    }
    if (mCurrent >= 0 && mCurrent < mSlotCount)
        chains.push_back(CurveStroke(mCurrent, kCurrentCurveColor, 2.0 * mScale / 100.0));
    StrokeChainsInBands(mFrame, chains, kCurveBandWidth);
}

void UIEqualizer::PaintMeasurement() {
    if (!mHasMeasurement) return;
    StrokeChainsInBands(mBackground,
                        {{&mMeasuredPoints,
                          BezierSegments(static_cast<int>(mMeasuredPoints.size()) - 1),
                          QPen(kMeasurementColor, 1.5 * mScale / 100.0, Qt::SolidLine,
                               Qt::RoundCap, Qt::RoundJoin)}},
                        kCurveBandWidth);
}

void UIEqualizer::paintEvent(QPaintEvent*) {
    qCDebug(lcEqualizer, "DoPaint!!");
    if (!mLayoutValid || mNeedsFullLayout || mScale != DisplayScaleOf(this))
        FullLayout();
    else
        PartialLayout();
    bool frameDirty = RebuildPoints();

    // Each kept image is rebuilt from the one below it only when something on it
    // changed, and reused while the size stays.
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (pixels.isEmpty()) return;
    if (mBackground.size() != pixels || mBackground.devicePixelRatioF() != dpr) {
        for (QImage* img : {&mBackground, &mLayer, &mFrame}) {
            *img = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            img->setDevicePixelRatio(dpr);
        }
        InvalidateBackground();
    }
    if (mBackgroundDirty) {
        mBackground.fill(Qt::transparent);
        {
            QPainter background(&mBackground);
            PaintBackground(background);
        }
        PaintMeasurement();
        mBackgroundDirty = false;
        mLayerScale = mScale;
    }
    if (mLayerDirty) {
        std::copy_n(mBackground.constBits(), mBackground.sizeInBytes(), mLayer.bits());
        PaintOtherCurves();
        mLayerDirty = false;
        frameDirty = true;
    }
    if (frameDirty) {
        std::copy_n(mLayer.constBits(), mLayer.sizeInBytes(), mFrame.bits());
        PaintCurrentCurve();
    }

    const int S = mScale;
    QPainter p(this);
    // An opaque background fills the whole frame, which can then be copied rather
    // than blended.
    if (palette().color(QPalette::Window).alpha() == 255)
        p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), mFrame);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Texts are antialiased like the curves under them (it matters for large faces,
    // which are filled as outlines).
    p.setRenderHint(QPainter::Antialiasing, true);

    const QFont textFont = SkinFont(this, mFont);
    for (int i = 0; i < mBandCount; ++i) {
        const Marker& m = mMarkers[static_cast<size_t>(i)];
        mTextStyle.Draw(p, ToQRect(m.rect), m.label, textFont,
                        i == mCurrentControlIndex ? kRed : kWhite);
    }
    if (BandSelected()) {
        mTextStyle.Draw(p, ToQRect(mInfoRect), mInfoText, textFont, kRed);
        if (mDragAllDirection == 1) {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(kRed, S / 100));
            p.drawRect(ToQRect(mQLeft));
            p.drawRect(ToQRect(mQRight));
        }
    }
    if (mHpFreq != -1)
        mTextStyle.Draw(p, ToQRect(mHpRect), QStringLiteral("H"), textFont,
                        mCapture == Capture::Hp ? kRed : kWhite);
    if (mLpFreq != -1)
        mTextStyle.Draw(p, ToQRect(mLpRect), QStringLiteral("L"), textFont,
                        mCapture == Capture::Lp ? kRed : kWhite);
}

void UIEqualizer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int x = event->position().toPoint().x(), y = event->position().toPoint().y();
    if (mDragAllDirection == 1 && BandSelected() &&
        (mQLeft.Contains(x, y) || mQRight.Contains(x, y))) {
        setCursor(Qt::SizeHorCursor);
        mCapture = Capture::Factor;
    } else if (mCapture != Capture::Factor) {
        for (int i = 0; i < mBandCount; ++i) {
            if (!mMarkers[static_cast<size_t>(i)].rect.Contains(x, y)) continue;
            setCursor(mDragAllDirection == 1 ? Qt::SizeAllCursor : Qt::SizeVerCursor);
            SelectBand(i);
            mCapture = Capture::Index;
            break;
        }
    }
    if (mCapture == Capture::None && mHpFreq != -1 && mHpRect.Contains(x, y)) {
        setCursor(Qt::SizeHorCursor);
        mCurrentControlIndex = -1;
        mCapture = Capture::Hp;
    }
    if (mCapture == Capture::None && mLpFreq != -1 && mLpRect.Contains(x, y)) {
        setCursor(Qt::SizeHorCursor);
        mCurrentControlIndex = -1;
        mCapture = Capture::Lp;
    }
    update();
    QWidget::mousePressEvent(event);
}

void UIEqualizer::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x(), y = event->position().toPoint().y();
    if (mCapture == Capture::None) {
        for (int i = 0; i < mBandCount; ++i) {
            if (!mMarkers[static_cast<size_t>(i)].rect.Contains(x, y)) continue;
            setCursor(Qt::PointingHandCursor);
            if (i != mCurrentControlIndex) {
                SelectBand(i);
                mHoverSelection = true;
                Notify("equalizer_eq");
                mHoverSelection = false;
                update();
            }
            return;
        }
        const bool overQ = mDragAllDirection == 1 && BandSelected() &&
                           (mQLeft.Contains(x, y) || mQRight.Contains(x, y));
        const bool overHandle =
            (mHpFreq != -1 && mHpRect.Contains(x, y)) || (mLpFreq != -1 && mLpRect.Contains(x, y));
        setCursor(overQ || overHandle ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }

    const IntPoint c = ClampToPlot(mAxes.plot, x, y);
    switch (mCapture) {
        case Capture::Index: {
            if (!BandSelected()) return;
            qCDebug(lcEqualizer, "INDEX_CAPTURED move x(%d) y(%d) ", c.x, c.y);
            Marker& m = mMarkers[static_cast<size_t>(mCurrentControlIndex)];
            EqBand& b = mBands[static_cast<size_t>(mCurrentControlIndex)];
            if (mDragAllDirection == 1) m.center.x = c.x;
            m.center.y = c.y;
            const double g = EqYToGain(mAxes, c.y);
            const int f = EqXToFreq(mAxes, c.x);
            bool changed = false;
            if (std::fabs(b.eqGain - g) > 0.001) {
                b.eqGain = static_cast<float>(g);
                changed = true;
            }
            if (mDragAllDirection == 1 && b.freq != f) {
                b.freq = f;
                changed = true;
            }
            qCDebug(lcEqualizer, "freq (%d) gain(%.2f) ", b.freq, static_cast<double>(b.eqGain));
            update();
            if (changed) Notify("equalizer_eq");
            break;
        }
        case Capture::Factor: {
            if (!BandSelected()) return;
            qCDebug(lcEqualizer, "FACTOR_CAPTURED move x(%d) y(%d) ", c.x, c.y);
            EqBand& b = mBands[static_cast<size_t>(mCurrentControlIndex)];
            const float q =
                EqXToQ(c.x, mMarkers[static_cast<size_t>(mCurrentControlIndex)].center.x, mScale);
            update();
            if (std::fabs(b.eqFactor - q) >= 0.01f) {
                b.eqFactor = q;
                Notify("equalizer_eq");
            }
            break;
        }
        case Capture::Hp: {
            const int f = EqXToFreq(mAxes, c.x);
            qCDebug(lcEqualizer, "HP_CAPTURED move x(%d) y(%d) mHpFreq(%d)", c.x, c.y, mHpFreq);
            // A hidden "L" sets no upper bound.
            const int upper = mLpFreq != -1 ? mLpFreq : INT_MAX;
            update();
            if (f < upper && f != mHpFreq) {
                mHpFreq = f;
                Notify("equalizer_hp");
            }
            break;
        }
        case Capture::Lp: {
            const int f = EqXToFreq(mAxes, c.x);
            qCDebug(lcEqualizer, "HP_CAPTURED move x(%d) y(%d) mLpFreq(%d)", c.x, c.y, mLpFreq);
            update();
            if (f > mHpFreq && f != mLpFreq) {
                mLpFreq = f;
                Notify("equalizer_lp");
            }
            break;
        }
        case Capture::None:
            break;
    }
}

void UIEqualizer::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || mCapture == Capture::None)
        return QWidget::mouseReleaseEvent(event);
    const IntPoint c =
        ClampToPlot(mAxes.plot, event->position().toPoint().x(), event->position().toPoint().y());
    const Capture was = mCapture;
    // The capture ends before the owner hears of it, so a notification handler sees
    // the control at rest.
    mCapture = Capture::None;
    switch (was) {
        case Capture::Index:
            setCursor(Qt::PointingHandCursor);
            if (BandSelected()) {
                Marker& m = mMarkers[static_cast<size_t>(mCurrentControlIndex)];
                EqBand& b = mBands[static_cast<size_t>(mCurrentControlIndex)];
                if (mDragAllDirection == 1) {
                    m.center.x = c.x;
                    b.freq = EqXToFreq(mAxes, c.x);
                }
                m.center.y = c.y;
                b.eqGain = static_cast<float>(EqYToGain(mAxes, c.y));
                m.rect = MarkerRect(mAxes.plot, m.center.x, m.center.y, mScale);
                qCDebug(lcEqualizer, "freq (%d) gain(%.2f) ", b.freq,
                        static_cast<double>(b.eqGain));
                qCDebug(lcEqualizer, "INDEX_CAPTURED up x(%d) y(%d) ", c.x, c.y);
                Notify("equalizer_eq");
            }
            break;
        case Capture::Factor:
            setCursor(Qt::ArrowCursor);
            if (BandSelected()) {
                mBands[static_cast<size_t>(mCurrentControlIndex)].eqFactor = EqXToQ(
                    c.x, mMarkers[static_cast<size_t>(mCurrentControlIndex)].center.x, mScale);
                Notify("equalizer_eq");
            }
            break;
        case Capture::Hp: {
            setCursor(Qt::ArrowCursor);
            const int f = EqXToFreq(mAxes, c.x);
            if (f < (mLpFreq != -1 ? mLpFreq : INT_MAX)) mHpFreq = f;
            Notify("equalizer_hp");
            break;
        }
        case Capture::Lp: {
            setCursor(Qt::ArrowCursor);
            const int f = EqXToFreq(mAxes, c.x);
            if (f > mHpFreq) mLpFreq = f;
            Notify("equalizer_lp");
            break;
        }
        case Capture::None:
            break;
    }
    update();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace kavelo
