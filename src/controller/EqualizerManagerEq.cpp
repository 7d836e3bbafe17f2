// EqualizerManager: the current output's crossover and EQ, from the selectors,
// the band editors and drags on the curve; EQ bypass, reset and the GEQ/PEQ mode.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>

#include "base/Log.h"
#include "control/EqOperations.h"
#include "control/ParseNumber.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "graph/UIEqualizer.h"

namespace kavelo {

using namespace controls;

namespace {

bool ValidBand(int b) { return b >= 0 && b < kEqBands; }

// Type 2 offers only the even slopes.
void ShowSlopeItems(QComboBox* slope, int type) {
    if (!slope) return;
    if (auto* list = qobject_cast<QListView*>(slope->view()))
        for (int item : {1, 3, 5, 7}) list->setRowHidden(item, type == 2);
}

QString Hz(int fs) { return QStringLiteral("%1Hz").arg(fs); }

}  // namespace

// ---------------------------------------------------------------- plumbing

UIEqualizer* EqualizerManager::Curve() const { return dynamic_cast<UIEqualizer*>(mUi.equalizer); }

float EqualizerManager::BandGainLimit(int b, bool maximum) const {
    const QAbstractSlider* s = ValidBand(b) ? mUi.eqSlider[b] : nullptr;
    if (!s) return maximum ? 12.0f : -18.0f;
    return (maximum ? s->maximum() : s->minimum()) / 10.0f;
}

void EqualizerManager::SendAndRedraw(const OutputEdit& edit, int selectedBand) {
    // Followers whose EQ or filters changed are drawn anew too; the current output
    // and its partner are recomputed by UpdateEqualizer.
    std::uint8_t touched = 0;
    for (const DspCommand& c : edit.commands) {
        if (const auto* eq = std::get_if<EqCmd>(&c)) touched |= 1u << eq->channel;
        if (const auto* f = std::get_if<FilterCmd>(&c)) touched |= 1u << f->channel;
        if (const auto* p = std::get_if<PeqBypassCmd>(&c)) touched |= 1u << p->channel;
    }
    const int current = mModel.live.currChannel;
    for (int n = 0; n < kOutputChannels; ++n)
        if ((touched & (1u << n)) && n != current && n != LinkPartner(mModel.live, current))
            ComputeChannelResponse(mModel.live.channels[n], mCurves[n]);
    UpdateEqualizer(selectedBand);
    Send(edit.commands);
}

// ---------------------------------------------------------------- crossover

void EqualizerManager::SetFilterFrequency(int filter, int fs) {
    const OutputEdit edit = ChangeFilter(mModel.live, filter, FilterChange{fs, {}, {}}, false);
    SetText(filter == kHighPassFilter ? mUi.hpFreq : mUi.lpFreq, Hz(fs));
    SendAndRedraw(edit, -1);
}

std::optional<int> EqualizerManager::TypedCorner(int filter) {
    QLineEdit* edit = filter == kHighPassFilter ? mUi.hpFreq : mUi.lpFreq;
    if (!edit) return std::nullopt;
    const std::optional<int> typed = ReadTypedFrequency(edit->text().toStdString());
    if (!typed) {
        LogNoNumber(edit, edit->text());
        ShowFilter(mModel.live.currChannel);
    }
    return typed;
}

void EqualizerManager::SetHpFreq() {
    const std::optional<int> typed = TypedCorner(kHighPassFilter);
    if (!typed) return;
    LogPrintA("set hp freq to %d \n", *typed);
    SetFilterFrequency(kHighPassFilter,
                       LimitHighPass(mModel.live, mModel.live.currChannel, *typed));
}

void EqualizerManager::SetLpFreq() {
    const std::optional<int> typed = TypedCorner(kLowPassFilter);
    if (!typed) return;
    LogPrintA("set lp freq to %d \n", *typed);
    SetFilterFrequency(kLowPassFilter, LimitLowPass(mModel.live, mModel.live.currChannel, *typed));
}

void EqualizerManager::SetHpFreqUp(bool up) {
    LogPrintA("SetHpFreqUp up(%d)\n", up ? 1 : 0);
    const std::optional<int> fs = HighPassStep(mModel.live, mModel.live.currChannel, up);
    if (!fs) return;
    SetText(mUi.hpFreq, Hz(*fs));
    SetHpFreq();
}

void EqualizerManager::SetLpFreqUp(bool up) {
    LogPrintA("SetLpFreqUp up(%d)\n", up ? 1 : 0);
    const std::optional<int> fs = LowPassStep(mModel.live, mModel.live.currChannel, up);
    if (!fs) return;
    SetText(mUi.lpFreq, Hz(*fs));
    SetLpFreq();
}

void EqualizerManager::SetFilterSelector(int filter, bool type) {
    const bool hp = filter == kHighPassFilter;
    QComboBox* combo = type ? (hp ? mUi.hpType : mUi.lpType) : (hp ? mUi.hpSlope : mUi.lpSlope);
    if (!combo) return;
    const int index = combo->currentIndex();
    const QByteArray text = combo->currentText().toUtf8();
    if (type) {
        LogPrintA(hp ? "set hp type to %s index " : "set lp type to %s index ", text.constData());
    } else {
        LogPrintA(hp ? "set hp slop to %s index " : "set lp slop to %s index ", text.constData());
    }
    LogPrintA("%d\n", index);
    const ChannelState& ch = mModel.live.channels[mModel.live.currChannel];
    const CrossoverFilter& f = hp ? ch.crossover.hp : ch.crossover.lp;
    if ((type ? f.type : f.slope) == index) return;
    FilterChange change;
    if (type) {
        ShowSlopeItems(hp ? mUi.hpSlope : mUi.lpSlope, index);
        change.type = index;
    } else {
        change.slope = index;
    }
    SendAndRedraw(ChangeFilter(mModel.live, filter, change, false), -1);
}

void EqualizerManager::SetHpSlope() { SetFilterSelector(kHighPassFilter, false); }
void EqualizerManager::SetLpSlope() { SetFilterSelector(kLowPassFilter, false); }
void EqualizerManager::SetHpType() { SetFilterSelector(kHighPassFilter, true); }
void EqualizerManager::SetLpType() { SetFilterSelector(kLowPassFilter, true); }

void EqualizerManager::ShowFilterSlopes(int n) {
    const Crossover& x = mModel.live.channels[n].crossover;
    ShowSlopeItems(mUi.hpSlope, x.hp.type);
    ShowSlopeItems(mUi.lpSlope, x.lp.type);
}

// ---------------------------------------------------------------- bands

void EqualizerManager::ApplyBand(int b, const BandValues& v, BandPath path) {
    const OutputEdit edit = UpdateBand(mModel.live, b, v.freq, v.q, v.gain, path);
    if (path == BandPath::Drag) {
        RefreshBandEditors(mModel.live.currChannel);
    } else {
        WindowImplBase::SetSelected(mUi.ptEnable[b], std::fabs(v.gain) > 0.001f, false);
    }
    ShowBypassButton();
    SendAndRedraw(edit, b);
}

void EqualizerManager::SetChEqEdit(int b) {
    LogPrintA("SetChEqEdit band=%d\n", b);
    if (!ValidBand(b)) return;
    const int current = mModel.live.currChannel;
    const EqBand shown = ShownBand(mModel.live.channels[current], b);
    auto text = [](const QLineEdit* e) { return e ? e->text().toStdString() : std::string(); };
    const BandValues v =
        BandFromEdits(shown, text(mUi.eqFreq[b]), text(mUi.eqQ[b]), text(mUi.eqGain[b]),
                      BandGainLimit(b, false), BandGainLimit(b, true));
    if (v.refused) {
        if (const QLineEdit* e = mUi.eqFreq[b]; e && !ReadTypedFrequency(text(e)))
            LogNoNumber(e, e->text());
        for (const QLineEdit* e : {mUi.eqQ[b], mUi.eqGain[b]})
            if (e && !ReadTypedNumber(text(e))) LogNoNumber(e, e->text());
        if (SameAsShown(v, shown)) {
            ShowBandEditor(current, b);
            return;
        }
    }
    SetSliderValue(mUi.eqSlider[b], static_cast<int>(std::lround(v.gain * 10)));
    LogPrintA("freqValue(%d) ,qValue(%f) ,gainValue(%.1f)\n", v.freq, static_cast<double>(v.q),
              static_cast<double>(v.gain));
    ApplyBand(b, v, BandPath::Edit);
    // The editors show what was applied, as the amplifier holds it.
    if (b < mModel.live.channels[current].eqSize) ShowBandEditor(current, b);
}

void EqualizerManager::SetEqSlider(int b) {
    if (!ValidBand(b) || !mUi.eqSlider[b]) return;
    const EqBand& stored = mModel.live.channels[mModel.live.currChannel].bands[b];
    auto text = [](const QLineEdit* e) { return e ? e->text().toStdString() : std::string(); };
    BandValues v = BandFromEdits(stored, text(mUi.eqFreq[b]), text(mUi.eqQ[b]), "0",
                                 BandGainLimit(b, false), BandGainLimit(b, true));
    v.gain = mUi.eqSlider[b]->value() / 10.0f;
    SetText(mUi.eqGain[b], QString::asprintf("%.1f", static_cast<double>(v.gain)));
    LogPrintA("sliderValue (%.1f) ,freqValue(%d) ,qValue(%f) @band(%d) @ channel(%d)\n",
              static_cast<double>(v.gain), v.freq, static_cast<double>(v.q), b,
              mModel.live.currChannel);
    ApplyBand(b, v, BandPath::Edit);
}

void EqualizerManager::SetEqFreqUp(int b, bool up) {
    LogPrintA("SetEqFreqUp index(%d) up(%d)\n", b, up ? 1 : 0);
    if (!ValidBand(b)) return;
    const auto freq = BandFreqStep(mModel.live.channels[mModel.live.currChannel].bands[b].freq, up);
    if (!freq) return;
    SetText(mUi.eqFreq[b], QString::number(*freq));
    SetChEqEdit(b);
}

void EqualizerManager::SetEqQUp(int b, bool up) {
    LogPrintA("SetEqQUp index(%d) up(%d)\n", b, up ? 1 : 0);
    if (!ValidBand(b)) return;
    const auto q = BandQStep(mModel.live.channels[mModel.live.currChannel].bands[b].eqFactor, up);
    if (!q) return;
    SetText(mUi.eqQ[b], QString::asprintf("%.2f", static_cast<double>(*q)));
    SetChEqEdit(b);
}

void EqualizerManager::SetEqGainUp(int b, bool up) {
    LogPrintA("SetEqGainUp index(%d) up(%d)\n", b, up ? 1 : 0);
    if (!ValidBand(b)) return;
    const auto gain = BandGainStep(mModel.live.channels[mModel.live.currChannel].bands[b].eqGain,
                                   up, BandGainLimit(b, false), BandGainLimit(b, true));
    if (!gain) return;
    SetText(mUi.eqGain[b], QString::asprintf("%.1f", static_cast<double>(*gain)));
    SetChEqEdit(b);
}

void EqualizerManager::OnEqEnable(int b) {
    if (!ValidBand(b)) return;
    const float shown = mUi.eqSlider[b] ? mUi.eqSlider[b]->value() / 10.0f : 0.0f;
    const OutputEdit edit = ToggleBandEnable(mModel.live, b, shown);
    const ChannelState& ch = mModel.live.channels[mModel.live.currChannel];
    const EqBand& band = ch.bands[b];
    if (!edit.commands.empty() && std::holds_alternative<EqCmd>(edit.commands.front()) &&
        std::get<EqCmd>(edit.commands.front()).channel == mModel.live.currChannel) {
        const float gain = band.enable ? band.eqGain : 0.0f;
        SetSliderValue(mUi.eqSlider[b], static_cast<int>(std::lround(gain * 10)));
        SetText(mUi.eqGain[b], QString::asprintf("%.1f", static_cast<double>(gain)));
    }
    WindowImplBase::SetSelected(mUi.ptEnable[b], mUi.eqSlider[b] && mUi.eqSlider[b]->value() != 0,
                                false);
    bool active = false;
    for (int j = 0; j < ch.eqSize && j < kEqBands; ++j)
        active = active || WindowImplBase::IsSelected(mUi.ptEnable[j]);
    SetText(mUi.bypass, active ? QStringLiteral("${bypass_eq}") : QStringLiteral("${restore_eq}"));
    SendAndRedraw(edit, -1);
}

void EqualizerManager::EqualizerCallback(int b, int kind) {
    UIEqualizer* curve = Curve();
    if (!curve) return;
    if (kind == 0) {
        LogPrintA("%s cmd %d index %d\n", "EqualizerCallback", kind, b);
        // Hovering only selects a band; only a press and drag edits one.
        if (!ValidBand(b) || curve->IsHoverSelection()) return;
        const EqBand band = curve->GetBand(b);
        BandValues v;
        v.freq = band.freq;
        v.q = band.eqFactor;
        v.gain = band.eqGain;
        ApplyBand(b, v, BandPath::Drag);
        return;
    }
    const bool hp = kind == 1;
    const int fs = hp ? curve->GetHpFreq() : curve->GetLpFreq();
    const int filter = hp ? kHighPassFilter : kLowPassFilter;
    const OutputEdit edit = ChangeFilter(mModel.live, filter, FilterChange{fs, {}, {}}, true);
    const ChannelState& ch = mModel.live.channels[mModel.live.currChannel];
    SetText(hp ? mUi.hpFreq : mUi.lpFreq, Hz(hp ? ch.crossover.hp.fs : ch.crossover.lp.fs));
    SendAndRedraw(edit, -1);
}

// ---------------------------------------------------------------- whole EQ

void EqualizerManager::SetOutputBypass() {
    LogPrintA("on %s\n", "EqualizerManager::SetOutputBypass");
    const int current = mModel.live.currChannel;
    const ChannelState& ch = mModel.live.channels[current];
    int shown = 0;
    for (int b = 0; b < ch.eqSize && b < kEqBands; ++b)
        if (mUi.eqSlider[b]) shown += std::abs(mUi.eqSlider[b]->value());
    std::optional<int> bypass;
    if (shown != 0) {
        if (ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                        QStringLiteral("${bypass_all_eq_tips}")) != 1)
            return;
        bypass = 1;
    } else if (HasBandGain(ch)) {
        if (ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                        QStringLiteral("${restore_all_eq_tips}")) != 1)
            return;
        bypass = 0;
    }
    const OutputEdit edit = SetEqBypass(mModel.live, bypass);
    ShowBypassButton();
    RefreshBandEditors(current);
    SendAndRedraw(edit, -1);
}

