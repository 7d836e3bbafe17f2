// EqualizerManager: showing the model in the main window's controls.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cmath>

#include "base/Log.h"
#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "graph/UIEqualizer.h"
#include "ui/WindowImplBase.h"

namespace kavelo {

using namespace controls;

bool EqualizerManager::PeqMode() const {
    return mUi.argEq && WindowImplBase::IsSelected(mUi.argEq);
}

void EqualizerManager::ShowMainVolume() {
    SetSliderValue(mUi.mainVolumeSlider, mModel.live.mainVolume);
    if (!mUi.mainVolumeEdit) return;
    const int shown = mUi.mainVolumeSlider ? mUi.mainVolumeSlider->value() : mModel.live.mainVolume;
    const bool atMinimum =
        mUi.mainVolumeSlider ? shown == mUi.mainVolumeSlider->minimum() : shown <= 0;
    SetText(mUi.mainVolumeEdit, atMinimum ? QStringLiteral("${off}") : QString::number(shown));
}

void EqualizerManager::ShowChannelVolume(int n) {
    const float gain = mModel.live.channels[n].gain;
    QAbstractSlider* s = mUi.chVolumeSlider[n];
    SetSliderValue(s, OutputGainToSlider(gain));
    LogPrintA("set channel %d volume to %.1fdB\n", n, static_cast<double>(gain));
    // The key is kept, so a language switch shows "off" in the new language.
    const std::string text = VolumeText(gain, s ? s->minimum() : -600, "${off}");
    SetText(mUi.chVolumeEdit[n], QString::fromStdString(text));
}

void EqualizerManager::ShowChannelDelay(int n) {
    const float ms = mModel.live.channels[n].delay;
    SetText(mUi.chDelayEdit[n], QString::fromStdString(DelayText(ms, CurrentDelayUnit())));
    SetSliderValue(mUi.chDelaySlider[n], DelayToSlider(ms));
}

DelayUnit EqualizerManager::CurrentDelayUnit() const {
    const int index = mUi.unit ? mUi.unit->currentIndex() : 0;
    return index == 1 ? DelayUnit::Cm : index == 2 ? DelayUnit::In : DelayUnit::Ms;
}

void EqualizerManager::ShowPhase(int n) {
    const int phase = mModel.live.channels[n].phase;
    WindowImplBase::SetSelected(mUi.chPhase[n], phase != 0, false);
    LogPrintA("channel %d phase seleted %d\n", n, phase);
    SetText(mUi.chPhase[n],
            phase != 0 ? QStringLiteral("${reverse phase}") : QStringLiteral("${positive_phase}"));
}

void EqualizerManager::ShowMix(int output) {
    const DspState& live = mModel.live;
    const int source =
        live.inputSource >= 0 && live.inputSource < kInputSources ? live.inputSource : 0;
    const int mask = live.inputs[source][output];
    for (int k = 0; k < kMaxInputChannels; ++k)
        WindowImplBase::SetSelected(mUi.chInput[output][k], (mask >> k) & 1, false);
    // Sources 2 and 3 have no third and fourth input.
    const bool twoInputs = source == 2 || source == 3;
    SetEnabled(mUi.chInput[output][2], !twoInputs);
    SetEnabled(mUi.chInput[output][3], !twoInputs);
}

void EqualizerManager::ShowFilter(int n) {
    ShowFilterSlopes(n);
    const Crossover& x = mModel.live.channels[n].crossover;
    WindowImplBase::SelectItem(mUi.hpSlope, x.hp.slope, false);
    WindowImplBase::SelectItem(mUi.hpType, x.hp.type, false);
    WindowImplBase::SelectItem(mUi.lpSlope, x.lp.slope, false);
    WindowImplBase::SelectItem(mUi.lpType, x.lp.type, false);
    SetText(mUi.hpFreq, QStringLiteral("%1Hz").arg(x.hp.fs));
    SetText(mUi.lpFreq, QStringLiteral("%1Hz").arg(x.lp.fs));
}

void EqualizerManager::ShowBandEditor(int n, int b) {
    const EqBand band = ShownBand(mModel.live.channels[n], b);
    SetSliderValue(mUi.eqSlider[b], static_cast<int>(std::lround(band.eqGain * 10)));
    SetText(mUi.eqGain[b], QString::asprintf("%.1f", static_cast<double>(band.eqGain)));
    WindowImplBase::SetSelected(mUi.ptEnable[b], band.eqGain != 0.0f, false);
    SetText(mUi.eqFreq[b], QString::number(band.freq));
    SetText(mUi.eqQ[b], QString::asprintf("%.2f", static_cast<double>(band.eqFactor)));
}

void EqualizerManager::ShowBypassButton() {
    const bool bypassed = mModel.live.channels[mModel.live.currChannel].bypass == 1;
    SetText(mUi.bypass,
            bypassed ? QStringLiteral("${restore_eq}") : QStringLiteral("${bypass_eq}"));
}

void EqualizerManager::ShowRoles() {
    for (QWidget* s : mUi.speakers) SetVisible(s, false);
    for (int n = 0; n < kOutputChannels; ++n) {
        const int role = mModel.live.outputs[n];
        SetText(mUi.chOutputBtn[n], QString::fromLatin1(SpeakerRole(role).longText));
        if (role > 0 && role <= 24) SetVisible(mUi.speakers[role - 1], true);
    }
}

void EqualizerManager::ShowModes() {
    const DspState& live = mModel.live;
    const ModeControls modes = ModeControlsOf(live);
    WindowImplBase::SetSelected(mUi.linkOutput, live.linkMode == 1, false);
    WindowImplBase::SetSelected(mUi.lockOutput, live.lockMode == 1, false);
    SetEnabled(mUi.linkOutput, modes.linkEnabled);
    for (int n = 0; n < kOutputChannels; ++n) {
        SetEnabled(mUi.chOutputBtn[n], modes.roleButtonsEnabled);
        SetEnabled(mUi.chSync[n], modes.syncEnabled);
        // A linked output carries the link glyph on its channel button.
        const bool linked = live.linkMode == 1 && live.linkOutputs[n] >= 0;
        if (mUi.chEnable[n])
            mUi.chEnable[n]->setText(QStringLiteral("CH%1").arg(n + 1) +
                                     (linked ? QStringLiteral(" \u21C4") : QString()));
    }
}

void EqualizerManager::ShowAmpPower() {
    const bool on = mModel.live.ampPower != 0;
    SetText(mUi.ampOnOff, on ? QStringLiteral("${amp_on}") : QStringLiteral("${amp_off}"));
    WindowImplBase::SetSelected(mUi.ampOnOff, on, false);
    SetTextColour(mUi.ampOnOff, on ? kWhiteText : kRedText);
}

void EqualizerManager::ActivateCurrentChannel() {
    const int n = mModel.live.currChannel;
    if (n >= 0 && n < kOutputChannels) WindowImplBase::Activate(mUi.chEnable[n]);
}

void EqualizerManager::ComputeAllCurves() {
    for (int n = 0; n < kOutputChannels; ++n)
        ComputeChannelResponse(mModel.live.channels[n], mCurves[n]);
}

void EqualizerManager::UpdateEqualizer(int selectedBand) {
    QElapsedTimer clock;
    clock.start();
    DspState& live = mModel.live;
    const int n =
        live.currChannel >= 0 && live.currChannel < kOutputChannels ? live.currChannel : 0;
    ComputeChannelResponse(live.channels[n], mCurves[n]);
    const int partner = live.linkOutputs[n];
    if (live.linkMode == 1 && partner >= 0 && partner < kOutputChannels)
        ComputeChannelResponse(live.channels[partner], mCurves[partner]);
    LogPrintA("UpdateEqualizer 0 cost time %d ms\n", static_cast<int>(clock.elapsed()));
    const ChannelState& ch = live.channels[n];
    std::array<EqBand, kEqBands> shown = ch.bands;
    for (EqBand& b : shown)
        if (ch.bypass == 1 || b.enable == 0) b.eqGain = 0.0f;
    ShowCurveControl(shown, ch.eqSize, selectedBand, n);
    LogPrintA("UpdateEqualizer 1 cost time %d ms\n", static_cast<int>(clock.elapsed()));
}

void EqualizerManager::ShowCurveControl(const std::array<EqBand, kEqBands>& bands, int count,
                                        int selected, int channel) {
    const DspState& live = mModel.live;
    mCurveView.bands = bands;
    mCurveView.count = count;
    mCurveView.selected = selected;
    mCurveView.hp = live.channels[channel].crossover.hp.fs;
    mCurveView.lp = live.channels[channel].crossover.lp.fs;
    mCurveView.channel = channel;
    for (int n = 0; n < kOutputChannels; ++n)
        mCurveView.show[n] = static_cast<std::uint8_t>(live.showChEqualizer[n]);
    if (auto* curve = dynamic_cast<UIEqualizer*>(mUi.equalizer)) {
        curve->SetBands(mCurveView.bands.data(), count, selected);
        curve->setCurEqHpLp(mCurveView.hp, mCurveView.lp);
        curve->SetMeasurement(ShownMeasurement(channel));
        curve->SetCurves(mCurves.data(), kOutputChannels, channel, mCurveView.show.data());
    }
}

void EqualizerManager::RefreshBandEditors(int channel) {
    if (channel < 0 || channel >= kOutputChannels) return;
    const ChannelState& ch = mModel.live.channels[channel];
    const bool peq = PeqMode();
    for (int b = 0; b < kEqBands; ++b) {
        if (b < ch.eqSize) {
            SetEnabled(mUi.eqFreq[b], peq);
            SetEnabled(mUi.eqQ[b], peq);
            SetEnabled(mUi.ptEnable[b], true);
            SetEnabled(mUi.eqGain[b], true);
            SetEnabled(mUi.eqSlider[b], true);
            ShowBandEditor(channel, b);
        } else {
            for (QWidget* w :
                 {static_cast<QWidget*>(mUi.eqFreq[b]), static_cast<QWidget*>(mUi.eqQ[b]),
                  static_cast<QWidget*>(mUi.eqGain[b]), static_cast<QWidget*>(mUi.eqSlider[b]),
                  static_cast<QWidget*>(mUi.ptEnable[b])})
                SetEnabled(w, false);
            WindowImplBase::SetSelected(mUi.ptEnable[b], false, false);
            SetText(mUi.eqFreq[b], QStringLiteral("0"));
            SetText(mUi.eqQ[b], QStringLiteral("0"));
            SetText(mUi.eqGain[b], QStringLiteral("0.0"));
            SetSliderValue(mUi.eqSlider[b], 0);
        }
    }
}

void EqualizerManager::UpdateAllVolumeEdit() {
    LogPrintA("EqualizerManager::UpdateAllVolumeEdit\n");
    ShowMainVolume();
    for (int n = 0; n < kOutputChannels; ++n) {
        const float gain = mModel.live.channels[n].gain;
        QAbstractSlider* s = mUi.chVolumeSlider[n];
        SetText(mUi.chVolumeEdit[n],
                QString::fromStdString(VolumeText(gain, s ? s->minimum() : -600, "${off}")));
    }
}

}  // namespace kavelo
