// EqualizerManager: whole outputs (current output, volume, delay, mute, phase,
// synchronisation, link, lock, reset) and the main volume, mute and power.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/LinkReport.h"
#include "control/ParseNumber.h"
#include "control/RoleOperations.h"
#include "control/SpeakerRoles.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "graph/UIEqualizer.h"
#include "ui/LanguageService.h"

namespace kavelo {

using namespace controls;

namespace {

bool ValidOutput(int n) { return n >= 0 && n < kOutputChannels; }

bool OffText(const QString& text) {
    return text.trimmed() == GetText(QStringLiteral("${off}")).trimmed();
}

// A slider moved by `step` within its range; false at the limit (nothing moves).
bool StepSlider(QAbstractSlider* slider, int step) {
    if (!slider) return false;
    const int value = std::clamp(slider->value() + step, slider->minimum(), slider->maximum());
    if (value == slider->value()) return false;
    SetSliderValue(slider, value);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- plumbing

void EqualizerManager::Send(const DspCommands& commands) {
    for (const DspCommand& command : commands) SendDspCommand(mLink, command, false);
}

std::optional<int> EqualizerManager::VolumeEditNumber(const QLineEdit* edit) {
    if (!edit) return std::nullopt;
    if (OffText(edit->text())) return static_cast<int>(kMinOutputGain);
    return ReadTypedWhole(edit->text().toStdString());
}

VolumeControls EqualizerManager::ReadVolumeControls() const {
    VolumeControls c;
    for (int n = 0; n < kOutputChannels; ++n) {
        const QAbstractSlider* s = mUi.chVolumeSlider[n];
        c.slider[n] = s ? s->value() : OutputGainToSlider(mModel.live.channels[n].gain);
        const std::optional<int> shown = VolumeEditNumber(mUi.chVolumeEdit[n]);
        c.edit[n] = shown ? static_cast<float>(*shown) : mModel.live.channels[n].gain;
        if (s && n == 0) {
            c.minimum = s->minimum();
            c.maximum = s->maximum();
        }
    }
    return c;
}

void EqualizerManager::ShowOutputEdit(const OutputEdit& edit) {
    for (int n = 0; n < kOutputChannels; ++n) {
        if (edit.volumeShown & (1u << n)) ShowChannelVolume(n);
        if (edit.delayShown & (1u << n)) ShowChannelDelay(n);
    }
}

void EqualizerManager::ShowCurves() {
    for (int n = 0; n < kOutputChannels; ++n)
        mCurveView.show[n] = static_cast<std::uint8_t>(mModel.live.showChEqualizer[n]);
    if (auto* curve = dynamic_cast<UIEqualizer*>(mUi.equalizer))
        curve->SetCurves(mCurves.data(), kOutputChannels, mModel.live.currChannel,
                         mCurveView.show.data());
}

// ---------------------------------------------------------------- current output

void EqualizerManager::SetCurChannelChange(int n) {
    LogPrintA("on SetCurChannelChange channel index %d\n", n);
    if (!ValidOutput(n)) return;
    DspState& live = mModel.live;
    live.currChannel = n;
    const std::uint8_t selected = SelectedChannelButtons(live, n);
    for (int i = 0; i < kOutputChannels; ++i) {
        WindowImplBase::SetSelected(mUi.chEnable[i], selected & (1u << i), false);
        WindowImplBase::SetSelected(mUi.chShow[i], live.showChEqualizer[i] == 1, false);
    }
    const std::uint32_t speakers = SelectedSpeakers(live, n);
    for (int r = 1; r <= 24; ++r)
        WindowImplBase::SetSelected(mUi.speakers[r - 1], speakers & (1u << r), false);
    SetFreqDivider(n);
    RefreshBandEditors(n);
    bool active = false;
    for (int b = 0; b < live.channels[n].eqSize && b < kEqBands; ++b)
        active = active || WindowImplBase::IsSelected(mUi.ptEnable[b]);
    SetText(mUi.bypass, active ? QStringLiteral("${bypass_eq}") : QStringLiteral("${restore_eq}"));
    UpdateEqualizer(-1);
}

void EqualizerManager::SetFreqDivider(int n) {
    if (!ValidOutput(n)) return;
    const Crossover& x = mModel.live.channels[n].crossover;
    LogPrintA("on SetFreqDivider getHPType %d\n", x.hp.type);
    LogPrintA("on SetFreqDivider getLPType %d\n", x.lp.type);
    LogPrintA("on SetFreqDivider getHPFs %d\n", x.hp.fs);
    LogPrintA("on SetFreqDivider getLPFs %d\n", x.lp.fs);
    LogPrintA("on SetFreqDivider getHPSlope %d\n", x.hp.slope);
    LogPrintA("on SetFreqDivider getLPSlope %d\n", x.lp.slope);
    ShowFilter(n);
}

void EqualizerManager::SetChShow(int n) {
    if (!ValidOutput(n)) return;
    DspState& live = mModel.live;
    live.showChEqualizer[n] = WindowImplBase::IsSelected(mUi.chShow[n]) ? 1 : 0;
    ComputeChannelResponse(live.channels[n], mCurves[n]);
    ShowCurves();
}

void EqualizerManager::SetChMute(int n) {
    if (!ValidOutput(n)) return;
    Send(kavelo::SetChMute(mModel.live, n, WindowImplBase::IsSelected(mUi.chMute[n])).commands);
}

void EqualizerManager::SetChPhase(int n) {
    if (!ValidOutput(n)) return;
    const OutputEdit edit =
        kavelo::SetChPhase(mModel.live, n, WindowImplBase::IsSelected(mUi.chPhase[n]));
    SetText(mUi.chPhase[n], mModel.live.channels[n].phase ? QStringLiteral("${reverse phase}")
                                                          : QStringLiteral("${positive_phase}"));
    Send(edit.commands);
}

// ---------------------------------------------------------------- synchronisation

void EqualizerManager::RememberSyncVolume(int n, bool on) {
    kavelo::RememberSyncVolume(mModel.live, n, on, ReadVolumeControls());
}

void EqualizerManager::SetChSynchronize(int n) {
    if (!ValidOutput(n)) return;
    const bool selected = WindowImplBase::IsSelected(mUi.chSync[n]);
    const OutputEdit edit =
        kavelo::SetChSynchronize(mModel.live, n, selected, ReadVolumeControls());
    WindowImplBase::SetSelected(mUi.chEnable[n], selected, false);
    ShowModes();
    ShowOutputEdit(edit);
    Send(edit.commands);
    SetCurChannelChange(n);
}

// ---------------------------------------------------------------- volume

void EqualizerManager::SetChVolumeSlider(int n) {
    if (!ValidOutput(n) || !mUi.chVolumeSlider[n]) return;
    if (n != mModel.live.currChannel) WindowImplBase::Activate(mUi.chEnable[n]);
    const OutputEdit edit = kavelo::SetChVolumeSlider(
        mModel.live, n, mUi.chVolumeSlider[n]->value(), ReadVolumeControls());
    ShowOutputEdit(edit);
    Send(edit.commands);
}

void EqualizerManager::SetChVolumeEdit(int n) {
    if (!ValidOutput(n) || !mUi.chVolumeEdit[n]) return;
    const std::optional<int> typed = VolumeEditNumber(mUi.chVolumeEdit[n]);
    if (!typed) {
        LogNoNumber(mUi.chVolumeEdit[n], mUi.chVolumeEdit[n]->text());
        ShowChannelVolume(n);
        return;
    }
    const OutputEdit edit = kavelo::SetChVolumeEdit(mModel.live, n, *typed, ReadVolumeControls());
    ShowChannelVolume(n);  // the edit is rewritten even when nothing changed
    ShowOutputEdit(edit);
    Send(edit.commands);
}

void EqualizerManager::SetChVolumeUp(int n, bool up) {
    LogPrintA("SetChVolumeUp %d \n", up ? 1 : 0);
    if (!ValidOutput(n) || !StepSlider(mUi.chVolumeSlider[n], up ? 10 : -10)) return;
    SetChVolumeSlider(n);
}

// ---------------------------------------------------------------- delay

void EqualizerManager::SetChDelaySlider(int n) {
    if (!ValidOutput(n) || !mUi.chDelaySlider[n]) return;
    std::string shown;
    const OutputEdit edit = kavelo::SetChDelaySlider(mModel.live, n, mUi.chDelaySlider[n]->value(),
                                                     CurrentDelayUnit(), &shown);
    OutputEdit followers = edit;
    followers.delayShown &= static_cast<std::uint8_t>(~(1u << n));
    ShowOutputEdit(followers);
    // The slider stays where the user holds it; the edit shows what was stored.
    SetText(mUi.chDelayEdit[n], QString::fromStdString(shown));
    Send(edit.commands);
}

void EqualizerManager::SetChDelayEdit(int n) {
    if (!ValidOutput(n) || !mUi.chDelayEdit[n]) return;
    const QString text = mUi.chDelayEdit[n]->text();
    const std::optional<double> typed = ReadTypedNumber(text.toStdString());
    if (!typed) {
        LogNoNumber(mUi.chDelayEdit[n], text);
        ShowChannelDelay(n);
        return;
    }
    const OutputEdit edit = kavelo::SetChDelayEdit(mModel.live, n, *typed, CurrentDelayUnit());
    ShowOutputEdit(edit);
    Send(edit.commands);
}

void EqualizerManager::SetChDelayUp(int n, bool up) {
    LogPrintA("SetChDelayUp %d \n", up ? 1 : 0);
    if (!ValidOutput(n) || !StepSlider(mUi.chDelaySlider[n], up ? 21 : -21)) return;
    SetChDelaySlider(n);
}

void EqualizerManager::HideChDelaySlider() {
    LogPrintA("on mSliderChDelay SetVisible false\n");
    for (int n = 0; n < kOutputChannels; ++n) {
        SetVisible(mUi.chDelaySlider[n], false);
        if (mWindow)
            SetVisible(mWindow->FindControl(QString::asprintf("control_empty_%d", n)), true);
    }
}

void EqualizerManager::ShowChDelaySlider(int n) {
    for (int i = 0; i < kOutputChannels; ++i) {
        SetVisible(mUi.chDelaySlider[i], false);
        if (mWindow)
            SetVisible(mWindow->FindControl(QString::asprintf("control_empty_%d", i)), true);
    }
    if (!ValidOutput(n)) return;
    if (mWindow) SetVisible(mWindow->FindControl(QString::asprintf("control_empty_%d", n)), false);
    SetVisible(mUi.chDelaySlider[n], true);
}

void EqualizerManager::SetDelayUnit() {
    LogPrintA("on eq comb_ch_unit valuechanged\n");
    for (int n = 0; n < kOutputChannels; ++n) ShowChannelDelay(n);
    for (int n = 0; n < kOutputChannels; ++n) {
        const int role = mModel.live.outputs[n];
        if (role > 0 && role <= 24) SetVisible(mUi.speakers[role - 1], true);
    }
}

// ---------------------------------------------------------------- link, lock, reset

void EqualizerManager::SetOutputLink() {
    LogPrintA("on %s\n", "EqualizerManager::SetOutputLink");
    DspState& live = mModel.live;
    OutputEdit edit;
    switch (LinkSwitchFor(live)) {
        case LinkSwitch::Refused:
            edit = RefuseOutputLink(live);
            ShowModes();
            Send(edit.commands);
            ConfirmBox(mWindow.data(), QStringLiteral("${not_linkable_tips}"));
            return;
        case LinkSwitch::Off:
            edit = SwitchOutputLinkOff(live);
            break;
        case LinkSwitch::On: {
            const QString options[2] = {QStringLiteral("${copy_left_to_right}"),
                                        QStringLiteral("${copy_right_to_left}")};
            const int choice = ShowCheckBoxMessage(mWindow.data(), QStringLiteral("${tips}"),
                                                   QStringLiteral("${link_tips}"), options);
            if (choice != 1 && choice != 2) {
                WindowImplBase::SetSelected(mUi.linkOutput, false, false);
                return;
            }
            edit = SwitchOutputLinkOn(live, choice, ReadVolumeControls(), CurrentDelayUnit());
            // The partners took the copied bands and filters: their curves change too.
            ComputeAllCurves();
            ShowModes();
            ShowOutputEdit(edit);
            ActivateCurrentChannel();
            ShowCurves();
            Send(edit.commands);
            ShowLinkReport(DescribeLink(live, choice));
            return;
        }
    }
    ShowModes();
    ShowOutputEdit(edit);
    ActivateCurrentChannel();
    Send(edit.commands);
}

void EqualizerManager::ShowLinkReport(const LinkReport& report) {
    auto role = [&](int output) {
        return GetText(QLatin1String(SpeakerRole(mModel.live.outputs[output]).longText));
    };
    QStringList lines;
    if (report.linked.empty()) {
        lines << GetText(QStringLiteral("${link_report_none}"));
    } else {
        lines << GetText(QStringLiteral("${link_report_linked}"));
        for (const LinkedPair& pair : report.linked) {
            lines << FormatText(QStringLiteral("${link_report_pair}"),
                                {pair.from + 1, role(pair.from), pair.to + 1, role(pair.to)});
        }
    }
    if (!report.skipped.empty()) {
        lines << QString() << GetText(QStringLiteral("${link_report_skipped}"));
        for (const SkippedOutput& skip : report.skipped) {
            const QString partner = GetText(QLatin1String(SpeakerRole(skip.partnerRole).longText));
            switch (skip.reason) {
                case LinkSkip::NoPartnerRole:
                    lines << FormatText(QStringLiteral("${link_report_no_partner_role}"),
                                        {skip.output + 1, role(skip.output)});
                    break;
                case LinkSkip::PartnerMissing:
                    lines << FormatText(QStringLiteral("${link_report_missing}"),
                                        {skip.output + 1, role(skip.output), partner});
                    break;
                case LinkSkip::PartnerInOtherGroup:
                    lines << FormatText(
                        QStringLiteral("${link_report_other_group}"),
                        {skip.output + 1, role(skip.output), skip.partnerOutput + 1, partner});
                    break;
            }
        }
    }
    ConfirmBox(mWindow.data(), lines.join(QLatin1Char('\n')));
}

void EqualizerManager::SetOutpuLock() {
    LogPrintA("on %s\n", "EqualizerManager::SetOutpuLock");
    const bool locked = mModel.live.lockMode == 1;
    const bool confirmed = ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                                       locked ? QStringLiteral("${unlock_output_tips}")
                                              : QStringLiteral("${lock_output_tips}")) == 1;
    const OutputEdit edit = kavelo::SetOutputLock(mModel.live, confirmed);
    ShowModes();
    if (mModel.live.lockMode == 0) ActivateCurrentChannel();
    Send(edit.commands);
}

void EqualizerManager::SetOutputReset() {
    LogPrintA("on %s\n", "EqualizerManager::SetOutputReset");
    const QString labels[3] = {QStringLiteral("${default}"), QStringLiteral("${cancel}"),
                               QStringLiteral("${emptied}")};
    const int result = ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                                   QStringLiteral("${empty_output_tips}"), labels, 3);
    if (result != 1 && result != 2) return;
    const OutputEdit edit = kavelo::SetOutputReset(mModel.live, result);
    // Every output took its role's crossover: every shown curve changes.
    ComputeAllCurves();
    ShowRoles();
    ShowModes();
    UpdateEqualizer(-1);
    if (mUi.chEnable[0]) {
        WindowImplBase::Activate(mUi.chEnable[0]);
    } else {
        SetCurChannelChange(0);
    }
    Send(edit.commands);
}

// ---------------------------------------------------------------- main volume, mute, power

void EqualizerManager::SetMainVolumeSlider() {
    if (!mUi.mainVolumeSlider) return;
    const OutputEdit edit = SetMainVolume(mModel.live, mUi.mainVolumeSlider->value());
    ShowMainVolume();
    Send(edit.commands);
}

void EqualizerManager::SetMainVolumeEdit() {
    if (!mUi.mainVolumeEdit) return;
    const QString text = mUi.mainVolumeEdit->text();
    const std::optional<int> typed =
        OffText(text) ? std::optional<int>(-60) : ReadTypedWhole(text.toStdString());
    if (!typed) {
        LogNoNumber(mUi.mainVolumeEdit, text);
        ShowMainVolume();
        return;
    }
    const int lo = mUi.mainVolumeSlider ? mUi.mainVolumeSlider->minimum() : 0;
    const int hi = mUi.mainVolumeSlider ? mUi.mainVolumeSlider->maximum() : kMaxMainVolume;
    const OutputEdit edit = SetMainVolume(mModel.live, std::clamp(*typed, lo, hi));
    ShowMainVolume();
    Send(edit.commands);
}

void EqualizerManager::SetMainVolumeUp(bool up) {
    LogPrintA("SetMainVolumeUp %d \n", up ? 1 : 0);
    if (!StepSlider(mUi.mainVolumeSlider, up ? 1 : -1)) return;
    SetMainVolumeSlider();
}

void EqualizerManager::SetMainMute() {
    Send(kavelo::SetMainMute(mModel.live, WindowImplBase::IsSelected(mUi.mainMute)).commands);
}

void EqualizerManager::ToggleAmpPower() {
    const int power = !mUi.ampOnOff || !WindowImplBase::IsSelected(mUi.ampOnOff) ? 1 : 0;
    const OutputEdit edit = SetAmpPower(mModel.live, power);
    ShowAmpPower();
    Send(edit.commands);
}

}  // namespace kavelo