void EqualizerManager::SetOutputEqReset() {
    LogPrintA("on %s\n", "EqualizerManager::SetOutputEqReset");
    if (ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                    QStringLiteral("${reset_all_eq_tips}")) != 1)
        return;
    const OutputEdit edit = ResetEq(mModel.live);
    RefreshBandEditors(mModel.live.currChannel);
    SetText(mUi.bypass, QStringLiteral("${bypass_eq}"));
    SendAndRedraw(edit, -1);
}

void EqualizerManager::ToggleGeqPeqMode() {
    const bool peq = PeqMode();
    const bool confirmed = ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                                       peq ? QStringLiteral("${geq_mode_tips}")
                                           : QStringLiteral("${peq_mode_tips}")) == 1;
    ShowEqMode(confirmed ? !peq : peq);
    UpdateEqualizer(-1);
}

void EqualizerManager::ShowEqMode(bool peq) {
    WindowImplBase::SetSelected(mUi.argEq, peq, false);
    SetText(mUi.argEq, peq ? QStringLiteral("${peq_mode}") : QStringLiteral("${geq_mode}"));
    RefreshBandEditors(mModel.live.currChannel);
    if (UIEqualizer* curve = Curve()) curve->SetDragAllDirection(peq ? 1 : 0);
}

}  // namespace kavelo
